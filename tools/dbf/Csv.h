#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace talvern::dbftool {

// CSV as spreadsheets write it: comma-separated, fields with commas, quotes or line breaks in double
// quotes, quotes doubled. Line breaks inside quoted fields are kept as they are (CR LF stays CR LF).
void writeCsvRow(std::ostream& out, const std::vector<std::string>& fields);

// Reads one row; nullopt at the end of the input. Throws std::runtime_error on a quote left open.
std::optional<std::vector<std::string>> readCsvRow(std::istream& in);

} // namespace talvern::dbftool

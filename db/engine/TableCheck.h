#pragma once

#include <string>
#include <vector>

namespace talvern::dbf {

// Structural problems of a table file, for talvern-dbf check and the tests. Opens the table for reading with
// a shared lock (so it fails while the program holds the table) and reads every record.
struct CheckReport {
    std::vector<std::string> problems; // each one sentence; empty when the table is sound
    std::vector<std::string> notes;    // harmless findings, e.g. bytes after the last counted record
};

// Throws DbfError when the table cannot be opened at all (its text is then the first problem to show).
CheckReport checkTable(const std::string& path);

} // namespace talvern::dbf

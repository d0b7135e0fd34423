#pragma once

#include <ostream>
#include <string>

namespace talvern::dbftool {

// Each command returns the process exit code; errors that stop it are thrown as std::exception.
int dumpTable(const std::string& path, std::ostream& out);
int checkTable(const std::string& path, std::ostream& out);
int repairTable(const std::string& path, std::ostream& out);
int exportCsv(const std::string& path, std::ostream& out);
int importCsv(const std::string& csvPath, const std::string& path, std::ostream& out);

} // namespace talvern::dbftool

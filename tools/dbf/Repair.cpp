#include "Commands.h"

#include "TableRepair.h"

namespace talvern::dbftool {

int repairTable(const std::string& path, std::ostream& out) {
    const dbf::RepairReport report = dbf::repairTable(path);
    for (const auto& action : report.actions) {
        out << "repaired: " << action << "\n";
    }
    if (report.actions.empty()) {
        out << "nothing needed repair; the copy holds the same records\n";
    }
    out << "wrote " << report.copyPath;
    if (!report.memoCopyPath.empty()) {
        out << " and " << report.memoCopyPath;
    }
    out << " (" << report.records << " records); " << path << " was not changed\n";
    return 0;
}

} // namespace talvern::dbftool

#pragma once

#include <string>
#include <vector>

namespace talvern::dbf {

// What talvern-dbf check finds in a table file. Opens the table for reading with a shared lock (so it fails
// while the program holds the table) and reads every record.
struct CheckReport {
    // Disagreements of the table with itself (TableDamage.h): the program refuses the table and never writes
    // it; talvern-dbf repair makes a sound copy. Each one sentence.
    std::vector<std::string> damage;
    // Values that do not read as their field's type; the table opens, the value shows as it can.
    std::vector<std::string> problems;
    // Harmless findings, e.g. an append cut short.
    std::vector<std::string> notes;

    bool sound() const { return damage.empty() && problems.empty(); }
};

// Throws DbfError when the table cannot be opened at all (missing, locked, unreadable); damage, even a
// header that cannot be read, is reported, not thrown.
CheckReport checkTable(const std::string& path);

} // namespace talvern::dbf

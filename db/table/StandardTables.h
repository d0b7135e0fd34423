#pragma once

#include "TableHeader.h"

#include <string>
#include <vector>

namespace talvern::db {

// The three tables of a site and their standard layout (see db/README.md for types and widths).
enum class StandardTable { Users, Readers, Groups };

// "osoby.dbf", "sprzet.dbf", "grupa.dbf".
std::string standardFileName(StandardTable table);
std::vector<dbf::FieldSpec> standardFields(StandardTable table);

// Prepares the working directory at start-up. When none of the three tables exists, creates all three empty
// (dBASE III+ with .dbt memo files) and returns true. When all exist, returns false and changes nothing.
// Names are found in any letter case (OSOBY.DBF from a Windows site counts).
// When only some exist, creates nothing and throws DbfError naming the missing ones: a half set means the
// program was started in the wrong folder.
bool ensureStandardTables(const std::string& directory);

// Whether a folder holds a site's tables, creating nothing: true when all three are there, false when
// none is; a half set throws the same DbfError as ensureStandardTables. The site chooser checks a
// folder with it before the program is told to work there.
bool holdsStandardTables(const std::string& directory);

// The value users are marked with when their group is removed.
inline constexpr const char* kLackOfAssignment = "Lack of assignment!";

} // namespace talvern::db

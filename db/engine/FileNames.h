#pragma once

#include <string>

namespace talvern::dbf {

// Tables copied from Windows often keep names like OSOBY.DBF and Osoby.dbt, which Windows programs open by
// any letter case. Returns path itself when it exists; otherwise the one entry of its folder whose name
// equals the file name regardless of ASCII letter case; otherwise path unchanged (so that opening it then
// reports it missing). Two entries differing only in case are ambiguous: path is returned unchanged.
std::string findIgnoringCase(const std::string& path);

// The file name alone, for messages.
std::string baseName(const std::string& path);

// The memo file of a table: foo.dbf -> foo.dbt, keeping the letter case of the extension.
std::string memoPath(const std::string& path);

// Where talvern-dbf repair puts the repaired copy of a table: beside it, "-naprawiona" ("repaired") added
// to the name before the extension (osoby.dbf -> osoby-naprawiona.dbf; its memo file follows memoPath).
std::string repairedCopyPath(const std::string& path);

} // namespace talvern::dbf

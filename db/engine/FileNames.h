#pragma once

#include <string>

namespace talvern::dbf {

// Tables copied from Windows often keep names like OSOBY.DBF and Osoby.dbt, which Windows programs open by
// any letter case. Returns path itself when it exists; otherwise the one entry of its folder whose name
// equals the file name regardless of ASCII letter case; otherwise path unchanged (so that opening it then
// reports it missing). Two entries differing only in case are ambiguous: path is returned unchanged.
std::string findIgnoringCase(const std::string& path);

} // namespace talvern::dbf

#pragma once
// The program's version, the same for the program, its tools and the About window: the project's
// version number and, for a build from a git checkout, the commit it was built from.

#include <string>

namespace talvern {

// "0.1.0"
const char* versionNumber();
// The commit, e.g. "15dd6d9a2b" or "15dd6d9a2b-dirty"; empty for a build outside a checkout.
const char* buildCommit();
// "0.1.0" or "0.1.0 (15dd6d9a2b)".
std::string versionText();
// The first line of every tool's --version: "talvern-dbf 0.1.0 (15dd6d9a2b)".
std::string versionLine(const char* programName);

} // namespace talvern

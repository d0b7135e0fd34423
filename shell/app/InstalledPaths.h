#pragma once
// Where the package puts the program's own files, relative to the folder of the installed program
// (QCoreApplication::applicationDirPath(), /usr/bin): the install rules in packaging/ use the same.

namespace talvern::installed {

// The operator's manual: <prefix>/share/doc/talvern/manual/index.html.
inline constexpr char kManualFolderFromProgram[] = "../share/doc/talvern/manual";
inline constexpr char kManualIndex[] = "index.html";

} // namespace talvern::installed

#pragma once
// The two options that only print and end: --version and --help. They are answered before any
// window, display or table is touched, so they work on a terminal without a desktop and never
// create a site's tables in the folder they are run in.

#include <optional>
#include <ostream>

namespace talvern {

// The exit code when the arguments ask for the version or the usage (printed to `out`), nothing
// otherwise: the program then starts as usual and ignores the arguments it does not know.
std::optional<int> handleInfoOptions(int argc, const char* const* argv, std::ostream& out);
std::optional<int> handleInfoOptions(int argc, char** argv);

} // namespace talvern

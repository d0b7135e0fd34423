#include "BuildVersion.h"

// The generated header is included here only, so that a new commit rebuilds one file.
#include "BuildVersionInfo.h"

namespace talvern {

const char* versionNumber() { return TALVERN_VERSION; }

const char* buildCommit() { return TALVERN_BUILD_COMMIT; }

std::string versionText() {
    std::string text = versionNumber();
    if (*buildCommit() != '\0')
        text += std::string(" (") + buildCommit() + ")";
    return text;
}

std::string versionLine(const char* programName) { return std::string(programName) + " " + versionText(); }

} // namespace talvern

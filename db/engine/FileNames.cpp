#include "FileNames.h"

#include <dirent.h>
#include <memory>
#include <strings.h>
#include <unistd.h>

namespace talvern::dbf {

std::string findIgnoringCase(const std::string& path) {
    if (::access(path.c_str(), F_OK) == 0) {
        return path;
    }
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return path;
    }
    std::string found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            ++matches;
        }
    }
    if (matches != 1) {
        return path;
    }
    return slash == std::string::npos ? found : path.substr(0, slash + 1) + found;
}

} // namespace talvern::dbf

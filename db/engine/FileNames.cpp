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

namespace talvern::dbf {

std::string baseName(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// Position of the dot that starts the file name's extension; npos when it has none.
std::size_t extensionDot(const std::string& path) {
    auto dot = path.rfind('.');
    auto slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return std::string::npos;
    }
    return dot;
}

} // namespace

std::string memoPath(const std::string& path) {
    const auto dot = extensionDot(path);
    if (dot == std::string::npos) {
        return path + ".dbt";
    }
    const bool upper = dot + 1 < path.size() && path[dot + 1] >= 'A' && path[dot + 1] <= 'Z';
    return path.substr(0, dot + 1) + (upper ? "DBT" : "dbt");
}

std::string repairedCopyPath(const std::string& path) {
    const auto dot = extensionDot(path);
    const std::string suffix = "-naprawiona";
    return dot == std::string::npos ? path + suffix : path.substr(0, dot) + suffix + path.substr(dot);
}

} // namespace talvern::dbf

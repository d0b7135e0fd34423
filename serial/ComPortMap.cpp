#include "ComPortMap.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace talvern::serial {
namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// "COM<n> = <path>" → (n, path); anything else → nullopt. The name is case-insensitive because
// people write "com1" as often as "COM1".
std::optional<std::pair<unsigned, std::string>> parseEntry(const std::string& line) {
    const std::string text = trim(line);
    if (text.empty() || text[0] == '#')
        return std::nullopt;
    const auto equals = text.find('=');
    if (equals == std::string::npos)
        return std::nullopt;
    const std::string name = trim(text.substr(0, equals));
    const std::string path = trim(text.substr(equals + 1));
    if (name.size() < 4 || path.empty())
        return std::nullopt;
    auto upper = [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M')
        return std::nullopt;
    unsigned long number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return std::nullopt;
        number = number * 10 + static_cast<unsigned long>(name[i] - '0');
        if (number > 65535)
            return std::nullopt;
    }
    if (number == 0)
        return std::nullopt;
    return std::make_pair(static_cast<unsigned>(number), path);
}

std::vector<std::string> readLines(const std::string& filePath) {
    std::vector<std::string> lines;
    std::ifstream in(filePath);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

void writeAtomically(const std::string& filePath, const std::vector<std::string>& lines) {
    const std::filesystem::path target(filePath);
    if (target.has_parent_path()) {
        std::error_code ignored;
        std::filesystem::create_directories(target.parent_path(), ignored);
    }
    std::string temp = filePath + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot create a file beside " + filePath);
    std::string content;
    for (const auto& line : lines)
        content += line + '\n';
    size_t done = 0;
    int error = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (error == 0 && ::fchmod(fd, 0644) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), filePath.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        throw std::system_error(error, std::generic_category(), "cannot write " + filePath);
    }
    // The rename is only lasting once the folder's entry is on disk too: a power cut right after
    // an assignment must leave the old map or the new one, not a map without the change.
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : std::string(".");
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace

ComPortMap::ComPortMap() : m_filePath(defaultFilePath()) {}

ComPortMap::ComPortMap(std::string filePath) : m_filePath(std::move(filePath)) {}

std::string ComPortMap::defaultFilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config != nullptr && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home != nullptr ? home : "") + "/.config";
    }
    return folder + "/talvern/comports";
}

std::optional<std::string> ComPortMap::entry(unsigned portNo) const {
    std::optional<std::string> found;
    for (const auto& line : readLines(m_filePath)) {
        if (auto parsed = parseEntry(line); parsed && parsed->first == portNo)
            found = parsed->second; // the last entry wins, as a later line overrides an earlier one
    }
    return found;
}

std::map<unsigned, std::string> ComPortMap::entries() const {
    std::map<unsigned, std::string> found;
    for (const auto& line : readLines(m_filePath))
        if (auto parsed = parseEntry(line))
            found[parsed->first] = parsed->second; // the last entry wins, as in entry()
    return found;
}

std::string ComPortMap::resolve(unsigned portNo) const {
    if (portNo == 0)
        return {};
    if (auto mapped = entry(portNo))
        return *mapped;
    return "/dev/ttyS" + std::to_string(portNo - 1);
}

void ComPortMap::setEntry(unsigned portNo, const std::string& devicePath) const {
    const std::string path = trim(devicePath);
    if (portNo == 0 || portNo > 65535)
        throw std::invalid_argument("COM port number out of range");
    if (path.empty() || path.find_first_of("\r\n") != std::string::npos)
        throw std::invalid_argument("invalid device path for COM" + std::to_string(portNo));
    const std::string newLine = "COM" + std::to_string(portNo) + " = " + path;
    std::vector<std::string> lines;
    bool replaced = false;
    for (auto& line : readLines(m_filePath)) {
        auto parsed = parseEntry(line);
        if (parsed && parsed->first == portNo) {
            if (!replaced)
                lines.push_back(newLine);
            replaced = true;
            continue;
        }
        lines.push_back(std::move(line));
    }
    if (!replaced)
        lines.push_back(newLine);
    writeAtomically(m_filePath, lines);
}

void ComPortMap::removeEntry(unsigned portNo) const {
    std::vector<std::string> lines;
    bool removed = false;
    for (auto& line : readLines(m_filePath)) {
        auto parsed = parseEntry(line);
        if (parsed && parsed->first == portNo) {
            removed = true;
            continue;
        }
        lines.push_back(std::move(line));
    }
    if (removed)
        writeAtomically(m_filePath, lines);
}

} // namespace talvern::serial

#include "SiteIdentity.h"

#include "BackupError.h"
#include "BackupFiles.h"
#include "FileNames.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/random.h>
#include <unistd.h>

namespace talvern::backup {

namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "site=";

std::string identityPath(const std::string& siteDir) {
    return dbf::findIgnoringCase(siteDir + "/" + kSiteIdentityName);
}

// The name a file holds, when it is one: "site=NAME" on its first line, NAME a safe folder name.
std::optional<std::string> nameIn(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back(); // edited on Windows
    if (line.rfind(kKey, 0) != 0)
        return std::nullopt;
    const std::string name = line.substr(std::char_traits<char>::length(kKey));
    if (name.empty() || name.size() > 120 || folderSafeName(name, name.size()) != name || isBackupFolderName(name))
        return std::nullopt;
    return name;
}

std::string randomHex() {
    unsigned char bytes[4] = {};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got < sizeof bytes) {
        // No random source: the time and the process still tell two sites apart.
        const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                           (static_cast<unsigned long long>(::getpid()) << 20);
        for (std::size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(ticks >> (8 * i));
    }
    char text[9];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

std::string newName(const std::string& siteDir) {
    std::error_code error;
    fs::path folder = fs::weakly_canonical(fs::absolute(siteDir, error), error);
    std::string name = folderSafeName(folder.filename().string());
    if (name.empty())
        name = "obiekt";
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) {
        const std::string computer = folderSafeName(host, 20);
        if (!computer.empty())
            name += "-" + computer;
    }
    return name + "-" + randomHex();
}

} // namespace

std::string folderSafeName(const std::string& text, std::size_t longest) {
    std::string safe;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || c == '.' || byte >= 0x80;
        safe += kept ? c : '_';
    }
    while (!safe.empty() && safe.front() == '.')
        safe.erase(0, 1);
    if (safe.size() > longest) {
        std::size_t cut = longest;
        while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 letter
        safe.resize(cut);
    }
    // Windows shares and FAT sticks drop a trailing dot.
    while (!safe.empty() && safe.back() == '.')
        safe.pop_back();
    return safe;
}

std::optional<std::string> readSiteIdentity(const std::string& siteDir) {
    std::string text;
    if (!readSmallFile(identityPath(siteDir), text))
        return std::nullopt;
    return nameIn(text);
}

std::string siteIdentity(const std::string& siteDir) {
    const std::string path = identityPath(siteDir);
    std::string text;
    if (readSmallFile(path, text)) {
        if (auto name = nameIn(text))
            return *name;
        throw BackupError("The file " + path + " does not hold the site's name",
                          "Plik " + path + " nie zawiera nazwy obiektu (site=...). Usuń go, a program nada obiektowi nową "
                          "nazwę, albo przywróć jego poprzednią treść.");
    }
    // Written whole beside the name and linked into place, so that two programs making it at once agree
    // on the one that got there first.
    const std::string name = newName(siteDir);
    const std::string final = siteDir + "/" + kSiteIdentityName;
    const std::string temporary = final + "." + std::to_string(::getpid()) + ".tmp";
    writeFileAtomically(temporary, std::string(kKey) + name + "\n");
    const int linked = ::link(temporary.c_str(), final.c_str());
    const int err = errno;
    ::unlink(temporary.c_str());
    if (linked != 0) {
        if (err == EEXIST)
            return siteIdentity(siteDir);
        throwFileError("create", "utworzyć pliku", final, err);
    }
    syncFolder(siteDir);
    return name;
}

} // namespace talvern::backup

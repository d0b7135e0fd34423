#include "BackupManifest.h"

#include "BackupFiles.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <sstream>

namespace talvern::backup {

namespace fs = std::filesystem;

Clock systemClock() {
    return [] { return std::chrono::system_clock::now(); };
}

std::string localTimeText(TimePoint time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::optional<TimePoint> parseLocalTime(const std::string& text) {
    std::tm local{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &year, &month, &day, &hour, &minute, &second, &tail) != 6)
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == -1)
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(seconds);
}

std::string formatManifest(const BackupManifest& manifest) {
    std::string reason = manifest.reason;
    std::replace(reason.begin(), reason.end(), '\n', ' ');
    return "date=" + localTimeText(manifest.taken) + "\nreason=" + reason + "\nusers=" + std::to_string(manifest.users) +
           "\nchecked=" + (manifest.checked ? "yes" : "no") + "\n" +
           (manifest.site.empty() ? std::string() : "site=" + manifest.site + "\n");
}

std::optional<BackupManifest> parseManifest(const std::string& text) {
    BackupManifest manifest;
    bool date = false, users = false, checked = false, reason = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "date") {
            const auto taken = parseLocalTime(value);
            if (!taken)
                return std::nullopt;
            manifest.taken = *taken;
            date = true;
        } else if (key == "reason") {
            manifest.reason = value;
            reason = true;
        } else if (key == "users") {
            if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos || value.size() > 9)
                return std::nullopt;
            manifest.users = static_cast<std::uint32_t>(std::stoul(value));
            users = true;
        } else if (key == "checked") {
            if (value != "yes" && value != "no")
                return std::nullopt;
            manifest.checked = value == "yes";
            checked = true;
        } else if (key == "site") {
            manifest.site = value;
        }
    }
    // The manifest is written whole with a rename: a part of one is not a manifest.
    if (!date || !users || !checked || !reason)
        return std::nullopt;
    return manifest;
}

namespace {

std::vector<std::string> backupFolders(const std::string& folder) {
    std::vector<std::string> folders;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code kind;
        if (it->is_directory(kind) && isBackupFolderName(it->path().filename().string()))
            folders.push_back(it->path().string());
    }
    return folders;
}

} // namespace

std::vector<BackupEntry> backupsInFolder(const std::string& folder) {
    std::vector<BackupEntry> entries;
    for (const std::string& backup : backupFolders(folder)) {
        std::string text;
        if (!readSmallFile(backup + "/" + kManifestName, text))
            continue;
        if (auto manifest = parseManifest(text))
            entries.push_back({backup, *manifest});
    }
    std::sort(entries.begin(), entries.end(), [](const BackupEntry& a, const BackupEntry& b) {
        if (a.manifest.taken != b.manifest.taken)
            return a.manifest.taken > b.manifest.taken;
        return a.folder > b.folder;
    });
    return entries;
}

std::vector<std::string> incompleteBackupsInFolder(const std::string& folder) {
    std::vector<std::string> folders;
    for (const std::string& backup : backupFolders(folder)) {
        std::string text;
        if (!readSmallFile(backup + "/" + kManifestName, text) || !parseManifest(text))
            folders.push_back(backup);
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

} // namespace talvern::backup

#include "BackupRotation.h"

#include "BackupFiles.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <unistd.h>
#include <filesystem>
#include <map>
#include <set>

namespace talvern::backup {

namespace {

struct LocalDate {
    int year;
    int month; // 1..12
    int day;
    int monthIndex() const { return year * 12 + (month - 1); }
    int dayKey() const { return (year * 100 + month) * 100 + day; }
};

LocalDate localDate(TimePoint time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

} // namespace

std::vector<std::string> backupsToRemove(const std::vector<BackupEntry>& entries, TimePoint now) {
    const LocalDate today = localDate(now);
    std::set<int> days; // days with backups, up to today
    for (const BackupEntry& entry : entries) {
        const LocalDate date = localDate(entry.manifest.taken);
        if (date.dayKey() <= today.dayKey())
            days.insert(date.dayKey());
    }
    std::set<int> keptDays;
    for (auto it = days.rbegin(); it != days.rend() && keptDays.size() < kDailyDaysKept; ++it)
        keptDays.insert(*it);

    std::map<int, const BackupEntry*> newestOfMonth;
    for (const BackupEntry& entry : entries) {
        const int month = localDate(entry.manifest.taken).monthIndex();
        auto& newest = newestOfMonth[month];
        if (!newest || entry.manifest.taken > newest->manifest.taken ||
            (entry.manifest.taken == newest->manifest.taken && entry.folder > newest->folder))
            newest = &entry;
    }

    std::vector<std::string> removed;
    for (const BackupEntry& entry : entries) {
        const LocalDate date = localDate(entry.manifest.taken);
        if (date.dayKey() > today.dayKey())
            continue; // taken "later" than now: a clock set back; never removed for that
        if (keptDays.count(date.dayKey()))
            continue;
        if (today.monthIndex() - date.monthIndex() < kMonthsKept && newestOfMonth[date.monthIndex()] == &entry)
            continue;
        removed.push_back(entry.folder);
    }
    return removed;
}

namespace {

// The manifest goes first, so that a program killed while the folder is being removed leaves a backup cut
// short, which is skipped, never a listed backup with tables missing.
void retire(const std::string& folder) {
    if (::unlink((folder + "/" + kManifestName).c_str()) != 0 && errno != ENOENT)
        return;
    try {
        syncFolder(folder);
    } catch (const std::exception&) {
        return;
    }
    removeFolder(folder);
}

} // namespace

void rotateBackups(const BackupPlace& place, TimePoint now, const std::string& spared) {
    if (place.folder.empty())
        return;
    std::vector<BackupEntry> entries = backupsInFolder(place.folder);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const BackupEntry& entry) { return !belongsTo(entry.manifest, place); }),
                  entries.end());
    const auto same = [](const std::string& a, const std::string& b) {
        std::error_code error;
        return !b.empty() && std::filesystem::equivalent(a, b, error);
    };
    for (const std::string& folder : backupsToRemove(entries, now))
        if (!same(folder, spared))
            retire(folder);
    if (entries.empty())
        return;
    // A folder without manifest that is older than the newest finished backup is no backup in progress:
    // it was cut short. Names sort in time order.
    std::string newest;
    for (const BackupEntry& entry : entries)
        newest = std::max(newest, std::filesystem::path(entry.folder).filename().string());
    for (const std::string& folder : incompleteBackupsInFolder(place.folder))
        if (std::filesystem::path(folder).filename().string() < newest)
            removeFolder(folder);
}

} // namespace talvern::backup

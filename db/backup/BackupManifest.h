#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace talvern::backup {

using TimePoint = std::chrono::system_clock::time_point;
// Where a backup reads the time; tests move it.
using Clock = std::function<TimePoint()>;
Clock systemClock();

// The small file written last into a backup folder. A folder without it (or with one that cannot be read)
// is a backup that was cut short: it is skipped, never offered and never restored.
struct BackupManifest {
    TimePoint taken;
    std::string reason;         // UTF-8, as the operator reads it ("Kopia dzienna")
    std::uint32_t users = 0;    // live records of osoby.dbf
    bool checked = true;        // every table of the backup passed talvern-dbf check
};

inline constexpr const char* kManifestName = "kopia.txt";

// "date=YYYY-MM-DD HH:MM:SS" (local time), "reason=", "users=", "checked=yes|no", one a line.
std::string formatManifest(const BackupManifest& manifest);
std::optional<BackupManifest> parseManifest(const std::string& text);

// Local calendar time as "YYYY-MM-DD HH:MM:SS" and back.
std::string localTimeText(TimePoint time);
std::optional<TimePoint> parseLocalTime(const std::string& text);

// One finished backup as found in a backup folder.
struct BackupEntry {
    std::string folder; // full path of the backup's own folder
    BackupManifest manifest;
};

// The finished backups below root, newest first; folders without a readable manifest are left out.
// A root that does not exist holds none.
std::vector<BackupEntry> listBackups(const std::string& root);
// Folders below root that look like backups but have no manifest: backups cut short.
std::vector<std::string> incompleteBackups(const std::string& root);

} // namespace talvern::backup

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
    std::string site;           // the name of the site it belongs to (SiteIdentity.h); empty in older backups
};

inline constexpr const char* kManifestName = "kopia.txt";

// "date=YYYY-MM-DD HH:MM:SS" (local time), "reason=", "users=", "checked=yes|no", "site=", one a line;
// "site=" may be missing (backups taken before sites were named).
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

// The finished backups in folder, whichever site they belong to, newest first; folders without a readable
// manifest are left out. A folder that does not exist holds none. (A site's own: BackupPlace.h.)
std::vector<BackupEntry> backupsInFolder(const std::string& folder);
// Folders in folder that look like backups but have no manifest: backups cut short.
std::vector<std::string> incompleteBackupsInFolder(const std::string& folder);

} // namespace talvern::backup

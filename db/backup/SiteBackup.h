#pragma once

#include "BackupManifest.h"

#include <string>

namespace talvern::backup {

// Why a backup was taken, as the restore window and the manifest say it.
namespace reason {
inline constexpr const char* kDaily = "Kopia dzienna";
inline constexpr const char* kGroupRemoval = "Przed usunięciem grupy";
inline constexpr const char* kFullAccess = "Przed nadaniem pełnego dostępu";
inline constexpr const char* kNoAccess = "Przed odebraniem dostępu";
inline constexpr const char* kCsvImport = "Przed importem CSV";
inline constexpr const char* kBeforeRestore = "Przed odtworzeniem kopii";
inline constexpr const char* kTool = "Kopia z polecenia talvern-dbf";
inline constexpr const char* kOperator = "Kopia wykonana przez administratora";
} // namespace reason

// The site's own backup folder, used unless the administrator chose another: "kopie" in the site folder.
std::string defaultBackupRoot(const std::string& siteDir);

struct BackupRequest {
    std::string siteDir;
    // The backup folder: the site's own kopie/, where each backup is a folder of its own, or a folder the
    // administrator chose, where they go into the site's folder in it (BackupPlace.h).
    std::string root;
    bool createRoot = false;   // the site's own folder is made when missing; a chosen one (a USB stick) must exist
    std::string reason;
    Clock clock = systemClock();
    // The caller holds the tables open for writing (the program, which flushes them first), so no one
    // writes them while they are copied. Otherwise the tables are held here with shared locks while
    // they are copied, which fails while a program has them open for writing.
    bool tablesHeld = false;
    // A backup whose tables fail talvern-dbf check is kept, marked unchecked (the state of a site before a
    // restore, damaged or not, is never thrown away); otherwise it is removed and the backup fails.
    bool keepUnchecked = false;
    // A backup the rotation leaves in place this time (the one a restore is about to copy back).
    std::string spared;
};

// Takes one backup: a new folder named after the time, the tables and their memo files copied into it and
// forced to the disk, each copy checked as talvern-dbf check does, then the manifest, which names the site,
// written last. Then the site's backups are rotated (BackupRotation.h). Throws BackupError, with a Polish text for the operator, when the
// backup cannot be taken or its copy fails the check; the site's tables are only ever read.
BackupEntry takeBackup(const BackupRequest& request);

// The site's newest backup below root that passes its check; nothing when there is none.
std::optional<BackupEntry> newestGoodBackup(const std::string& siteDir, const std::string& root);

// Runs talvern-dbf check's logic on every table of a backup folder; returns one line per fault (empty
// when every table is sound). A backup without its three tables fails.
std::vector<std::string> checkBackupFolder(const std::string& folder);

} // namespace talvern::backup

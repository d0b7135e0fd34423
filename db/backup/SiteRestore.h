#pragma once

#include "BackupManifest.h"

#include <string>
#include <vector>

namespace talvern::backup {

struct RestoreRequest {
    std::string siteDir;
    std::string backupFolder; // the backup to restore (one folder below the backup folder)
    std::string root;         // the backup folder the backup of the present state goes to (as BackupRequest's)
    bool createRoot = false;
    Clock clock = systemClock();
    // The caller (the program) holds the tables; otherwise they are held here with shared locks, which
    // fails while a program has them open.
    bool tablesHeld = false;
};

// A restore prepared up to its last step: the backup checked, the present state backed up (kept even when
// its tables are damaged), the backup's files copied beside the site's tables under temporary names and
// forced to the disk. commit() puts them in place; a staged restore dropped uncommitted removes its copies.
//
// Once commit() has begun, a marker file in the site says so: a program killed during it leaves the marker,
// and finishInterruptedRestore() (run before the tables are opened) completes the swap, so a site never
// keeps one table from the backup beside another from before.
class StagedRestore {
public:
    StagedRestore(StagedRestore&& other) noexcept;
    StagedRestore& operator=(StagedRestore&&) = delete;
    ~StagedRestore();

    // The backup of the state before the restore.
    const BackupEntry& before() const { return m_before; }
    // Renames the copies over the site's tables. The caller closes its tables first and opens them again after.
    void commit();

private:
    friend StagedRestore stageRestore(const RestoreRequest& request);
    StagedRestore() = default;

    std::string m_siteDir;
    BackupEntry m_before;
    std::vector<std::pair<std::string, std::string>> m_moves; // temporary copy -> table file in the site
    std::vector<std::string> m_staleJournals;                 // rewrite journals that belong to the old tables
    bool m_done = false;
};

// Throws BackupError (Polish text included) when the backup is incomplete, belongs to another site (or,
// from before sites were named, lies outside the site's own kopie/), fails its check, or when the present
// state cannot be backed up; the site is unchanged then.
StagedRestore stageRestore(const RestoreRequest& request);

// stageRestore and commit in one, for the table tool. Returns the backup of the state before.
BackupEntry restoreBackup(const RestoreRequest& request);

// Completes a restore cut short during its last step, or removes the copies of one cut short before it.
// Returns true when a restore was completed.
bool finishInterruptedRestore(const std::string& siteDir);

} // namespace talvern::backup

#pragma once

#include "BackupManifest.h"
#include "BackupPlace.h"

#include <string>
#include <vector>

namespace talvern::backup {

// Which backups are kept: every backup of the 30 latest days on which backups were taken (so a site left
// unused for weeks keeps its last month of work), and for each of the twelve calendar months up to now the
// newest backup of that month. Whatever else is older goes.
inline constexpr int kDailyDaysKept = 30;
inline constexpr int kMonthsKept = 12;

// The folders of entries (any order) that the rule above removes at now.
std::vector<std::string> backupsToRemove(const std::vector<BackupEntry>& entries, TimePoint now);

// Applies the rule to the site's backups in place (another site's there are left alone), and removes the
// folders of backups that were cut short before the newest finished one; spared (a backup about to be
// restored) stays whatever the rule says. Removal failures are left for the next time.
void rotateBackups(const BackupPlace& place, TimePoint now, const std::string& spared = {});

} // namespace talvern::backup

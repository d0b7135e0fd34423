#pragma once

#include <ostream>
#include <string>

namespace talvern::dbftool {

// Each command returns the process exit code; errors that stop it are thrown as std::exception.
int dumpTable(const std::string& path, std::ostream& out);
int checkTable(const std::string& path, std::ostream& out);
int repairTable(const std::string& path, std::ostream& out);
int exportCsv(const std::string& path, std::ostream& out);
int importCsv(const std::string& csvPath, const std::string& path, std::ostream& out);
// Backs up the site in DIR into backupRoot (DIR/kopie when empty; the site's folder in any other), and
// restores a backup folder of that site into DIR.
int backupSite(const std::string& siteDir, const std::string& backupRoot, std::ostream& out);
int restoreSite(const std::string& backupFolder, const std::string& siteDir, std::ostream& out);
// Lists the site's backups in DIR/kopie (or backupRoot), newest first, with the ones cut short.
int listSiteBackups(const std::string& siteDir, const std::string& backupRoot, std::ostream& out);
// Before a CSV import into a table of a site: a backup of that site into its kopie/ folder. A backup that
// fails is reported and the import goes on; a table outside a site is not backed up.
void backupBeforeImport(const std::string& tablePath, std::ostream& out);

} // namespace talvern::dbftool

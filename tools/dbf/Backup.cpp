// backup, restore and backups: the site's backups from a terminal, for a site whose program will not start.
#include "Commands.h"

#include "BackupError.h"
#include "BackupFiles.h"
#include "BackupManifest.h"
#include "BackupPlace.h"
#include "SiteBackup.h"
#include "SiteIdentity.h"
#include "SiteRestore.h"

#include <filesystem>
#include <iostream>

namespace talvern::dbftool {

namespace {

std::string rootFor(const std::string& siteDir, const std::string& backupRoot) {
    return backupRoot.empty() ? backup::defaultBackupRoot(siteDir) : backupRoot;
}

} // namespace

int backupSite(const std::string& siteDir, const std::string& backupRoot, std::ostream& out) {
    backup::BackupRequest request;
    request.siteDir = siteDir;
    request.root = rootFor(siteDir, backupRoot);
    request.createRoot = backupRoot.empty();
    request.reason = backup::reason::kTool;
    const backup::BackupEntry entry = backup::takeBackup(request);
    out << entry.folder << "\n";
    return 0;
}

int restoreSite(const std::string& backupFolder, const std::string& siteDir, std::ostream& out) {
    backup::RestoreRequest request;
    request.siteDir = siteDir;
    request.backupFolder = backupFolder;
    // The state before goes where the site's backups beside the one restored are: the site's own kopie/,
    // or the chosen folder that holds the site's folder of backups; else to the site's own kopie/.
    const std::filesystem::path normal = std::filesystem::path(backupFolder).lexically_normal();
    const std::filesystem::path parent =
        (normal.has_filename() ? normal : normal.parent_path()).parent_path();
    const auto site = backup::readSiteIdentity(siteDir);
    std::string root = backup::defaultBackupRoot(siteDir);
    if (!parent.empty() && site && parent.filename() == *site && parent.has_parent_path())
        root = parent.parent_path().string();
    request.root = root;
    request.createRoot = backup::isOwnBackupRoot(siteDir, root);
    const backup::BackupEntry before = backup::restoreBackup(request);
    out << "restored " << backupFolder << "\nthe state before: " << before.folder << "\n";
    return 0;
}

int listSiteBackups(const std::string& siteDir, const std::string& backupRoot, std::ostream& out) {
    const std::string root = rootFor(siteDir, backupRoot);
    for (const backup::BackupEntry& entry : backup::listBackups(siteDir, root))
        out << entry.folder << "\t" << backup::localTimeText(entry.manifest.taken) << "\t" << entry.manifest.users
            << "\t" << (entry.manifest.checked ? "checked" : "NOT checked") << "\t" << entry.manifest.reason << "\n";
    for (const std::string& folder : backup::incompleteBackups(siteDir, root))
        out << folder << "\tincomplete, skipped\n";
    return 0;
}

void backupBeforeImport(const std::string& tablePath, std::ostream&) {
    const std::filesystem::path folder = std::filesystem::path(tablePath).parent_path();
    const std::string siteDir = folder.empty() ? std::string(".") : folder.string();
    try {
        backup::siteFiles(siteDir);
    } catch (const backup::BackupError&) {
        return; // not a site's table
    }
    try {
        backup::BackupRequest request;
        request.siteDir = siteDir;
        request.root = backup::defaultBackupRoot(siteDir);
        request.createRoot = true;
        request.reason = backup::reason::kCsvImport;
        request.tablesHeld = true; // the table imported into is held; a program would hold the others
        const backup::BackupEntry entry = backup::takeBackup(request);
        std::cerr << "talvern-dbf: backup before the import: " << entry.folder << "\n";
    } catch (const std::exception& e) {
        std::cerr << "talvern-dbf: warning: no backup before the import: " << e.what() << "\n";
    }
}

} // namespace talvern::dbftool

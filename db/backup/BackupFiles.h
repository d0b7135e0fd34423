#pragma once

#include "BackupManifest.h"

#include <string>
#include <vector>

namespace talvern::backup {

// The tables a backup holds, by their names in a site: the three registers, which every site has, and
// the card journal, which a site has once cards have been logged.
struct SiteTable {
    std::string name; // "osoby.dbf"
    bool required;
};
const std::vector<SiteTable>& siteTables();

// One file of a site as a backup copies it.
struct SiteFile {
    std::string source; // the file in the site, in whatever letter case it has there
    std::string name;   // its name in the backup: the standard name, lower case ("osoby.dbt")
};
// The files of the site's tables that exist: each table, its memo file and a rewrite journal left beside
// it. Throws BackupError when one of the three registers is missing.
std::vector<SiteFile> siteFiles(const std::string& siteDir);

// "2026-12-11_05-30-00": the folder of a backup taken at that local time.
std::string backupFolderName(TimePoint time);
// True for such names, also with a "-2", "-3", ... added when two backups fall in the same second.
bool isBackupFolderName(const std::string& name);

bool readSmallFile(const std::string& path, std::string& text);
// Copies from to to (which must not exist); copyFileSynced also forces it to the disk, as syncFile does.
// Throw BackupError naming the file and the cause in both languages.
void copyFile(const std::string& from, const std::string& to);
void copyFileSynced(const std::string& from, const std::string& to);
void syncFile(const std::string& path);
// Asks the kernel to begin writing a file to the disk, without waiting: work done meanwhile overlaps the
// disk's; syncFile then waits for the rest. Quietly does nothing where it cannot.
void startWriteBack(const std::string& path);

// Shared locks on the files of a site's tables, as the table tool takes them, held for the object's life:
// a program that has the tables open for writing keeps them out (BackupError), and no writer gets in
// while they are held.
class SiteLocks {
public:
    explicit SiteLocks(const std::string& siteDir);
    ~SiteLocks();
    SiteLocks(const SiteLocks&) = delete;
    SiteLocks& operator=(const SiteLocks&) = delete;

private:
    std::vector<int> m_fds;
};
// Replaces path with text whole or not at all: a temporary file beside it, forced to disk, renamed.
void writeFileAtomically(const std::string& path, const std::string& text);
// Forces a folder's entries (new names, renames) to the disk.
void syncFolder(const std::string& folder);
// Removes a folder and everything in it; quietly, as far as it can.
void removeFolder(const std::string& folder);

// The English and Polish text of a failed file operation, errno in err.
[[noreturn]] void throwFileError(const std::string& doing, const std::string& polishDoing, const std::string& path, int err);

} // namespace talvern::backup

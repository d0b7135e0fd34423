#include "BackupPlace.h"

#include "BackupFiles.h"
#include "SiteBackup.h"
#include "SiteIdentity.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace talvern::backup {

namespace fs = std::filesystem;

namespace {

fs::path resolved(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    const fs::path real = fs::weakly_canonical(absolute, error);
    return (error ? absolute : real).lexically_normal();
}

} // namespace

bool isOwnBackupRoot(const std::string& siteDir, const std::string& root) {
    fs::path own = resolved(defaultBackupRoot(siteDir));
    fs::path chosen = resolved(root);
    // "kopie/" and "kopie" are one folder.
    if (!chosen.has_filename())
        chosen = chosen.parent_path();
    if (!own.has_filename())
        own = own.parent_path();
    return own == chosen;
}

BackupPlace findBackupPlace(const std::string& siteDir, const std::string& root) {
    BackupPlace place;
    place.site = readSiteIdentity(siteDir).value_or(std::string());
    place.ownFolder = isOwnBackupRoot(siteDir, root);
    if (place.ownFolder)
        place.folder = root;
    else if (!place.site.empty())
        place.folder = root + "/" + place.site;
    return place;
}

BackupPlace makeBackupPlace(const std::string& siteDir, const std::string& root) {
    BackupPlace place;
    place.site = siteIdentity(siteDir);
    place.ownFolder = isOwnBackupRoot(siteDir, root);
    place.folder = place.ownFolder ? root : root + "/" + place.site;
    if (!place.ownFolder && ::mkdir(place.folder.c_str(), 0700) != 0 && errno != EEXIST)
        throwFileError("create the folder", "utworzyć folderu", place.folder, errno);
    return place;
}

bool belongsTo(const BackupManifest& manifest, const BackupPlace& place) {
    if (manifest.site.empty())
        return place.ownFolder;
    return !place.site.empty() && manifest.site == place.site;
}

bool belongsToSite(const BackupManifest& manifest, const std::string& backupFolder, const std::string& siteDir) {
    const std::string parent = resolved(backupFolder).parent_path().string();
    return belongsTo(manifest, findBackupPlace(siteDir, parent));
}

std::vector<BackupEntry> listBackups(const std::string& siteDir, const std::string& root) {
    const BackupPlace place = findBackupPlace(siteDir, root);
    if (place.folder.empty())
        return {};
    std::vector<BackupEntry> entries = backupsInFolder(place.folder);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const BackupEntry& entry) { return !belongsTo(entry.manifest, place); }),
                  entries.end());
    return entries;
}

std::vector<std::string> incompleteBackups(const std::string& siteDir, const std::string& root) {
    const BackupPlace place = findBackupPlace(siteDir, root);
    return place.folder.empty() ? std::vector<std::string>{} : incompleteBackupsInFolder(place.folder);
}

std::string siteBackupFolder(const std::string& siteDir, const std::string& root) {
    const BackupPlace place = findBackupPlace(siteDir, root);
    return place.folder.empty() ? root : place.folder;
}

} // namespace talvern::backup

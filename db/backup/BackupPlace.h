#pragma once

#include "BackupManifest.h"

#include <string>
#include <vector>

namespace talvern::backup {

// Where one site's backups are below a backup folder (root). The site's own kopie/ holds its backups
// directly, as it always has. A folder the administrator chose (a USB stick, a network share) may serve
// several sites, two site folders or two computers: each site's backups go into a folder of their own in
// it, named with the site's name (SiteIdentity.h), and every manifest records that name, so that a site's
// listing, rotation and restore never take another site's backups for its own.
struct BackupPlace {
    std::string folder;     // holds the site's backup folders; empty while the site has none below root
    std::string site;       // the site's name; empty while it has none
    bool ownFolder = false; // root is the site's own kopie/
};

// True when root is the site's own kopie/, also when the administrator chose that very folder.
bool isOwnBackupRoot(const std::string& siteDir, const std::string& root);

// Where the site's backups below root are, as things stand. Writes nothing.
BackupPlace findBackupPlace(const std::string& siteDir, const std::string& root);

// Where the next backup goes: the site's name is chosen (and written) when it has none, and its folder in
// a chosen root is made. The root itself must exist. Throws BackupError with a Polish text.
BackupPlace makeBackupPlace(const std::string& siteDir, const std::string& root);

// Whether a backup in place belongs to its site: its manifest names the site, or names none (a backup
// from before sites were named) and place is the site's own kopie/.
bool belongsTo(const BackupManifest& manifest, const BackupPlace& place);
// The same for a backup folder wherever it lies, as a restore asks it.
bool belongsToSite(const BackupManifest& manifest, const std::string& backupFolder, const std::string& siteDir);

// The finished backups of the site below root, newest first; another site's are left out.
std::vector<BackupEntry> listBackups(const std::string& siteDir, const std::string& root);
// The site's backups below root that were cut short (no manifest).
std::vector<std::string> incompleteBackups(const std::string& siteDir, const std::string& root);
// The folder to show the operator: where the site's backups are, or root while it has none there.
std::string siteBackupFolder(const std::string& siteDir, const std::string& root);

} // namespace talvern::backup

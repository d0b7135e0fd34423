#include "SiteBackup.h"

#include "BackupError.h"
#include "BackupFiles.h"
#include "BackupPlace.h"
#include "BackupRotation.h"
#include "DbfTable.h"
#include "FileNames.h"
#include "TableCheck.h"
#include "TableHeader.h"

#include <cerrno>
#include <filesystem>
#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace talvern::backup {

namespace fs = std::filesystem;

std::string defaultBackupRoot(const std::string& siteDir) { return siteDir + "/kopie"; }

namespace {

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes the backup's own folder: the time's name, or that name with -2, -3, ... when taken.
std::string makeBackupFolder(const std::string& root, TimePoint taken) {
    const std::string base = root + "/" + backupFolderName(taken);
    for (int n = 1; n < 1000; ++n) {
        const std::string folder = n == 1 ? base : base + "-" + std::to_string(n);
        if (::mkdir(folder.c_str(), 0700) == 0)
            return folder;
        if (errno != EEXIST)
            throwFileError("create the folder", "utworzyć folderu", folder, errno);
    }
    throwFileError("create the folder", "utworzyć folderu", base, EEXIST);
}

// Live records of a table that passed its check: the deletion flags of the counted records, read straight
// from the file (opening it again would read every record a second time).
std::uint32_t liveRecords(const std::string& table) {
    std::string bytes;
    if (!readSmallFile(table, bytes))
        return 0;
    const dbf::TableHeader header = dbf::TableHeader::parse(bytes.substr(0, std::min<std::size_t>(bytes.size(), 65536)), table);
    std::uint32_t live = 0;
    for (std::uint64_t i = 0, at = header.headerLength; i < header.recordCount && at < bytes.size();
         ++i, at += header.recordLength)
        live += bytes[at] != '*';
    return live;
}

// Whether a table copied into a backup (when it is there at all) passes the table check.
bool tableCopyIsSound(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return true;
    try {
        const dbf::CheckReport report = dbf::checkTable(path);
        return report.damage.empty() && report.problems.empty();
    } catch (const std::exception&) {
        return false;
    }
}

// Whether a file of the backup (karty.dbf, karty.dbt, its record journal) belongs to the table.
bool sameTable(const std::string& fileName, const std::string& tableName) {
    const std::string stem = fs::path(tableName).stem().string();
    return fileName.compare(0, stem.size() + 1, stem + ".") == 0;
}

} // namespace

std::vector<std::string> checkBackupFolder(const std::string& folder) {
    std::vector<std::string> faults;
    for (const SiteTable& table : siteTables()) {
        const std::string path = folder + "/" + table.name;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            if (table.required)
                faults.push_back(table.name + ": missing");
            continue;
        }
        try {
            const dbf::CheckReport report = dbf::checkTable(path);
            for (const auto& line : report.damage)
                faults.push_back(table.name + ": " + line);
            for (const auto& line : report.problems)
                faults.push_back(table.name + ": " + line);
        } catch (const std::exception& e) {
            faults.push_back(table.name + ": " + e.what());
        }
    }
    return faults;
}

BackupEntry takeBackup(const BackupRequest& request) {
    const std::vector<SiteFile> files = siteFiles(request.siteDir);
    if (!isFolder(request.root)) {
        if (!request.createRoot)
            throw BackupError("The backup folder " + request.root + " does not exist",
                              "Folder kopii zapasowych " + request.root + " nie istnieje (czy dysk jest podłączony?).");
        std::error_code error;
        fs::create_directories(request.root, error);
        if (error)
            throwFileError("create the folder", "utworzyć folderu", request.root, error.value());
    }

    // Shared locks keep a writer out while the copies are made (the program holds its tables itself).
    std::unique_ptr<SiteLocks> held;
    if (!request.tablesHeld)
        held = std::make_unique<SiteLocks>(request.siteDir);

    const BackupPlace place = makeBackupPlace(request.siteDir, request.root);
    const TimePoint taken = request.clock();
    const std::string folder = makeBackupFolder(place.folder, taken);
    BackupManifest manifest;
    try {
        // All copies first; the disk starts writing them back while the copies are checked, and the
        // manifest waits until they are all on it.
        for (const SiteFile& file : files)
            copyFile(file.source, folder + "/" + file.name);
        held.reset();
        // A damaged card journal must not cost the site its backup of the three tables: its copy is left
        // out (the card windows already tell the operator the journal cannot be read).
        std::vector<SiteFile> kept = files;
        for (const SiteTable& table : siteTables())
            if (!table.required && !tableCopyIsSound(folder + "/" + table.name))
                std::erase_if(kept, [&](const SiteFile& file) {
                    if (!sameTable(file.name, table.name))
                        return false;
                    ::unlink((folder + "/" + file.name).c_str());
                    return true;
                });
        for (const SiteFile& file : kept)
            startWriteBack(folder + "/" + file.name);
        const std::vector<std::string> faults = checkBackupFolder(folder);
        for (const SiteFile& file : kept)
            syncFile(folder + "/" + file.name);
        syncFolder(folder);
        manifest.checked = faults.empty();
        if (!manifest.checked && !request.keepUnchecked)
            throw BackupError("The backup in " + folder + " fails its check: " + faults.front(),
                              "Kopia zapasowa w folderze " + folder +
                                  " nie przeszła sprawdzenia tabel (" + faults.front() + ").");
        try {
            manifest.users = liveRecords(folder + "/osoby.dbf");
        } catch (const std::exception&) {
            manifest.users = 0; // a damaged table kept as it was before a restore
        }
        manifest.taken = taken;
        manifest.reason = request.reason;
        manifest.site = place.site;
        // Written last: until it is there, the folder is a backup cut short.
        writeFileAtomically(folder + "/" + kManifestName, formatManifest(manifest));
    } catch (...) {
        removeFolder(folder);
        throw;
    }
    try {
        rotateBackups(place, taken, request.spared);
    } catch (const std::exception&) {
        // Old backups left in place are removed by the next rotation; the new one is taken.
    }
    return {folder, manifest};
}

std::optional<BackupEntry> newestGoodBackup(const std::string& siteDir, const std::string& root) {
    for (const BackupEntry& entry : listBackups(siteDir, root))
        if (entry.manifest.checked && checkBackupFolder(entry.folder).empty())
            return entry;
    return std::nullopt;
}

} // namespace talvern::backup

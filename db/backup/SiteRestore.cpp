#include "SiteRestore.h"

#include "BackupError.h"
#include "BackupFiles.h"
#include "BackupPlace.h"
#include "FileNames.h"
#include "RecordJournal.h"
#include "SiteBackup.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvern::backup {

namespace {

// Lists the swaps of a restore in progress: "temporary<TAB>target" a line.
constexpr const char* kMarkerName = ".odtwarzanie-kopii";
constexpr const char* kTemporaryPrefix = ".odtwarzana-";

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void removeTemporaries(const std::string& siteDir) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(siteDir, error), end; !error && it != end; it.increment(error))
        if (it->path().filename().string().rfind(kTemporaryPrefix, 0) == 0)
            ::unlink(it->path().c_str());
}

void doMoves(const std::string& siteDir, const std::vector<std::pair<std::string, std::string>>& moves,
             const std::vector<std::string>& staleJournals) {
    for (const auto& [temporary, target] : moves) {
        if (exists(temporary) && ::rename(temporary.c_str(), target.c_str()) != 0)
            throwFileError("replace", "zastąpić pliku", target, errno);
    }
    for (const std::string& journal : staleJournals)
        ::unlink(journal.c_str());
    syncFolder(siteDir);
}

// A backup folder shared by several sites holds backups of each; restoring another site's would put its
// people, groups and readers in place of this site's.
void refuseAnotherSitesBackup(const BackupManifest& manifest, const RestoreRequest& request) {
    if (belongsToSite(manifest, request.backupFolder, request.siteDir))
        return;
    if (manifest.site.empty())
        throw BackupError("The backup " + request.backupFolder +
                              " does not say which site it belongs to, and it is not in the site's own kopie folder",
                          "Kopia zapasowa " + request.backupFolder +
                              " nie mówi, do którego obiektu należy (jest starsza niż oznaczanie kopii), a nie leży "
                              "w folderze kopie tego obiektu. Program jej nie odtworzy; jej pliki można skopiować "
                              "ręcznie przy zamkniętym programie.");
    throw BackupError("The backup " + request.backupFolder + " belongs to another site (" + manifest.site + ")",
                      "Kopia zapasowa " + request.backupFolder + " należy do innego obiektu (" + manifest.site +
                          "). Nie można jej odtworzyć w tym obiekcie.");
}

} // namespace

StagedRestore::StagedRestore(StagedRestore&& other) noexcept
    : m_siteDir(std::move(other.m_siteDir)), m_before(std::move(other.m_before)), m_moves(std::move(other.m_moves)),
      m_staleJournals(std::move(other.m_staleJournals)), m_done(other.m_done) {
    other.m_done = true;
}

StagedRestore::~StagedRestore() {
    if (!m_done)
        for (const auto& move : m_moves)
            ::unlink(move.first.c_str());
}

void StagedRestore::commit() {
    std::string marker;
    for (const auto& [temporary, target] : m_moves)
        marker += temporary + "\t" + target + "\n";
    for (const std::string& journal : m_staleJournals)
        marker += "-\t" + journal + "\n";
    writeFileAtomically(m_siteDir + "/" + kMarkerName, marker);
    m_done = true;
    doMoves(m_siteDir, m_moves, m_staleJournals);
    ::unlink((m_siteDir + "/" + kMarkerName).c_str());
    syncFolder(m_siteDir);
}

StagedRestore stageRestore(const RestoreRequest& request) {
    std::string text;
    if (!readSmallFile(request.backupFolder + "/" + kManifestName, text) || !parseManifest(text))
        throw BackupError("The backup " + request.backupFolder + " is incomplete (it has no manifest)",
                          "Kopia zapasowa " + request.backupFolder + " jest niepełna.");
    refuseAnotherSitesBackup(*parseManifest(text), request);
    const std::vector<std::string> faults = checkBackupFolder(request.backupFolder);
    if (!faults.empty())
        throw BackupError("The backup " + request.backupFolder + " fails its check: " + faults.front(),
                          "Kopia zapasowa " + request.backupFolder + " nie przeszła sprawdzenia (" + faults.front() + ").");

    StagedRestore staged;
    staged.m_siteDir = request.siteDir;
    BackupRequest before;
    before.siteDir = request.siteDir;
    before.root = request.root;
    before.createRoot = request.createRoot;
    before.reason = std::string(reason::kBeforeRestore) + " z " + localTimeText(parseManifest(text)->taken);
    before.clock = request.clock;
    before.tablesHeld = true; // held by the caller or by the locks below
    before.keepUnchecked = true;
    before.spared = request.backupFolder; // the rotation must not take the backup away before it is copied
    std::unique_ptr<SiteLocks> locks;
    if (!request.tablesHeld)
        locks = std::make_unique<SiteLocks>(request.siteDir);
    staged.m_before = takeBackup(before);

    removeTemporaries(request.siteDir);
    for (const SiteTable& table : siteTables()) {
        const std::string from = request.backupFolder + "/" + table.name;
        if (!exists(from))
            continue;
        const std::string target = dbf::findIgnoringCase(request.siteDir + "/" + table.name);
        // The card journal records cards that are out there whatever the tables say: going back to an
        // older backup must not forget the cards written since. It is taken from the backup only by a
        // site that has lost its own.
        if (!table.required && exists(target))
            continue;
        std::vector<std::pair<std::string, std::string>> pairs = {{from, target}};
        if (exists(dbf::memoPath(from)))
            pairs.push_back({dbf::memoPath(from), dbf::findIgnoringCase(dbf::memoPath(target))});
        const std::string backupJournal = dbf::RecordJournal::pathFor(from);
        const std::string siteJournal = dbf::RecordJournal::pathFor(target);
        if (exists(backupJournal))
            pairs.push_back({backupJournal, siteJournal});
        else
            staged.m_staleJournals.push_back(siteJournal);
        for (const auto& [source, destination] : pairs) {
            const std::string temporary =
                request.siteDir + "/" + kTemporaryPrefix + std::filesystem::path(destination).filename().string();
            copyFileSynced(source, temporary);
            staged.m_moves.push_back({temporary, destination});
        }
    }
    syncFolder(request.siteDir);
    return staged;
}

BackupEntry restoreBackup(const RestoreRequest& request) {
    finishInterruptedRestore(request.siteDir);
    RestoreRequest held = request;
    std::unique_ptr<SiteLocks> locks;
    if (!request.tablesHeld) {
        locks = std::make_unique<SiteLocks>(request.siteDir);
        held.tablesHeld = true;
    }
    StagedRestore staged = stageRestore(held);
    staged.commit();
    return staged.before();
}

bool finishInterruptedRestore(const std::string& siteDir) {
    std::string text;
    const std::string marker = siteDir + "/" + kMarkerName;
    if (!readSmallFile(marker, text)) {
        removeTemporaries(siteDir);
        return false;
    }
    std::vector<std::pair<std::string, std::string>> moves;
    std::vector<std::string> stale;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        if (line.compare(0, tab, "-") == 0)
            stale.push_back(line.substr(tab + 1));
        else
            moves.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    doMoves(siteDir, moves, stale);
    ::unlink(marker.c_str());
    syncFolder(siteDir);
    removeTemporaries(siteDir);
    return true;
}

} // namespace talvern::backup

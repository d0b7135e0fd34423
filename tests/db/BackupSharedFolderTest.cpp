// Two sites whose backups go to one chosen folder (a USB stick or a network share used by two site folders
// or two computers): each keeps its own backups in a folder of its own there, its rotation leaves the
// other's alone, its listing never shows them, and a restore refuses a backup of another site.

#include "BackupError.h"
#include "BackupFiles.h"
#include "BackupPlace.h"
#include "ProcessRun.h"
#include "SiteBackup.h"
#include "SiteIdentity.h"
#include "SiteRestore.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <set>

namespace talvern::db::test {
namespace {

namespace fs = std::filesystem;
using backup::BackupEntry;
using backup::TimePoint;

TimePoint dayOf(int year, int month, int day, int hour) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

// Two sites whose folders have the same name ("obiekt", in two different places) and one shared folder.
class TwoSites : public ::testing::Test {
protected:
    void SetUp() override {
        makeSite(a(), 3);
        makeSite(b(), 5);
    }

    static void makeSite(const std::string& dir, int users) {
        fs::create_directories(dir);
        ASSERT_TRUE(ensureStandardTables(dir));
        TTable table;
        table.open(dir + "/osoby.dbf");
        for (int i = 1; i <= users; ++i) {
            table.append();
            table.fieldByName("NUMBER").setAsInteger(i);
            table.fieldByName("SURNAME").setAsString("Osoba " + std::to_string(i));
            table.post();
        }
    }

    std::string a() const { return first.file("obiekt"); }
    std::string b() const { return second.file("obiekt"); }
    std::string shared() const { return stick.path(); }

    BackupEntry backupAt(const std::string& site, TimePoint time, const std::string& root) {
        backup::BackupRequest request;
        request.siteDir = site;
        request.root = root;
        request.createRoot = root == backup::defaultBackupRoot(site);
        request.reason = backup::reason::kDaily;
        request.clock = [time] { return time; };
        return backup::takeBackup(request);
    }

    backup::RestoreRequest restoreOf(const std::string& site, const std::string& folder) {
        backup::RestoreRequest request;
        request.siteDir = site;
        request.backupFolder = folder;
        request.root = shared();
        request.clock = [] { return dayOf(2026, 9, 1, 12); };
        return request;
    }

    TempDir first, second, stick;
};

TEST_F(TwoSites, EachKeepsItsOwnThirtyDaysInTheSharedFolderAndNeverSeesTheOthers) {
    // A backup from before sites were named, straight in the shared folder: whose it is cannot be told, so
    // neither site lists it nor removes it.
    const std::string older = shared() + "/2026-01-02_10-00-00";
    fs::create_directories(older);
    for (const char* file : {"osoby.dbf", "osoby.dbt", "grupa.dbf", "grupa.dbt", "sprzet.dbf", "sprzet.dbt"})
        fs::copy_file(a() + "/" + file, older + "/" + file);
    writeAll(older + "/" + backup::kManifestName, "date=2026-01-02 10:00:00\nreason=Kopia dzienna\nusers=3\nchecked=yes\n");

    // 31 days, both sites each day at the same time (so their backups get the same folder names), the clock
    // moved a day at a time.
    for (int day = 1; day <= 31; ++day) {
        backupAt(a(), dayOf(2026, 3, day, 10), shared());
        backupAt(b(), dayOf(2026, 3, day, 10), shared());
    }

    const std::string nameA = *backup::readSiteIdentity(a()), nameB = *backup::readSiteIdentity(b());
    EXPECT_NE(nameA, nameB);
    EXPECT_EQ(nameA.rfind("obiekt-", 0), 0u) << nameA; // named after the site folder
    EXPECT_EQ(backup::siteBackupFolder(a(), shared()), shared() + "/" + nameA);
    EXPECT_EQ(backup::siteBackupFolder(b(), shared()), shared() + "/" + nameB);

    struct Expected {
        std::string site, name;
        std::uint32_t users;
    } sites[] = {{a(), nameA, 3}, {b(), nameB, 5}};
    for (const Expected& site : sites) {
        const auto kept = backup::listBackups(site.site, shared());
        ASSERT_EQ(kept.size(), 30u) << site.name;
        EXPECT_EQ(backup::localTimeText(kept.back().manifest.taken), "2026-03-02 10:00:00");
        EXPECT_EQ(backup::localTimeText(kept.front().manifest.taken), "2026-03-31 10:00:00");
        for (const BackupEntry& entry : kept) {
            EXPECT_EQ(entry.manifest.site, site.name);
            EXPECT_EQ(entry.manifest.users, site.users) << entry.folder;
            EXPECT_EQ(fs::path(entry.folder).parent_path().filename(), site.name) << entry.folder;
            EXPECT_NE(readAll(entry.folder + "/" + backup::kManifestName).find("site=" + site.name + "\n"),
                      std::string::npos);
        }
        EXPECT_TRUE(backup::incompleteBackups(site.site, shared()).empty());
    }
    // On the disk: the two sites' folders, each with its 30, and the old backup where it was.
    std::set<std::string> top;
    for (const auto& entry : fs::directory_iterator(shared()))
        top.insert(entry.path().filename().string());
    EXPECT_EQ(top, (std::set<std::string>{nameA, nameB, "2026-01-02_10-00-00"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(shared() + "/" + nameA), {}), 30);
    EXPECT_EQ(std::distance(fs::directory_iterator(shared() + "/" + nameB), {}), 30);

    // The table tool lists the same: this site's backups only.
    const RunResult listed = runCommand(quoted(TALVERN_DBF_TOOL) + " backups " + quoted(a()) + " --to " + quoted(shared()));
    ASSERT_EQ(listed.exitCode, 0);
    EXPECT_EQ(std::count(listed.output.begin(), listed.output.end(), '\n'), 30) << listed.output;
    EXPECT_EQ(listed.output.find(nameB), std::string::npos) << listed.output;
}

TEST_F(TwoSites, TheSitesNameStaysWhenItsFolderIsMovedAndItsOwnKopieStaysAsItWas) {
    backupAt(a(), dayOf(2026, 4, 1, 10), shared());
    const std::string moved = first.file("przeniesiony");
    fs::rename(a(), moved);
    ASSERT_EQ(backup::listBackups(moved, shared()).size(), 1u);
    backupAt(moved, dayOf(2026, 4, 2, 10), shared());
    EXPECT_EQ(backup::listBackups(moved, shared()).size(), 2u);

    // The site's own kopie/ holds the backup folders straight in it, as before; choosing that very folder
    // (in any spelling) is the same.
    const std::string roots[] = {backup::defaultBackupRoot(moved), moved + "/./kopie/"};
    for (int hour = 0; hour < 2; ++hour) {
        fs::create_directories(roots[hour]);
        const BackupEntry own = backupAt(moved, dayOf(2026, 4, 3, 10 + hour), roots[hour]);
        EXPECT_TRUE(fs::equivalent(fs::path(own.folder).parent_path(), moved + "/kopie")) << roots[hour];
    }
    EXPECT_EQ(backup::listBackups(moved, backup::defaultBackupRoot(moved)).size(), 2u);
}

// Which backups a restore takes: a table of where a backup lies and whose its manifest says it is.
TEST_F(TwoSites, ARestoreRefusesAnotherSitesBackupWithAPolishMessage) {
    const BackupEntry ofA = backupAt(a(), dayOf(2026, 5, 1, 10), shared());
    const BackupEntry ofB = backupAt(b(), dayOf(2026, 5, 1, 10), shared());
    const BackupEntry inOwnKopieOfB = backupAt(b(), dayOf(2026, 5, 2, 10), backup::defaultBackupRoot(b()));
    // Backups from before sites were named: no "site=" in the manifest.
    const auto unnamed = [&](const std::string& folder) {
        fs::create_directories(folder);
        for (const auto& file : fs::directory_iterator(ofA.folder))
            fs::copy_file(file.path(), folder + "/" + file.path().filename().string());
        std::string manifest = readAll(folder + "/" + backup::kManifestName);
        manifest.erase(manifest.find("site="));
        writeAll(folder + "/" + backup::kManifestName, manifest);
        return folder;
    };
    const std::string oldInOwnKopie = unnamed(backup::defaultBackupRoot(a()) + "/2026-04-01_10-00-00");
    const std::string oldInShared = unnamed(shared() + "/2026-04-01_10-00-00");
    // Site B's backup copied into A's own kopie/: it still says whose it is.
    const std::string copiedIntoOwnKopie = backup::defaultBackupRoot(a()) + "/2026-05-02_10-00-00";
    fs::copy(inOwnKopieOfB.folder, copiedIntoOwnKopie);

    struct Case {
        const char* what;
        std::string folder;
        const char* refusal; // in the Polish text; nullptr: restored
    } cases[] = {
        {"site A's own backup in the shared folder", ofA.folder, nullptr},
        {"site B's backup in the shared folder", ofB.folder, "należy do innego obiektu"},
        {"site B's backup in B's own kopie/", inOwnKopieOfB.folder, "należy do innego obiektu"},
        {"site B's backup copied into A's kopie/", copiedIntoOwnKopie, "należy do innego obiektu"},
        {"an unnamed backup in A's own kopie/", oldInOwnKopie, nullptr},
        {"an unnamed backup in the shared folder", oldInShared, "nie mówi, do którego obiektu należy"},
    };
    for (const Case& c : cases) {
        const std::string tablesBefore = readAll(a() + "/osoby.dbf");
        const std::size_t backupsBefore = backup::listBackups(a(), shared()).size();
        try {
            backup::restoreBackup(restoreOf(a(), c.folder));
            EXPECT_EQ(c.refusal, nullptr) << c.what << ": restored";
            EXPECT_EQ(readAll(a() + "/osoby.dbf"), readAll(c.folder + "/osoby.dbf")) << c.what;
        } catch (const backup::BackupError& e) {
            ASSERT_NE(c.refusal, nullptr) << c.what << ": " << e.what();
            EXPECT_NE(e.operatorText().find(c.refusal), std::string::npos) << c.what << ": " << e.operatorText();
            EXPECT_EQ(readAll(a() + "/osoby.dbf"), tablesBefore) << c.what;
            EXPECT_EQ(backup::listBackups(a(), shared()).size(), backupsBefore) << c.what << ": a backup was taken";
        }
    }
    // Site A's own kopie/ lists its unnamed backup and never B's copy.
    for (const BackupEntry& entry : backup::listBackups(a(), backup::defaultBackupRoot(a())))
        EXPECT_NE(entry.folder, copiedIntoOwnKopie);

    // The table tool refuses the same, and keeps the state before a restore of A's own in A's folder there.
    const std::string tool = quoted(TALVERN_DBF_TOOL);
    const RunResult refused = runCommand(tool + " restore " + quoted(ofB.folder) + " " + quoted(a()) + " 2>&1");
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.output.find("another site"), std::string::npos) << refused.output;
    const std::size_t before = backup::listBackups(a(), shared()).size();
    ASSERT_EQ(runCommand(tool + " restore " + quoted(ofA.folder) + " " + quoted(a())).exitCode, 0);
    EXPECT_EQ(backup::listBackups(a(), shared()).size(), before + 1);
    EXPECT_EQ(backup::listBackups(b(), shared()).size(), 1u);
}

TEST(SiteNames, FolderNamesAreSafeOnAnyDisk) {
    struct Case {
        const char* given;
        const char* safe;
    } cases[] = {{"biuro", "biuro"},
                 {"Biuro główne", "Biuro_główne"},
                 {"a/b\\c:d*e?", "a_b_c_d_e_"},
                 {"..ukryty.", "ukryty"},
                 {"ąąąąąąąąąąąąąąąąąąąąą", "ąąąąąąąąąąąąąąąąąąąą"}}; // 42 bytes: cut to 40, never inside a letter
    for (const Case& c : cases)
        EXPECT_EQ(backup::folderSafeName(c.given), c.safe) << c.given;
}

} // namespace
} // namespace talvern::db::test

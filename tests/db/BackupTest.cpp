// Backups of a whole site on real files: what a backup folder holds and that an independent reader sees the
// site in it, the rotation with the clock moved, a restore and its way back, a backup or restore cut short,
// and the failures an operator meets (a backup folder gone).

#include "BackupError.h"
#include "BackupFiles.h"
#include "BackupPlace.h"
#include "BackupRotation.h"
#include "ProcessRun.h"
#include "SiteBackup.h"
#include "SiteRestore.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TableCheck.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>

namespace talvern::db::test {
namespace {

namespace fs = std::filesystem;
using backup::BackupEntry;
using backup::TimePoint;

TimePoint at(int year, int month, int day, int hour = 10, int minute = 0) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

TimePoint plusDays(TimePoint time, int days) {
    // Through the calendar, so that a change of summer time keeps the hour.
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    local.tm_mday += days;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

// A site with users (notes included), a group and a reader.
class SiteFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureStandardTables(site.path()));
        addUsers(3);
        TTable groups;
        groups.open(site.file("grupa.dbf"));
        groups.append();
        groups.fieldByName("NAME").setAsString("Biuro");
        groups.fieldByName("NOTES").setAsString("pokoje 1–4, zażółć");
        groups.post();
        TTable readers;
        readers.open(site.file("sprzet.dbf"));
        readers.append();
        readers.fieldByName("ID_CZYT").setAsInteger(1);
        readers.fieldByName("NAME").setAsString("Wejście główne");
        readers.post();
    }

    void addUsers(int count) {
        TTable users;
        users.open(site.file("osoby.dbf"));
        for (int i = 0; i < count; ++i) {
            users.append();
            users.fieldByName("NUMBER").setAsInteger(++m_users);
            users.fieldByName("SURNAME").setAsString("Łucja " + std::to_string(m_users));
            users.fieldByName("GROUP").setAsString("Biuro");
            users.fieldByName("INFO").setAsString("notatka " + std::to_string(m_users));
            users.post();
        }
    }

    std::string surnameOfFirstUser() {
        TTable users;
        users.open(site.file("osoby.dbf"));
        return users.fieldByName("SURNAME").asString();
    }

    BackupEntry backupAt(TimePoint time, const std::string& why = backup::reason::kDaily) {
        backup::BackupRequest request;
        request.siteDir = site.path();
        request.root = root();
        request.createRoot = true;
        request.reason = why;
        request.clock = [time] { return time; };
        return backup::takeBackup(request);
    }

    std::string root() const { return backup::defaultBackupRoot(site.path()); }

    TempDir site;
    int m_users = 0;
};

TEST_F(SiteFixture, ABackupFolderHoldsTheTablesAsTheyAreAndItsManifest) {
    const BackupEntry entry = backupAt(at(2026, 3, 14, 9, 30), backup::reason::kGroupRemoval);
    EXPECT_EQ(fs::path(entry.folder).filename(), "2026-03-14_09-30-00");
    for (const char* file : {"osoby.dbf", "osoby.dbt", "grupa.dbf", "grupa.dbt", "sprzet.dbf", "sprzet.dbt"})
        EXPECT_EQ(readAll(entry.folder + "/" + file), readAll(site.file(file))) << file;
    EXPECT_FALSE(fs::exists(entry.folder + "/karty.dbf")); // the card journal only where the site has one

    const auto listed = backup::listBackups(site.path(), root());
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].manifest.users, 3u);
    EXPECT_EQ(listed[0].manifest.reason, backup::reason::kGroupRemoval);
    EXPECT_TRUE(listed[0].manifest.checked);
    EXPECT_EQ(backup::localTimeText(listed[0].manifest.taken), "2026-03-14 09:30:00");

    // Two backups in one second get folders of their own.
    const BackupEntry second = backupAt(at(2026, 3, 14, 9, 30));
    EXPECT_EQ(fs::path(second.folder).filename(), "2026-03-14_09-30-00-2");
}

TEST_F(SiteFixture, TheCardJournalGoesWithTheBackupWhenTheSiteHasOne) {
    for (const char* file : {"karty.dbf", "karty.dbt"})
        fs::copy_file(site.file(std::string("osoby") + fs::path(file).extension().string()), site.file(file));
    const BackupEntry entry = backupAt(at(2026, 3, 14));
    EXPECT_EQ(readAll(entry.folder + "/karty.dbf"), readAll(site.file("karty.dbf")));
    EXPECT_EQ(readAll(entry.folder + "/karty.dbt"), readAll(site.file("karty.dbt")));
}

TEST_F(SiteFixture, ASpoiltCardJournalIsLeftOutAndTheTablesAreStillBackedUp) {
    std::ofstream(site.file("karty.dbf"), std::ios::binary) << "not a table at all";
    const BackupEntry entry = backupAt(at(2026, 3, 14));
    EXPECT_TRUE(entry.manifest.checked);
    EXPECT_FALSE(fs::exists(entry.folder + "/karty.dbf"));
    EXPECT_EQ(readAll(entry.folder + "/osoby.dbf"), readAll(site.file("osoby.dbf")));
    EXPECT_EQ(readAll(site.file("karty.dbf")), "not a table at all"); // the site's file as it was
    EXPECT_TRUE(backup::checkBackupFolder(entry.folder).empty());
}

TEST_F(SiteFixture, AnIndependentReaderSeesTheSiteInTheBackup) {
    const BackupEntry entry = backupAt(at(2026, 3, 14));
    for (const char* table : {"osoby.dbf", "grupa.dbf", "sprzet.dbf"}) {
        const auto read = [](const std::string& path) {
            return runCommand("/usr/bin/python3 " + quoted(std::string(TALVERN_INTEROP_SCRIPTS) + "/read_table.py") +
                              " dbfread " + quoted(path));
        };
        const RunResult inSite = read(site.file(table));
        const RunResult inBackup = read(entry.folder + "/" + table);
        ASSERT_EQ(inBackup.exitCode, 0) << "is the Debian package python3-dbfread installed?";
        EXPECT_FALSE(inBackup.output.empty()) << table;
        EXPECT_EQ(inBackup.output, inSite.output) << table;
    }
}

TEST_F(SiteFixture, AFolderWithoutManifestIsSkippedAndCutShortOnesGoAtTheNextRotation) {
    backupAt(at(2026, 3, 1));
    // What a program killed while copying leaves: a dated folder with some tables and no manifest.
    const std::string cut = root() + "/2026-03-02_10-00-00";
    fs::create_directories(cut);
    fs::copy_file(site.file("osoby.dbf"), cut + "/osoby.dbf");
    // And a manifest cut off before its last line is no manifest either.
    const std::string half = root() + "/2026-03-02_11-00-00";
    fs::create_directories(half);
    writeAll(half + "/" + backup::kManifestName, "date=2026-03-02 11:00:00\nreason=Kopia dzienna\n");
    // Folders that are not backups are none of the backups' business.
    fs::create_directories(root() + "/moje pliki");

    EXPECT_EQ(backup::listBackups(site.path(), root()).size(), 1u);
    EXPECT_EQ(backup::incompleteBackups(site.path(), root()), (std::vector<std::string>{cut, half}));
    EXPECT_EQ(backup::newestGoodBackup(site.path(), root())->folder, root() + "/2026-03-01_10-00-00");

    backupAt(at(2026, 3, 3));
    EXPECT_TRUE(backup::incompleteBackups(site.path(), root()).empty());
    EXPECT_TRUE(fs::exists(root() + "/moje pliki"));
    EXPECT_EQ(backup::listBackups(site.path(), root()).size(), 2u);
}

// The rotation, with the clock moved a day at a time: a table of days and what is kept.
TEST_F(SiteFixture, ThirtyOneDailyBackupsKeepTheLastThirty) {
    const TimePoint first = at(2026, 1, 15);
    for (int day = 0; day < 31; ++day)
        backupAt(plusDays(first, day));
    const auto kept = backup::listBackups(site.path(), root());
    ASSERT_EQ(kept.size(), 30u);
    EXPECT_EQ(backup::localTimeText(kept.back().manifest.taken), "2026-01-16 10:00:00");
    EXPECT_EQ(backup::localTimeText(kept.front().manifest.taken), "2026-02-14 10:00:00");
    for (const auto& entry : kept)
        EXPECT_TRUE(backup::checkBackupFolder(entry.folder).empty()) << entry.folder;
}

TEST_F(SiteFixture, SeveralBackupsADayAllStayWithinTheThirtyDays) {
    backupAt(at(2026, 5, 1, 8));
    backupAt(at(2026, 5, 1, 9), backup::reason::kFullAccess);
    backupAt(at(2026, 5, 1, 9, 5), backup::reason::kNoAccess);
    EXPECT_EQ(backup::listBackups(site.path(), root()).size(), 3u);
}

struct RotationCase {
    const char* what;
    int days;                        // one backup a day at 10:00 from 2025-01-01
    std::vector<std::string> months; // months (YYYY-MM) whose newest backup is kept beyond the 30 days
};

class Rotation : public ::testing::TestWithParam<RotationCase> {};

TEST_P(Rotation, KeepsThirtyDaysAndOneBackupAMonthForAYear) {
    const RotationCase& c = GetParam();
    std::vector<BackupEntry> entries;
    TimePoint day = at(2025, 1, 1);
    for (int i = 0; i < c.days; ++i, day = plusDays(day, 1)) {
        BackupEntry entry;
        entry.manifest.taken = day;
        entry.folder = backup::backupFolderName(day);
        entries.push_back(entry);
    }
    const TimePoint now = entries.back().manifest.taken;
    const auto removed = backup::backupsToRemove(entries, now);
    std::vector<std::string> keptMonthly;
    int keptDaily = 0;
    for (const auto& entry : entries) {
        if (std::find(removed.begin(), removed.end(), entry.folder) != removed.end())
            continue;
        if (now - entry.manifest.taken < std::chrono::hours(24 * 30))
            ++keptDaily;
        else
            keptMonthly.push_back(entry.folder.substr(0, 7));
    }
    EXPECT_EQ(keptDaily, std::min(c.days, 30)) << c.what;
    EXPECT_EQ(keptMonthly, c.months) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Days, Rotation,
    ::testing::Values(RotationCase{"ten days: nothing goes", 10, {}},
                      RotationCase{"31 days: the first goes (January's newest is among the 30)", 31, {}},
                      RotationCase{"70 days: January's last day stays (February's is among the 30)", 70, {"2025-01"}},
                      RotationCase{"a year and a half, to 2026-06-29: twelve months, May's and June's newest among the 30",
                                   545,
                                   {"2025-07", "2025-08", "2025-09", "2025-10", "2025-11", "2025-12", "2026-01",
                                    "2026-02", "2026-03", "2026-04"}}));

TEST(RotationRule, ASiteLeftUnusedKeepsItsLastThirtyDaysOfBackups) {
    std::vector<BackupEntry> entries;
    TimePoint day = at(2025, 3, 1);
    for (int i = 0; i < 40; ++i, day = plusDays(day, 1))
        entries.push_back({backup::backupFolderName(day), {day, "Kopia dzienna", 1, true, ""}});
    // Half a year later the program starts again: the last 30 days on which it worked stay.
    const auto removed = backup::backupsToRemove(entries, at(2025, 10, 1));
    EXPECT_EQ(removed.size(), 10u); // the ten days before them; March's newest is among the thirty
}

TEST_F(SiteFixture, ARestoreBringsBackTheTablesAndBacksUpThePresentStateFirst) {
    const BackupEntry good = backupAt(at(2026, 4, 1));
    addUsers(2);
    {
        TTable users;
        users.open(site.file("osoby.dbf"));
        users.edit();
        users.fieldByName("SURNAME").setAsString("Zmieniona");
        users.post();
    }
    const std::string changed = readAll(site.file("osoby.dbf"));
    const std::string changedMemo = readAll(site.file("osoby.dbt"));

    backup::RestoreRequest request;
    request.siteDir = site.path();
    request.backupFolder = good.folder;
    request.root = root();
    request.clock = [] { return at(2026, 4, 2); };
    const BackupEntry before = backup::restoreBackup(request);

    EXPECT_EQ(surnameOfFirstUser(), "Łucja 1"); // the change is gone
    EXPECT_EQ(readAll(site.file("osoby.dbf")), readAll(good.folder + "/osoby.dbf"));
    // The state before the restore is a backup of its own, listed and checked.
    EXPECT_EQ(readAll(before.folder + "/osoby.dbf"), changed);
    EXPECT_EQ(readAll(before.folder + "/osoby.dbt"), changedMemo);
    EXPECT_EQ(before.manifest.users, 5u);
    EXPECT_EQ(before.manifest.reason.rfind(backup::reason::kBeforeRestore, 0), 0u);
    EXPECT_TRUE(before.manifest.checked);
    EXPECT_EQ(backup::listBackups(site.path(), root()).size(), 2u);
    for (const auto& entry : fs::directory_iterator(site.path()))
        EXPECT_NE(entry.path().filename().string().front(), '.') << "left behind: " << entry.path();

    // And the way back.
    request.backupFolder = before.folder;
    backup::restoreBackup(request);
    EXPECT_EQ(surnameOfFirstUser(), "Zmieniona");
}

TEST_F(SiteFixture, ARestoreKeepsTheCardsWrittenSinceTheBackupAndGivesAJournalOnlyToASiteWithout) {
    // The journal as it stood at the backup (a table of its own; its content does not matter here).
    fs::copy_file(site.file("osoby.dbf"), site.file("karty.dbf"));
    fs::copy_file(site.file("osoby.dbt"), site.file("karty.dbt"));
    const BackupEntry good = backupAt(at(2026, 4, 1));
    // Cards written since: the journal has grown.
    fs::copy_file(site.file("grupa.dbf"), site.file("karty.dbf"), fs::copy_options::overwrite_existing);
    fs::remove(site.file("karty.dbt"));
    const std::string since = readAll(site.file("karty.dbf"));

    backup::RestoreRequest request;
    request.siteDir = site.path();
    request.backupFolder = good.folder;
    request.root = root();
    request.clock = [] { return at(2026, 4, 2); };
    backup::restoreBackup(request);
    EXPECT_EQ(readAll(site.file("karty.dbf")), since);
    EXPECT_FALSE(fs::exists(site.file("karty.dbt")));

    // A site that lost its journal gets the backup's.
    fs::remove(site.file("karty.dbf"));
    request.clock = [] { return at(2026, 4, 3); };
    backup::restoreBackup(request);
    EXPECT_EQ(readAll(site.file("karty.dbf")), readAll(good.folder + "/karty.dbf"));
    EXPECT_EQ(readAll(site.file("karty.dbt")), readAll(good.folder + "/karty.dbt"));
}

TEST_F(SiteFixture, TheBackupBeingRestoredOutlivesTheRotationOfTheBackupTakenBeforeIt) {
    // Thirty days with backups; the oldest of them is restored on a new day, whose backup of the present
    // state would push it out of the thirty.
    const TimePoint first = at(2026, 6, 1);
    std::string oldest;
    for (int day = 0; day < 30; ++day) {
        const BackupEntry entry = backupAt(plusDays(first, day));
        if (day == 0)
            oldest = entry.folder;
    }
    addUsers(1);
    backup::RestoreRequest request;
    request.siteDir = site.path();
    request.backupFolder = oldest;
    request.root = root();
    request.clock = [&] { return plusDays(first, 30); };
    backup::restoreBackup(request);
    EXPECT_EQ(readAll(site.file("osoby.dbf")), readAll(oldest + "/osoby.dbf"));
    // The next rotation removes it as the rule says.
    backupAt(plusDays(first, 30) + std::chrono::hours(1));
    EXPECT_FALSE(fs::exists(oldest));
}

TEST_F(SiteFixture, ARestoreIsRefusedWhileAProgramHoldsTheTables) {
    const BackupEntry good = backupAt(at(2026, 4, 1));
    TTable users;
    users.open(site.file("osoby.dbf"));
    backup::RestoreRequest request;
    request.siteDir = site.path();
    request.backupFolder = good.folder;
    request.root = root();
    EXPECT_THROW(backup::restoreBackup(request), DbfError);
    EXPECT_EQ(backup::listBackups(site.path(), root()).size(), 1u);
}

TEST_F(SiteFixture, AnIncompleteOrDamagedBackupIsNeverRestored) {
    const BackupEntry good = backupAt(at(2026, 4, 1));
    const std::string site0 = readAll(site.file("osoby.dbf"));
    backup::RestoreRequest request;
    request.siteDir = site.path();
    request.root = root();

    fs::remove(good.folder + "/" + backup::kManifestName);
    request.backupFolder = good.folder;
    EXPECT_THROW(backup::restoreBackup(request), backup::BackupError);

    const BackupEntry other = backupAt(at(2026, 4, 2));
    fs::resize_file(other.folder + "/grupa.dbf", fs::file_size(other.folder + "/grupa.dbf") - 40);
    request.backupFolder = other.folder;
    EXPECT_THROW(backup::restoreBackup(request), backup::BackupError);
    EXPECT_FALSE(backup::newestGoodBackup(site.path(), root()));
    EXPECT_EQ(readAll(site.file("osoby.dbf")), site0);
}

TEST_F(SiteFixture, ARestoreCutShortDuringItsSwapIsCompletedBeforeTheTablesOpen) {
    const BackupEntry good = backupAt(at(2026, 4, 1));
    addUsers(4);
    backup::RestoreRequest request;
    request.siteDir = site.path();
    request.backupFolder = good.folder;
    request.root = root();
    {
        backup::StagedRestore staged = backup::stageRestore(request);
        // A kill after the marker and the first rename: the commit's first steps, done by hand.
        staged.commit();
    }
    // Nothing staged is left, the tables are the backup's.
    EXPECT_EQ(readAll(site.file("osoby.dbf")), readAll(good.folder + "/osoby.dbf"));
    EXPECT_FALSE(backup::finishInterruptedRestore(site.path()));

    // A marker naming a swap whose copy is still there: completed at the next start.
    writeAll(site.file(".odtwarzana-grupa.dbf"), readAll(good.folder + "/grupa.dbf"));
    writeAll(site.file(".odtwarzanie-kopii"), site.file(".odtwarzana-grupa.dbf") + "\t" + site.file("grupa.dbf") + "\n");
    EXPECT_TRUE(backup::finishInterruptedRestore(site.path()));
    EXPECT_FALSE(fs::exists(site.file(".odtwarzanie-kopii")));
    EXPECT_FALSE(fs::exists(site.file(".odtwarzana-grupa.dbf")));

    // Copies staged without a marker were cut short before the swap: they are removed, the tables stay.
    writeAll(site.file(".odtwarzana-osoby.dbf"), "part");
    const std::string users = readAll(site.file("osoby.dbf"));
    EXPECT_FALSE(backup::finishInterruptedRestore(site.path()));
    EXPECT_FALSE(fs::exists(site.file(".odtwarzana-osoby.dbf")));
    EXPECT_EQ(readAll(site.file("osoby.dbf")), users);
}

TEST_F(SiteFixture, ABackupFolderThatIsGoneFailsWithAPolishMessageAndTouchesNothing) {
    backup::BackupRequest request;
    request.siteDir = site.path();
    request.root = site.file("pendrive/kopie");
    request.reason = backup::reason::kDaily;
    try {
        backup::takeBackup(request);
        FAIL() << "a backup into a folder that is gone";
    } catch (const backup::BackupError& e) {
        EXPECT_NE(e.operatorText().find("nie istnieje"), std::string::npos) << e.operatorText();
    }
    EXPECT_FALSE(fs::exists(site.file("pendrive")));
}

TEST_F(SiteFixture, ABackupOfADamagedSiteDoesNotCount) {
    fs::resize_file(site.file("sprzet.dbf"), fs::file_size(site.file("sprzet.dbf")) - 20);
    backup::BackupRequest request;
    request.siteDir = site.path();
    request.root = root();
    request.createRoot = true;
    request.reason = backup::reason::kDaily;
    EXPECT_THROW(backup::takeBackup(request), backup::BackupError);
    EXPECT_TRUE(backup::listBackups(site.path(), root()).empty());
    EXPECT_TRUE(backup::incompleteBackups(site.path(), root()).empty());
}

// The same from a terminal: talvern-dbf backup, backups and restore, and the backup a CSV import takes.
TEST_F(SiteFixture, TheTableToolBacksUpListsAndRestores) {
    const std::string tool = quoted(TALVERN_DBF_TOOL);
    const RunResult backedUp = runCommand(tool + " backup " + quoted(site.path()));
    ASSERT_EQ(backedUp.exitCode, 0);
    const std::string folder = backedUp.output.substr(0, backedUp.output.find('\n'));
    EXPECT_EQ(readAll(folder + "/osoby.dbf"), readAll(site.file("osoby.dbf")));

    writeAll(site.file("nowi.csv"), "NUMBER,SURNAME\n9,Nowy\n");
    ASSERT_EQ(runCommand(tool + " import --csv " + quoted(site.file("nowi.csv")) + " " +
                         quoted(site.file("osoby.dbf")) + " 2>/dev/null").exitCode, 0);
    const auto listed = backup::listBackups(site.path(), root());
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].manifest.reason, backup::reason::kCsvImport);
    EXPECT_EQ(listed[0].manifest.users, 3u); // before the import's user

    const RunResult list = runCommand(tool + " backups " + quoted(site.path()));
    EXPECT_NE(list.output.find("Przed importem CSV"), std::string::npos) << list.output;
    EXPECT_NE(list.output.find(backup::reason::kTool), std::string::npos) << list.output;

    // Refused while a program holds the tables; then restored.
    {
        TTable users;
        users.open(site.file("osoby.dbf"));
        EXPECT_NE(runCommand(tool + " restore " + quoted(folder) + " " + quoted(site.path()) + " 2>/dev/null").exitCode, 0);
        EXPECT_NE(runCommand(tool + " backup " + quoted(site.path()) + " 2>/dev/null").exitCode, 0);
    }
    ASSERT_EQ(runCommand(tool + " restore " + quoted(folder) + " " + quoted(site.path())).exitCode, 0);
    EXPECT_EQ(readAll(site.file("osoby.dbf")), readAll(folder + "/osoby.dbf"));
    EXPECT_EQ(backup::listBackups(site.path(), root()).size(), 3u); // the state before, with the imported user
    EXPECT_EQ(backup::listBackups(site.path(), root())[0].manifest.users, 4u);

    // A backup folder named with --to must exist.
    EXPECT_NE(runCommand(tool + " backup " + quoted(site.path()) + " --to " + quoted(site.file("brak")) + " 2>/dev/null").exitCode, 0);
    EXPECT_FALSE(fs::exists(site.file("brak")));
}

TEST(BackupNames, FoldersAreRecognisedByTheirDatedNamesOnly) {
    struct Case {
        const char* name;
        bool backup;
    } cases[] = {{"2026-12-11_05-30-00", true}, {"2026-12-11_05-30-00-2", true}, {"2026-12-11_05-30-00-", false},
                 {"2026-12-11_05-30", false},   {"2026-12-11 05-30-00", false}, {"kopie", false},
                 {"2026-12-11_05-30-00-x", false}};
    for (const auto& c : cases)
        EXPECT_EQ(backup::isBackupFolderName(c.name), c.backup) << c.name;
}

} // namespace
} // namespace talvern::db::test

// The program killed with SIGKILL at random instants while it takes backups (with the rotation removing
// old ones) and while it restores them: the site still opens, a restore is never left half done (the
// tables are all from one side of it once the next start has finished the swap), and every backup listed
// passes the check, the ones cut short being recognised and skipped.

#include "BackupError.h"
#include "BackupFiles.h"
#include "BackupPlace.h"
#include "SiteBackup.h"
#include "SiteRestore.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace talvern::db::test {
namespace {

namespace fs = std::filesystem;

constexpr int kKills = 80;
const char* const kTableFiles[] = {"osoby.dbf", "osoby.dbt", "grupa.dbf", "grupa.dbt", "sprzet.dbf", "sprzet.dbt"};

void addUsers(const std::string& site, int count, const std::string& name) {
    TTable users;
    users.open(site + "/osoby.dbf");
    for (int i = 0; i < count; ++i) {
        users.append();
        users.fieldByName("NUMBER").setAsInteger(i + 1);
        users.fieldByName("SURNAME").setAsString(name);
        users.fieldByName("INFO").setAsString(name + " " + std::string(static_cast<std::size_t>(i * 53 % 900), 'n'));
        users.post();
    }
}

std::string tablesOf(const std::string& folder) {
    std::string all;
    for (const char* file : kTableFiles)
        all += readAll(folder + "/" + file) + '\0';
    return all;
}

// The program's side: holds the tables and takes backups, a day apart, so that the rotation removes some.
[[noreturn]] void backingUp(const std::string& site, unsigned seed) {
    TTable users, groups, readers;
    users.open(site + "/osoby.dbf");
    groups.open(site + "/grupa.dbf");
    readers.open(site + "/sprzet.dbf");
    auto day = std::chrono::system_clock::now() + std::chrono::hours(24) * (seed % 1000);
    for (;;) {
        day += std::chrono::hours(24);
        backup::BackupRequest request;
        request.siteDir = site;
        request.root = backup::defaultBackupRoot(site);
        request.createRoot = true;
        request.reason = backup::reason::kDaily;
        request.tablesHeld = true;
        request.clock = [day] { return day; };
        backup::takeBackup(request);
    }
}

// The program's side: holds the tables and restores the two backups in turn, as the backups window does.
[[noreturn]] void restoring(const std::string& site, const std::string& a, const std::string& b) {
    TTable users, groups, readers;
    TTable* tables[] = {&users, &groups, &readers};
    const char* names[] = {"osoby.dbf", "grupa.dbf", "sprzet.dbf"};
    for (int i = 0; i < 3; ++i)
        tables[i]->open(site + "/" + names[i]);
    for (int turn = 0;; ++turn) {
        backup::RestoreRequest request;
        request.siteDir = site;
        request.backupFolder = turn % 2 ? b : a;
        request.root = site + "/przed";
        request.createRoot = true;
        request.tablesHeld = true;
        backup::StagedRestore staged = backup::stageRestore(request);
        for (TTable* table : tables)
            table->close();
        staged.commit();
        for (int i = 0; i < 3; ++i)
            tables[i]->open(site + "/" + names[i]);
    }
}

void killAtRandom(const std::function<void()>& child, std::mt19937& random) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        try {
            child();
        } catch (...) {
            _exit(2);
        }
        _exit(0);
    }
    const timespec pause{0, static_cast<long>(2'000'000 + random() % 60'000'000)};
    ::nanosleep(&pause, nullptr);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself, status " << status;
}

// What the next start does, and then that every table opens.
void opensAsTheProgramWould(const std::string& site) {
    backup::finishInterruptedRestore(site);
    for (const char* table : {"osoby.dbf", "grupa.dbf", "sprzet.dbf"}) {
        TTable opened;
        EXPECT_NO_THROW(opened.open(site + "/" + table)) << table;
    }
}

void everyListedBackupPassesItsCheck(const std::string& site, const std::string& root) {
    for (const auto& entry : backup::listBackups(site, root)) {
        const auto faults = backup::checkBackupFolder(entry.folder);
        EXPECT_TRUE(faults.empty()) << entry.folder << ": " << (faults.empty() ? "" : faults.front());
    }
}

TEST(BackupKill, KilledWhileBackingUpLeavesASiteThatOpensAndOnlySoundBackupsListed) {
    TempDir site;
    ASSERT_TRUE(ensureStandardTables(site.path()));
    addUsers(site.path(), 400, "Kopiowana");
    std::mt19937 random(20261211);
    int incomplete = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        killAtRandom([&] { backingUp(site.path(), static_cast<unsigned>(kill) * 40); }, random);
        opensAsTheProgramWould(site.path());
        everyListedBackupPassesItsCheck(site.path(), backup::defaultBackupRoot(site.path()));
        incomplete += static_cast<int>(backup::incompleteBackups(site.path(), backup::defaultBackupRoot(site.path())).size());
    }
    EXPECT_FALSE(backup::listBackups(site.path(), backup::defaultBackupRoot(site.path())).empty());
    std::cout << kKills << " kills, " << incomplete << " times a backup cut short was found and skipped\n";
}

TEST(BackupKill, KilledWhileRestoringLeavesTheTablesAllFromOneSideOfTheRestore) {
    TempDir site;
    ASSERT_TRUE(ensureStandardTables(site.path()));
    addUsers(site.path(), 300, "Pierwsza");
    backup::BackupRequest request;
    request.siteDir = site.path();
    request.root = backup::defaultBackupRoot(site.path());
    request.createRoot = true;
    request.reason = backup::reason::kDaily;
    const std::string a = backup::takeBackup(request).folder;
    addUsers(site.path(), 500, "Druga");
    {
        TTable groups;
        groups.open(site.file("grupa.dbf"));
        groups.append();
        groups.fieldByName("NAME").setAsString("Tylko w drugiej");
        groups.post();
    }
    request.clock = [] { return std::chrono::system_clock::now() + std::chrono::seconds(5); };
    const std::string b = backup::takeBackup(request).folder;
    const std::string sideA = tablesOf(a), sideB = tablesOf(b);
    ASSERT_NE(sideA, sideB);

    std::mt19937 random(1211);
    for (int kill = 0; kill < kKills; ++kill) {
        killAtRandom([&] { restoring(site.path(), a, b); }, random);
        opensAsTheProgramWould(site.path());
        const std::string now = tablesOf(site.path());
        EXPECT_TRUE(now == sideA || now == sideB) << "after kill " << kill << " the tables are from neither backup";
        everyListedBackupPassesItsCheck(site.path(), site.file("przed"));
        everyListedBackupPassesItsCheck(site.path(), backup::defaultBackupRoot(site.path()));
    }
}

} // namespace
} // namespace talvern::db::test

#include "DbfTable.h"
#include "GroupTracking.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TempDir.h"
#include "UserNumbers.h"

#include <gtest/gtest.h>

namespace talvern::db::test {
namespace {

// A site with the standard tables: groups in the given order (ID_grupy 1, 2, ...) and users (NUMBER, GROUP).
class Site : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ensureStandardTables(m_dir.path())); }

    void fill(const std::vector<std::string>& groupNames, const std::vector<std::pair<int, std::string>>& userRows) {
        TTable groups, users;
        groups.open(m_dir.file("grupa.dbf"));
        users.open(m_dir.file("osoby.dbf"));
        int id = 0;
        for (const auto& name : groupNames) {
            groups.append();
            groups.fieldByName("ID_grupy").setAsInteger(++id);
            groups.fieldByName("NAME").setAsString(name);
            groups.post();
        }
        for (const auto& [number, group] : userRows) {
            users.append();
            users.fieldByName("NUMBER").setAsInteger(number);
            users.fieldByName("GROUP").setAsString(group);
            users.post();
        }
    }

    void openAll() {
        m_users.open(m_dir.file("osoby.dbf"));
        m_groups.open(m_dir.file("grupa.dbf"));
        m_tracking = std::make_unique<GroupTracking>(m_users, m_groups);
        m_tracking->follow();
    }

    std::int64_t groupId() { return m_groups.fieldByName("ID_grupy").asInteger(); }

    TempDir m_dir;
    TTable m_users{"Table1"};
    TTable m_groups{"Table3"};
    std::unique_ptr<GroupTracking> m_tracking;
};

TEST_F(Site, GroupsFollowTheCurrentUser) {
    fill({"Biuro", "Magazyn", "biuro", "Magazyn"},
         {{1, "Magazyn"}, {2, "biuro"}, {3, "Nieznana"}, {4, ""}, {5, kLackOfAssignment}, {6, "Biuro"}});
    openAll();
    struct Step {
        int user;
        std::int64_t group; // expected ID_grupy under the groups cursor
        bool found;
    } steps[] = {
        {1, 2, true},  // first group of that name in table order
        {2, 3, true},  // letter case counts
        {3, 3, false}, // a name no group bears leaves the cursor
        {4, 3, false}, // so does an empty GROUP
        {5, 3, false}, // and the removal mark
        {6, 1, true},
    };
    for (const auto& s : steps) {
        m_users.moveTo(s.user);
        EXPECT_EQ(groupId(), s.group) << "user " << s.user;
        EXPECT_EQ(m_tracking->groupFound(), s.found) << "user " << s.user;
    }
}

TEST_F(Site, SameGroupAgainAfterAnotherWasSelectedMovesBack) {
    fill({"A", "B"}, {{1, "A"}, {2, "A"}});
    openAll();
    EXPECT_EQ(groupId(), 1);
    m_groups.last(); // the operator picks group B on the Groups page
    EXPECT_EQ(groupId(), 2);
    m_users.next(); // another user of group A
    EXPECT_EQ(groupId(), 1);
    m_groups.last();
    m_users.first(); // first() on the user already first still counts as selecting a user
    EXPECT_EQ(groupId(), 1);
}

TEST_F(Site, ChangingTheUsersGroupMovesTheGroups) {
    fill({"A", "B"}, {{1, "A"}});
    openAll();
    m_users.edit();
    m_users.fieldByName("group").setAsString("B");
    EXPECT_EQ(groupId(), 2);
    m_users.cancel();
    EXPECT_EQ(groupId(), 1);
}

// Renaming, adding and removing groups changes which group a name leads to at the next user move.
TEST_F(Site, FollowsGroupsAsTheyAreNowStored) {
    fill({"A", "B", "C"}, {{1, "B"}, {2, "D"}, {3, "A"}});
    openAll();
    EXPECT_EQ(groupId(), 2);
    m_groups.moveTo(2);
    m_groups.edit();
    m_groups.fieldByName("NAME").setAsString("D"); // B is renamed D; its users now name no group
    m_groups.post();
    m_groups.first();
    m_users.moveTo(2);
    EXPECT_EQ(groupId(), 2);
    m_users.moveTo(1);
    EXPECT_EQ(groupId(), 2); // stayed: no group is called B any more
    EXPECT_FALSE(m_tracking->groupFound());
    m_groups.first();
    m_groups.deleteRecord(); // A goes
    m_users.moveTo(3);
    EXPECT_FALSE(m_tracking->groupFound());
    m_groups.append();
    m_groups.fieldByName("ID_grupy").setAsInteger(9);
    m_groups.fieldByName("NAME").setAsString("A");
    m_groups.post();
    m_groups.first();
    m_users.moveTo(1);
    m_users.moveTo(3);
    EXPECT_EQ(groupId(), 9);
}

TEST_F(Site, SuspendedUsersDisplayLeavesGroupsUntilResumed) {
    fill({"A", "B", "C"}, {{1, "A"}, {2, "B"}, {3, "C"}});
    openAll();
    m_users.disableControls();
    for (m_users.first(); !m_users.eof(); m_users.next()) {
        EXPECT_EQ(groupId(), 1);
    }
    m_users.enableControls();
    EXPECT_EQ(groupId(), 3); // once, from the user then current (the last)
}

TEST_F(Site, GroupsChangeUnderWayIsStoredWhenTrackingMovesTheCursor) {
    fill({"A", "B"}, {{1, "A"}, {2, "B"}});
    openAll();
    m_groups.edit();
    m_groups.field(3).setAsBoolean(true); // p1 of group A
    m_users.next();
    EXPECT_EQ(groupId(), 2);
    m_groups.first();
    EXPECT_TRUE(m_groups.fieldByName("P1").asBoolean());
}

// The next NUMBER is the largest in the whole table plus one, wherever the cursor stands and in whatever
// order the numbers lie (tables brought from elsewhere are not sorted).
TEST_F(Site, NextUserNumberIsOneMoreThanTheLargestAnywhere) {
    fill({}, {{5, ""}, {90, ""}, {7, ""}, {3, ""}});
    openAll();
    const int positions[] = {1, 2, 3, 4};
    for (int at : positions) {
        m_users.moveTo(at);
        EXPECT_EQ(nextUserNumber(m_users), 91) << "cursor at " << at;
        EXPECT_EQ(m_users.recNo(), at);
    }
    m_users.moveTo(2);
    m_users.deleteRecord(); // the largest goes: its number may be given again
    EXPECT_EQ(nextUserNumber(m_users), 8);
}

TEST_F(Site, FirstUserOfAnEmptyTableGetsOne) {
    openAll();
    EXPECT_EQ(nextUserNumber(m_users), 1);
    EXPECT_EQ(nextNumberIn(m_groups, "ID_Grupy"), 1);
}

TEST(StandardTables, FirstStartCreatesAllThreeWithTheStandardLayout) {
    TempDir dir;
    EXPECT_TRUE(ensureStandardTables(dir.path()));
    EXPECT_FALSE(ensureStandardTables(dir.path()));
    TTable groups;
    groups.open(dir.file("grupa.dbf"));
    ASSERT_EQ(groups.fieldCount(), 99);
    EXPECT_EQ(groups.field(0).name(), "ID_grupy");
    EXPECT_EQ(groups.field(1).name(), "NAME");
    EXPECT_EQ(groups.field(2).name(), "NOTES");
    for (int n = 1; n <= 96; ++n) {
        EXPECT_EQ(groups.fieldByName("P" + std::to_string(n)).index(), n + 2);
        EXPECT_EQ(groups.field(n + 2).type(), 'L');
    }
    EXPECT_EQ(groups.file()->format(), dbf::TableFormat::DBase3Memo);
    TTable users, readers;
    users.open(dir.file("osoby.dbf"));
    readers.open(dir.file("sprzet.dbf"));
    for (const char* f : {"NUMBER", "SURNAME", "NAME", "GROUP", "INDEX", "INFO"}) {
        EXPECT_GE(users.findField(f), 0) << f;
    }
    for (const char* f : {"ID_CZYT", "NAME", "TIME", "PROX", "EMULACJA", "MIEJSCE"}) {
        EXPECT_GE(readers.findField(f), 0) << f;
    }
    EXPECT_TRUE(users.isEmpty() && users.eof());
}

// Sites copied from Windows bring OSOBY.DBF and the like; they are the same tables.
TEST(StandardTables, TablesNamedInCapitalsAreFound) {
    TempDir dir;
    ASSERT_TRUE(ensureStandardTables(dir.path()));
    for (const char* stem : {"osoby", "sprzet", "grupa"}) {
        std::string upper = stem;
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        std::filesystem::rename(dir.file(std::string(stem) + ".dbf"), dir.file(upper + ".DBF"));
        std::filesystem::rename(dir.file(std::string(stem) + ".dbt"), dir.file(upper + ".DBT"));
    }
    EXPECT_FALSE(ensureStandardTables(dir.path()));
    TTable users;
    users.open(dir.file("osoby.dbf"));
    users.append();
    users.fieldByName("INFO").setAsString("notatka w pliku OSOBY.DBT");
    users.post();
    EXPECT_EQ(users.tableName(), "OSOBY.DBF");
    EXPECT_FALSE(std::filesystem::exists(dir.file("osoby.dbt")));
    EXPECT_GT(std::filesystem::file_size(dir.file("OSOBY.DBT")), 512u);
}

TEST(StandardTables, HalfASetIsReportedAndNothingIsCreated) {
    TempDir dir;
    dbf::DbfTable::create(dir.file("osoby.dbf"), dbf::TableFormat::DBase3Memo,
                          standardFields(StandardTable::Users));
    try {
        ensureStandardTables(dir.path());
        FAIL() << "a half set was accepted";
    } catch (const dbf::DbfError& e) {
        std::string text = e.what();
        EXPECT_NE(text.find("sprzet.dbf"), std::string::npos) << text;
        EXPECT_NE(text.find("grupa.dbf"), std::string::npos) << text;
        EXPECT_EQ(text.find("osoby.dbf"), std::string::npos) << text;
        EXPECT_EQ(e.operatorText(), "W folderze roboczym brakuje tabel: sprzet.dbf, grupa.dbf. Pozostałe tabele są "
                                    "na miejscu, więc program uruchomiono chyba w niewłaściwym folderze; niczego nie "
                                    "utworzono.");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("sprzet.dbf")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("grupa.dbf")));
}

} // namespace
} // namespace talvern::db::test

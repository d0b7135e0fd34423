#include "AccessReports.h"
#include "GapReports.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace talvern::db::reports::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// Readers 1 Brama, 2 Magazyn, 5 Serwerownia, 7 Archiwum. Groups: 1 Biuro {1, 2}, 2 Ochrona {1, 2, 5, 40},
// 3 Goście {}, 4 Biuro {5} (a namesake users never reach), 5 Serwis {5}. Users below.
class Reports : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureStandardTables(m_dir.path()));
        m_users.open(m_dir.file("osoby.dbf"));
        m_groups.open(m_dir.file("grupa.dbf"));
        m_readers.open(m_dir.file("sprzet.dbf"));
        for (auto [id, name] : {std::pair{1, "Brama"}, {2, "Magazyn"}, {5, "Serwerownia"}, {7, "Archiwum"}}) {
            m_readers.append();
            m_readers.fieldByName("ID_CZYT").setAsInteger(id);
            m_readers.fieldByName("NAME").setAsString(name);
            m_readers.post();
        }
        const std::pair<const char*, std::vector<int>> groups[] = {
            {"Biuro", {1, 2}}, {"Ochrona", {1, 2, 5, 40}}, {"Goście", {}}, {"Biuro", {5}}, {"Serwis", {5}}};
        int id = 0;
        for (const auto& [name, allowed] : groups) {
            m_groups.append();
            m_groups.fieldByName("ID_grupy").setAsInteger(++id);
            m_groups.fieldByName("NAME").setAsString(name);
            for (int n = 1; n <= 96; ++n) {
                m_groups.fieldByName("p" + std::to_string(n)).setAsBoolean(false);
            }
            for (int n : allowed) {
                m_groups.fieldByName("p" + std::to_string(n)).setAsBoolean(true);
            }
            m_groups.post();
        }
        const std::vector<std::string> users[] = {
            {"1", "Jan", "Kowalski", "Biuro"},          {"2", "Anna", "Łukasiewicz", "Ochrona"},
            {"3", "ANNA", "LUKASIEWICZ", "Biuro"},      {"4", "Piotr", "Nowak", "Lack of assignment!"},
            {"5", "Zofia", "Źrebiec", ""},              {"6", "Ewa", "Zając", "Kadry"},
            {"7", "Jan", "Kowalski", "Goście"},         {"8", "Łucja", "Wiśniewska", "biuro"},
        };
        for (const auto& user : users) {
            m_users.append();
            m_users.fieldByName("NUMBER").setAsString(user[0]);
            m_users.fieldByName("SURNAME").setAsString(user[1]);
            m_users.fieldByName("NAME").setAsString(user[2]);
            m_users.fieldByName("GROUP").setAsString(user[3]);
            m_users.post();
        }
        m_users.moveTo(3);
        m_groups.moveTo(2);
    }

    void TearDown() override {
        EXPECT_EQ(m_users.recNo(), 3) << "a report moves no cursor";
        EXPECT_EQ(m_groups.recNo(), 2);
    }

    ReportTable run(const Report& report, int parameter = 0) { return report.build(m_site, parameter); }

    db::test::TempDir m_dir;
    TTable m_users{"Table1"};
    TTable m_groups{"Table3"};
    TTable m_readers{"Table2"};
    SiteTables m_site{m_users, m_groups, m_readers};
};

TEST_F(Reports, WhoCanOpenAReaderGoesThroughTheFirstGroupOfEachName) {
    WhoCanOpenReader report;
    ReportTable table = run(report, 5);
    EXPECT_EQ(table.title, "Kto otworzy czytnik 5: Serwerownia");
    EXPECT_EQ(table.columns, (std::vector<std::string>{"ID", "Imię", "Nazwisko", "Grupa"}));
    EXPECT_EQ(table.rows, (Rows{{"2", "Anna", "Łukasiewicz", "Ochrona"}}));
    EXPECT_EQ(run(report, 1).rows, (Rows{{"1", "Jan", "Kowalski", "Biuro"},
                                         {"2", "Anna", "Łukasiewicz", "Ochrona"},
                                         {"3", "ANNA", "LUKASIEWICZ", "Biuro"}}));
    table = run(report, 40);
    EXPECT_EQ(table.title, "Kto otworzy czytnik 40: Lack in system");
    EXPECT_EQ(table.rows, (Rows{{"2", "Anna", "Łukasiewicz", "Ochrona"}}));
    EXPECT_TRUE(run(report, 7).rows.empty());
}

TEST_F(Reports, WhatOneUserCanOpen) {
    WhatUserCanOpen report;
    ReportTable table = run(report, 2);
    EXPECT_EQ(table.title, "Co otworzy osoba 2: Anna Łukasiewicz, grupa Ochrona");
    EXPECT_EQ(table.rows, (Rows{{"1", "Brama"}, {"2", "Magazyn"}, {"5", "Serwerownia"}, {"40", "Lack in system"}}));
    EXPECT_EQ(run(report, 3).rows, (Rows{{"1", "Brama"}, {"2", "Magazyn"}}));
    table = run(report, 4);
    EXPECT_EQ(table.title, "Co otworzy osoba 4: Piotr Nowak, grupa Lack of assignment!");
    EXPECT_TRUE(table.rows.empty());
    EXPECT_TRUE(run(report, 8).rows.empty()) << "\"biuro\" is not \"Biuro\"";
}

TEST_F(Reports, UsersWithoutAGroup) {
    ReportTable table = run(UsersWithoutGroup());
    EXPECT_EQ(table.rows, (Rows{{"4", "Piotr", "Nowak", "Lack of assignment!", "Lack of assignment!"},
                                {"5", "Zofia", "Źrebiec", "", "Grupa niewpisana"},
                                {"6", "Ewa", "Zając", "Kadry", "Nie ma takiej grupy"},
                                {"8", "Łucja", "Wiśniewska", "biuro", "Nie ma takiej grupy"}}));
}

TEST_F(Reports, GroupsAndReadersLeftOut) {
    EXPECT_EQ(run(GroupsOpeningNoReader()).rows, (Rows{{"3", "Goście"}}));
    EXPECT_EQ(run(ReadersNoGroupOpens()).rows, (Rows{{"7", "Archiwum"}}));
    EXPECT_EQ(run(GroupsWithoutUsers()).rows, (Rows{{"4", "Biuro"}, {"5", "Serwis"}}));
}

TEST_F(Reports, PossibleDuplicatesIgnoreCaseAndMarks) {
    ReportTable table = run(PossibleDuplicates());
    EXPECT_EQ(table.columns, (std::vector<std::string>{"Osoba", "ID", "Imię", "Nazwisko", "Grupa"}));
    EXPECT_EQ(table.rows, (Rows{{"1", "2", "Anna", "Łukasiewicz", "Ochrona"},
                                {"1", "3", "ANNA", "LUKASIEWICZ", "Biuro"},
                                {"2", "1", "Jan", "Kowalski", "Biuro"},
                                {"2", "7", "Jan", "Kowalski", "Goście"}}));
}

TEST_F(Reports, DeletedRecordsAreLeftOut) {
    m_users.moveTo(2);
    m_users.deleteRecord(); // Anna Łukasiewicz of Ochrona
    m_users.moveTo(3);
    EXPECT_EQ(run(PossibleDuplicates()).rows.size(), 2u);
    EXPECT_EQ(run(WhoCanOpenReader(), 5).rows, Rows{});
}

TEST(ReportCatalogue, EveryReportHasACaption) {
    for (const auto& report : reportCatalogue()) {
        EXPECT_FALSE(report->caption().empty());
    }
    EXPECT_EQ(reportCatalogue().size(), 7u);
}

} // namespace
} // namespace talvern::db::reports::test

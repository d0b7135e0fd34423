#include "AccessReports.h"
#include "CardAccessHex.h"
#include "CardJournal.h"
#include "CardReports.h"
#include "GapReports.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

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

// The site above with a card journal written through the program's own journal. Cards: 1 Kowalski
// (Biuro {1, 2}), then lost, and the duplicate written for it failed its read-back; 2 Łukasiewicz written
// while in Biuro, now in Ochrona; 3 LUKASIEWICZ (Biuro) with reader 7, which Biuro no longer opens;
// 4 Nowak written in Ochrona, now "Lack of assignment!"; 7 Kowalski (Goście, no readers), lost and
// replaced by a duplicate; one configuration card.
class CardReports : public Reports {
protected:
    void SetUp() override {
        Reports::SetUp();
        using namespace journal;
        const auto card = [](std::string written, const char* kind, std::int64_t number, int index,
                             std::string group, std::vector<int> readers, const char* result,
                             std::string surname, std::string name) {
            CardJournalRow row;
            row.written = std::move(written);
            row.kind = kind;
            row.number = number;
            row.index = index;
            row.sysCode = 1234;
            row.surname = std::move(surname);
            row.name = std::move(name);
            row.group = std::move(group);
            row.access = kind == std::string(JournalKind::kLost) ? "" : CardAccessHex::fromReaders(readers);
            row.result = result;
            row.mode = JournalMode::kAdministrator;
            return row;
        };
        m_journal.append(card("2026-03-01 08:00:00", JournalKind::kUserCard, 1, 0, "Biuro", {1, 2},
                              JournalResult::kVerified, "Jan", "Kowalski"));
        m_journal.append(card("2026-03-01 08:05:00", JournalKind::kUserCard, 2, 0, "Biuro", {1, 2},
                              JournalResult::kVerified, "Anna", "Łukasiewicz"));
        m_journal.append(card("2026-03-01 08:10:00", JournalKind::kUserCard, 3, 0, "Biuro", {1, 2, 7},
                              JournalResult::kUnverified, "ANNA", "LUKASIEWICZ"));
        m_journal.append(card("2026-03-01 08:15:00", JournalKind::kUserCard, 4, 0, "Ochrona", {1, 2, 5, 40},
                              JournalResult::kVerified, "Piotr", "Nowak"));
        m_journal.append(card("2026-03-02 09:00:00", JournalKind::kLost, 1, 0, "Biuro", {},
                              JournalResult::kReported, "Jan", "Kowalski"));
        m_journal.append(card("2026-03-02 09:01:00", JournalKind::kDuplicate, 1, 1, "Biuro", {1, 2},
                              JournalResult::kNotVerified, "Jan", "Kowalski"));
        m_journal.append(card("2026-03-03 10:00:00", JournalKind::kUserCard, 7, 0, "Goście", {},
                              JournalResult::kVerified, "Jan", "Kowalski"));
        m_journal.append(card("2026-03-04 11:00:00", JournalKind::kLost, 7, 0, "Goście", {},
                              JournalResult::kReported, "Jan", "Kowalski"));
        m_journal.append(card("2026-03-04 11:30:00", JournalKind::kDuplicate, 7, 1, "Goście", {},
                              JournalResult::kVerified, "Jan", "Kowalski"));
        CardJournalRow configuration;
        configuration.written = "2026-03-05 12:00:00";
        configuration.kind = JournalKind::kConfiguration;
        configuration.option = "Fabrycznie nowy";
        configuration.reader = 5;
        configuration.result = JournalResult::kVerified;
        configuration.mode = JournalMode::kAdministrator;
        m_journal.append(configuration);
        m_site.cardJournal = &m_journal;
    }

    journal::CardJournal m_journal{m_dir.path()};
};

TEST_F(CardReports, CardsToRewriteGiveEachCauseWithTheReadersGainedAndLost) {
    const ReportTable table = run(CardsToRewrite());
    EXPECT_EQ(table.title, "Karty do przeprogramowania");
    EXPECT_EQ(table.columns, (std::vector<std::string>{"ID", "Imię", "Nazwisko", "Grupa", "Przyczyna",
                                                       "Czytniki dodane", "Czytniki odebrane", "Ostatnia karta"}));
    EXPECT_EQ(table.rows,
              (Rows{{"1", "Jan", "Kowalski", "Biuro", "brak karty", "1, 2", "—", "2026-03-01 08:00:00, duplikat 0"},
                    {"2", "Anna", "Łukasiewicz", "Ochrona", "zmiana grupy", "5, 40", "—",
                     "2026-03-01 08:05:00, duplikat 0"},
                    {"3", "ANNA", "LUKASIEWICZ", "Biuro", "zmiana czytników grupy", "—", "7",
                     "2026-03-01 08:10:00, duplikat 0"},
                    {"4", "Piotr", "Nowak", "Lack of assignment!", "bez grupy (Lack of assignment!)", "—",
                     "1, 2, 5, 40", "2026-03-01 08:15:00, duplikat 0"}}));
    // The duplicate of user 1 written again, and verified this time: user 1 drops out.
    journal::CardJournalRow duplicate = m_journal.row(5);
    duplicate.written = "2026-03-06 08:00:00";
    duplicate.result = journal::JournalResult::kVerified;
    m_journal.append(duplicate);
    EXPECT_EQ(run(CardsToRewrite()).rows.front().front(), "2");
}

TEST_F(CardReports, LostCardsTellWhetherACardWasWrittenSince) {
    const ReportTable table = run(LostCards());
    EXPECT_EQ(table.title, "Zgubione karty");
    EXPECT_EQ(table.columns, (std::vector<std::string>{"ID", "Imię", "Nazwisko", "Duplikat", "Zgłoszona",
                                                       "Zastąpiona", "Nowa karta"}));
    // User 1's duplicate failed its read-back: no replacement.
    EXPECT_EQ(table.rows, (Rows{{"1", "Jan", "Kowalski", "0", "2026-03-02 09:00:00", "nie", ""},
                                {"7", "Jan", "Kowalski", "0", "2026-03-04 11:00:00", "tak",
                                 "2026-03-04 11:30:00, duplikat 1"}}));
    // The replacement lost in turn: each report is judged by the cards written after it.
    journal::CardJournalRow again = m_journal.row(7);
    again.written = "2026-03-07 15:00:00";
    again.index = 1;
    m_journal.append(again);
    const Rows rows = run(LostCards()).rows;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][5], "tak");
    EXPECT_EQ(rows[2], (std::vector<std::string>{"7", "Jan", "Kowalski", "1", "2026-03-07 15:00:00", "nie", ""}));
    // "Usuń uprawnienia" written since gives the holder no card to use: still no replacement.
    journal::CardJournalRow withdrawal = m_journal.row(8);
    withdrawal.written = "2026-03-07 16:00:00";
    withdrawal.kind = journal::JournalKind::kWithdrawal;
    m_journal.append(withdrawal);
    EXPECT_EQ(run(LostCards()).rows[2][5], "nie");
}

TEST_F(Reports, CardReportsReadNoJournalIntoBeing) {
    journal::CardJournal none(m_dir.path());
    m_site.cardJournal = &none;
    EXPECT_TRUE(run(LostCards()).rows.empty());
    // As the "Karty" menu's list says: every holder with rights lacks a card.
    const Rows due = run(CardsToRewrite()).rows;
    ASSERT_EQ(due.size(), 3u);
    EXPECT_EQ(due[1], (std::vector<std::string>{"2", "Anna", "Łukasiewicz", "Ochrona", "brak karty", "1, 2, 5, 40",
                                                 "—", "—"}));
    EXPECT_TRUE(CardsToRewrite().readsCardJournal());
    EXPECT_FALSE(PossibleDuplicates().readsCardJournal());
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("karty.dbf")));
}

TEST(ReportCatalogue, EveryReportHasACaption) {
    for (const auto& report : reportCatalogue()) {
        EXPECT_FALSE(report->caption().empty());
    }
    EXPECT_EQ(reportCatalogue().size(), 9u);
}

} // namespace
} // namespace talvern::db::reports::test

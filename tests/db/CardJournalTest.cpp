#include "CardAccessHex.h"
#include "CardJournal.h"
#include "DbfError.h"
#include "DbfTable.h"
#include "ProcessRun.h"
#include "SiteJournal.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <sys/stat.h>

// The card journal on real files: every field round trips, a site without a journal reads as empty and
// gets one on the first row, and an independent dBASE reader sees the same rows.
namespace talvern::db::test {
namespace {

using journal::CardJournal;
using journal::CardJournalRow;
namespace Kind = journal::JournalKind;
namespace Result = journal::JournalResult;

CardJournalRow userCard() {
    CardJournalRow row;
    row.written = "2026-12-11 05:06:07";
    row.kind = Kind::kDuplicate;
    row.number = 65535;
    row.index = 15;
    row.sysCode = 1000000;
    row.surname = "Żółkiewska-Gęślak";
    row.name = "Łucja";
    row.group = "Lack of assignment!";
    row.access = journal::CardAccessHex::fromReaders({1, 9, 24, 25, 96});
    row.result = Result::kVerified;
    row.mode = journal::JournalMode::kUser;
    return row;
}

CardJournalRow configurationCard() {
    CardJournalRow row;
    row.written = "2026-01-02 00:00:59";
    row.kind = Kind::kConfiguration;
    row.option = "Gdy zmieniłeś kod systemowy";
    row.sysCode = 70000;
    row.reader = 96;
    row.readerSettings = "kod 70000, czas 5 s, PROX, zerowanie pamięci";
    row.result = Result::kNotVerified;
    row.mode = journal::JournalMode::kAdministrator;
    return row;
}

TEST(CardJournal, SiteWithoutJournalReadsEmptyAndCreatesNothing) {
    TempDir site;
    CardJournal journal(site.path());
    EXPECT_FALSE(journal.exists());
    EXPECT_EQ(journal.rowCount(), 0u);
    EXPECT_TRUE(journal.rowsOf(42).empty());
    EXPECT_FALSE(cards::lostCardOut(journal, 42));
    EXPECT_THROW(journal.row(0), dbf::DbfError);
    EXPECT_FALSE(journal.exists());
    struct stat st {};
    EXPECT_NE(::stat(site.file("karty.dbf").c_str(), &st), 0);
}

TEST(CardJournal, EveryFieldRoundTripsThroughTheFile) {
    TempDir site;
    {
        CardJournal journal(site.path());
        journal.append(userCard());
        journal.append(configurationCard());
        EXPECT_TRUE(journal.exists());
        EXPECT_EQ(journal.rowCount(), 2u);
    }
    {
        // A second object (a later run) reads what the first wrote.
        CardJournal again(site.path());
        ASSERT_EQ(again.rowCount(), 2u);
        EXPECT_EQ(again.row(0), userCard());
        EXPECT_EQ(again.row(1), configurationCard());
    }
    // A plain dBASE III table without a memo file, in Windows-1250.
    dbf::DbfTable table(site.file("karty.dbf"), dbf::DbfTable::Mode::ReadOnly);
    EXPECT_EQ(table.format(), dbf::TableFormat::DBase3);
    EXPECT_FALSE(table.hasMemo());
    EXPECT_EQ(table.header().languageDriver, dbf::CodePage::kWindows1250Driver);
}

TEST(CardJournal, EmptyTimeGetsNowAndOverlongTextIsCutNotLost) {
    TempDir site;
    CardJournal journal(site.path());
    CardJournalRow row = userCard();
    row.written.clear();
    row.surname = std::string(40, 'x') + "ą";
    row.name = "Muñoz 😀"; // ñ and the emoji are not in Windows-1250
    journal.append(row);
    const CardJournalRow back = journal.row(0);
    EXPECT_EQ(back.written.size(), 19u);
    EXPECT_EQ(back.written.substr(0, 2), "20");
    EXPECT_EQ(back.surname, std::string(30, 'x'));
    EXPECT_EQ(back.name, "Mu?oz ?");
}

TEST(CardJournal, RowsOfOneUserAndLostCardOut) {
    TempDir site;
    CardJournal journal(site.path());
    auto card = [](std::int64_t number, int index, const char* kind, const char* result) {
        CardJournalRow row = userCard();
        row.number = number;
        row.index = index;
        row.kind = kind;
        row.result = result;
        return row;
    };
    journal.appendMany({card(7, 0, Kind::kUserCard, Result::kVerified), card(8, 0, Kind::kUserCard, Result::kVerified),
                        card(7, 0, Kind::kLost, Result::kReported)});
    EXPECT_TRUE(cards::lostCardOut(journal, 7));
    EXPECT_FALSE(cards::lostCardOut(journal, 8));
    // A failed replacement leaves the lost card out; a verified one ends it.
    journal.append(card(7, 1, Kind::kDuplicate, Result::kNotVerified));
    EXPECT_TRUE(cards::lostCardOut(journal, 7));
    journal.append(card(7, 1, Kind::kDuplicate, Result::kVerified));
    EXPECT_FALSE(cards::lostCardOut(journal, 7));
    const auto rows = journal.rowsOf(7);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].kind, Kind::kLost);
    EXPECT_EQ(rows[3].index, 1);
    EXPECT_EQ(journal.rowsOf(8).size(), 1u);
}

// A restore puts another journal in place while the program runs: after close() a holder's rows come
// from the file that is there now, not from what was learnt of the old one.
TEST(CardJournal, RowsOfAHolderComeFromTheJournalReplacedAfterClose) {
    TempDir site;
    TempDir other;
    auto card = [](std::int64_t number) {
        CardJournalRow row = userCard();
        row.number = number;
        return row;
    };
    CardJournal(other.path()).appendMany({card(8), card(7)});
    CardJournal journal(site.path());
    journal.appendMany({card(7), card(8)});
    ASSERT_EQ(journal.rowsOf(7).size(), 1u);
    journal.close();
    ASSERT_EQ(std::rename(other.file("karty.dbf").c_str(), site.file("karty.dbf").c_str()), 0);
    journal.append(card(7));
    for (const std::int64_t number : {7, 8}) {
        const auto rows = journal.rowsOf(number);
        EXPECT_EQ(rows.size(), number == 7 ? 2u : 1u);
        for (const CardJournalRow& row : rows) {
            EXPECT_EQ(row.number, number);
        }
    }
}

TEST(CardJournal, AnotherTableUnderTheNameIsRefused) {
    TempDir site;
    dbf::DbfTable::create(site.file("KARTY.DBF"), dbf::TableFormat::DBase3, {{"NAME", 'C', 10}});
    CardJournal journal(site.path());
    EXPECT_TRUE(journal.exists());
    EXPECT_THROW(journal.rowCount(), dbf::DbfError);
}

// Another program may rebuild the journal with its fields in another order and one of its own beside
// them: each value still goes to and comes from the field of its name.
TEST(CardJournal, FieldsInAnotherOrderAreFoundByName) {
    TempDir site;
    std::vector<dbf::FieldSpec> fields = CardJournal::fields();
    std::reverse(fields.begin(), fields.end());
    fields.insert(fields.begin() + 3, {"REMARK", 'C', 7});
    dbf::DbfTable::create(site.file("karty.dbf"), dbf::TableFormat::DBase3, fields);
    {
        CardJournal journal(site.path());
        journal.append(userCard());
        journal.append(configurationCard());
        ASSERT_EQ(journal.rowCount(), 2u);
        EXPECT_EQ(journal.row(0), userCard());
        EXPECT_EQ(journal.row(1), configurationCard());
        ASSERT_EQ(journal.rowsOf(65535).size(), 1u);
        EXPECT_EQ(journal.rowsOf(65535)[0], userCard());
    }
    dbf::DbfTable table(site.file("karty.dbf"), dbf::DbfTable::Mode::ReadOnly);
    const std::string_view record = table.record(0);
    EXPECT_EQ(table.text(table.findField("SURNAME"), record), userCard().surname);
    EXPECT_EQ(table.text(table.findField("NUMBER"), record), "65535");
    EXPECT_EQ(table.text(table.findField("REMARK"), record), "");
}

// A text field rebuilt as a number cannot take a holder's name: the write says so rather than
// trying for ever, and the journal keeps what it had.
TEST(CardJournal, TextFieldOfAnotherTypeGivesAnError) {
    TempDir site;
    std::vector<dbf::FieldSpec> fields = CardJournal::fields();
    for (auto& field : fields) {
        if (field.name == "SURNAME") {
            field = {"SURNAME", 'N', 10};
        }
    }
    dbf::DbfTable::create(site.file("karty.dbf"), dbf::TableFormat::DBase3, fields);
    CardJournal journal(site.path());
    EXPECT_THROW(journal.append(userCard()), dbf::DbfError);
    EXPECT_EQ(journal.rowCount(), 0u);
}

// The keys the card windows read from every row, straight from the records, are the row's own values:
// with the fields in another order, for a deleted row, across the read-ahead runs and up to the last row
// of the file.
TEST(CardJournal, KeysAreTheRowsOwnValuesWhereverTheFieldsLie) {
    TempDir site;
    std::vector<dbf::FieldSpec> fields = CardJournal::fields();
    std::reverse(fields.begin(), fields.end());
    fields.insert(fields.begin() + 3, {"REMARK", 'C', 7});
    dbf::DbfTable::create(site.file("karty.dbf"), dbf::TableFormat::DBase3, fields);
    constexpr std::uint32_t kRows = 3000; // more than one read-ahead run of the table
    std::vector<CardJournalRow> rows;
    for (std::uint32_t i = 0; i < kRows; ++i) {
        CardJournalRow row = i % 3 == 0 ? configurationCard() : userCard();
        if (i % 3 != 0) {
            row.number = 1 + i;
            row.name = i % 2 ? "ŁUCJA" : "Ewa";
        }
        rows.push_back(row);
    }
    CardJournal(site.path()).appendMany(rows);
    {
        dbf::DbfTable table(site.file("karty.dbf"), dbf::DbfTable::Mode::ReadWrite);
        table.setDeleted(1501, true);
    }
    CardJournal journal(site.path());
    for (const std::uint32_t first : {0u, 1501u, kRows - 1}) {
        SCOPED_TRACE(first);
        std::vector<CardJournalRow> keys;
        journal.readKeys(first, kRows, [&](const journal::CardJournalKey& key) {
            CardJournalRow row;
            row.number = key.number;
            row.kind = journal.codePage().toUtf8(key.kind);
            row.surname = journal.codePage().toUtf8(key.surname);
            row.name = journal.codePage().toUtf8(key.name);
            row.result = journal.codePage().toUtf8(key.result);
            keys.push_back(row);
        });
        ASSERT_EQ(keys.size(), kRows - first);
        for (std::uint32_t i = first; i < kRows; ++i) {
            const CardJournalRow whole = journal.row(i);
            const CardJournalRow& key = keys[i - first];
            ASSERT_EQ(key.number, whole.number) << i;
            ASSERT_EQ(key.kind, whole.kind) << i;
            ASSERT_EQ(key.surname, whole.surname) << i;
            ASSERT_EQ(key.name, whole.name) << i;
            ASSERT_EQ(key.result, whole.result) << i;
        }
    }
    EXPECT_THROW(journal.readKeys(kRows - 1, kRows + 1, [](const journal::CardJournalKey&) {}), dbf::DbfError);
}

// A field the keys read, rebuilt by another program with another type, is named in the error rather than
// read as something else; the row itself still reads as before, and so does the list of cards to rewrite.
TEST(CardJournal, KeysFromAFieldOfAnotherTypeGiveAnError) {
    const dbf::FieldSpec others[] = {{"NUMBER", 'D', 8}, {"KIND", 'N', 12}, {"SURNAME", 'L', 1}, {"RESULT", 'N', 12}};
    for (const dbf::FieldSpec& other : others) {
        SCOPED_TRACE(other.name);
        TempDir site;
        std::vector<dbf::FieldSpec> fields = CardJournal::fields();
        for (auto& field : fields) {
            if (field.name == other.name) {
                field = other;
            }
        }
        dbf::DbfTable::create(site.file("karty.dbf"), dbf::TableFormat::DBase3, fields);
        {
            dbf::DbfTable table(site.file("karty.dbf"), dbf::DbfTable::Mode::ReadWrite);
            table.appendRecord(table.blankRecord());
        }
        CardJournal journal(site.path());
        try {
            journal.readKeys(0, 1, [](const journal::CardJournalKey&) {});
            ADD_FAILURE() << "read without an error";
        } catch (const dbf::DbfError& error) {
            EXPECT_NE(error.operatorText().find("Pole " + other.name + " dziennika kart"), std::string::npos)
                << error.operatorText();
        }
        EXPECT_NO_THROW(journal.row(0));
        std::vector<cards::IssuedCard> standing;
        EXPECT_NO_THROW(standing = cards::SiteJournal(journal).standingRows());
        EXPECT_EQ(standing.size(), 1u); // read whole, as the other windows read it
    }
}

TEST(CardAccessHex, BitOrderIsTheCardsAndBadTextGivesNothing) {
    using namespace journal::CardAccessHex;
    EXPECT_EQ(fromReaders({1}), "800000000000000000000000");
    EXPECT_EQ(fromReaders({8, 9}), "018000000000000000000000");
    EXPECT_EQ(fromReaders({96}), "000000000000000000000001");
    EXPECT_EQ(fromReaders({0, 97}), std::string(24, '0'));
    const std::vector<int> some{1, 9, 24, 25, 48, 49, 72, 73, 96};
    EXPECT_EQ(readers(fromReaders(some)), some);
    EXPECT_EQ(readers("ff00000000000000000000ff").size(), 16u);
    for (const char* bad : {"", "80000000000000000000000", "8000000000000000000000000", "G00000000000000000000000"}) {
        EXPECT_FALSE(toBits(bad).has_value()) << bad;
        EXPECT_TRUE(readers(bad).empty()) << bad;
    }
}

// Debian's python3-dbfread, run by the system's interpreter, reads the journal field by field.
TEST(CardJournal, ReadByAnIndependentDbaseReader) {
    TempDir site;
    {
        CardJournal journal(site.path());
        journal.append(userCard());
        journal.append(configurationCard());
    }
    const RunResult run = runCommand("/usr/bin/python3 " + quoted(std::string(TALVERN_INTEROP_SCRIPTS) + "/read_table.py") +
                                     " dbfread " + quoted(site.file("karty.dbf")));
    ASSERT_EQ(run.exitCode, 0);
    auto hex = [](const std::string& s) {
        static const char* digits = "0123456789abcdef";
        std::string out;
        for (unsigned char c : s) {
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        return out;
    };
    std::ostringstream expected;
    int n = 0;
    for (const CardJournalRow& r : {userCard(), configurationCard()}) {
        const std::pair<const char*, std::string> values[] = {
            {"WRITTEN", r.written}, {"KIND", r.kind}, {"OPTION", r.option}, {"NUMBER", std::to_string(r.number)},
            {"INDEX", std::to_string(r.index)}, {"SYSCODE", std::to_string(r.sysCode)}, {"SURNAME", r.surname},
            {"NAME", r.name}, {"GROUP", r.group}, {"ACCESS", r.access}, {"READER", std::to_string(r.reader)},
            {"RSETTINGS", r.readerSettings}, {"RESULT", r.result}, {"MODE", r.mode}};
        for (const auto& [field, value] : values) {
            expected << n << ' ' << field << ' ' << hex(value) << '\n';
        }
        ++n;
    }
    EXPECT_EQ(run.output, expected.str());
}

} // namespace
} // namespace talvern::db::test

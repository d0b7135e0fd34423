#include "RecordSearch.h"
#include "SearchFold.h"
#include "TextFold.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace talvern::db::test {
namespace {

TEST(SearchFold, LowerCaseWithoutMarks) {
    EXPECT_EQ(foldForSearch("Łukasiewicz"), "lukasiewicz");
    EXPECT_EQ(foldForSearch("ŻÓŁW źdźbło ĄĘĆŃŚ"), "zolw zdzblo aecns");
    EXPECT_EQ(foldForSearch("Dvořák Müller Ödön"), "dvorak muller odon");
    EXPECT_EQ(foldForSearch("Straße 12"), "straße 12");
    EXPECT_EQ(foldForSearch(std::string("a\xFF" "b")), std::string("a\xFF" "b"));
}

// Both foldings read the text through one decoder: letters fold, and bytes that start no letter (a stray
// continuation byte, a sequence cut off or broken) stay byte for byte, so nothing is lost or merged.
TEST(TextFold, CaseAndSearchFoldingKeepBytesThatStartNoLetter) {
    struct Case {
        std::string text, caseFolded, searchFolded;
    };
    const Case cases[] = {
        {"ŁÓDŹ Ala", "łódź ala", "lodz ala"},
        {"\x80" "A", "\x80" "a", "\x80" "a"},
        {"Ab\xC5", "ab\xC5", "ab\xC5"},
        {"\xC5" "Z", "\xC5" "z", "\xC5" "z"},
        {"Ż\xE2\x82", "ż\xE2\x82", "z\xE2\x82"},
        {"\xF0\x9F\x98\x80Ś", "\xF0\x9F\x98\x80ś", "\xF0\x9F\x98\x80s"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(foldCase(c.text), c.caseFolded) << c.text;
        EXPECT_EQ(foldForSearch(c.text), c.searchFolded) << c.text;
    }
}

class Search : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureStandardTables(m_dir.path()));
        m_users.open(m_dir.file("osoby.dbf"));
        const std::pair<const char*, const char*> people[] = {
            {"Jan", "Kowalski"},       {"Anna", "Łukasiewicz"},  {"Żaneta", "Nowak"}, {"Piotr", "Kowalczyk"},
            {"Zofia", "Źrebiec"},      {"Łucja", "ŁUKASIEWICZ"}, {"Ewa", "Zając"},
        };
        const int numbers[] = {101, 102, 17, 170, 103, 104, 105};
        int row = 0;
        for (const auto& [surname, name] : people) {
            m_users.append();
            m_users.fieldByName("NUMBER").setAsInteger(numbers[row++]);
            m_users.fieldByName("SURNAME").setAsString(surname);
            m_users.fieldByName("NAME").setAsString(name);
            m_users.post();
        }
        m_users.first();
    }

    std::vector<int> allMatches(const std::string& text) {
        RecordSearch search(m_users, {"SURNAME", "NAME"}, {"NUMBER"});
        search.setText(text);
        std::vector<int> found;
        for (int recNo = 1; recNo <= m_users.recordCount(); ++recNo) {
            if (search.matches(recNo)) {
                found.push_back(recNo);
            }
        }
        return found;
    }

    TempDir m_dir;
    TTable m_users{"Table1"};
};

TEST_F(Search, FindsByPartOfEitherNameOrByTheStartOfTheNumber) {
    // Numbers by row: 101, 102, 17, 170, 103, 104, 105.
    struct Case {
        const char* text;
        std::vector<int> rows;
        int first;
    } cases[] = {
        {"lukasiewicz", {2, 6}, 2}, {"ŁUKASIE", {2, 6}, 2}, {"zan", {3}, 3},   {"ZRE", {5}, 5},
        {"kowal", {1, 4}, 1},       {"  kowal  ", {1, 4}, 1}, {"17", {3, 4}, 3}, {"10", {1, 2, 5, 6, 7}, 1},
        {"0", {}, 0},               {"zajac", {7}, 7},        {"xyz", {}, 0},   {"€", {}, 0},
        {"", {}, 0},                {"漢", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(allMatches(c.text), c.rows);
        RecordSearch search(m_users, {"SURNAME", "NAME"}, {"NUMBER"});
        search.setText(c.text);
        EXPECT_EQ(search.first(), c.first);
    }
    EXPECT_EQ(m_users.recNo(), 1) << "searching never moves the cursor";
}

TEST_F(Search, NextAndPreviousGoRoundTheTable) {
    RecordSearch search(m_users, {"SURNAME", "NAME"}, {"NUMBER"});
    search.setText("k");
    // "k" is in Kowalski, Łukasiewicz, Nowak, Kowalczyk and ŁUKASIEWICZ: rows 1, 2, 3, 4, 6.
    EXPECT_EQ(search.next(1, true), 2);
    EXPECT_EQ(search.next(4, true), 6);
    EXPECT_EQ(search.next(5, true), 6);
    EXPECT_EQ(search.next(6, true), 1);
    EXPECT_EQ(search.next(1, false), 6);
    EXPECT_EQ(search.next(6, false), 4);
    EXPECT_EQ(search.next(7, false), 6);
    search.setText("zając");
    EXPECT_EQ(search.next(7, true), 7) << "the one match is found from itself";
    EXPECT_EQ(search.next(7, false), 7);
    search.setText("nikt");
    EXPECT_EQ(search.next(3, true), 0);
}

TEST_F(Search, SeesTheRecordBeingChangedAndSkipsDeletedRecords) {
    RecordSearch search(m_users, {"SURNAME", "NAME"}, {"NUMBER"});
    m_users.moveTo(3);
    m_users.edit();
    m_users.fieldByName("NAME").setAsString("Wiśniewska");
    search.setText("wisniew");
    EXPECT_EQ(search.first(), 3);
    EXPECT_EQ(m_users.state(), TTable::State::Edit) << "searching stores nothing";
    m_users.cancel();
    EXPECT_EQ(search.first(), 0);

    m_users.moveTo(2);
    m_users.deleteRecord();
    search.setText("lukasiewicz");
    EXPECT_EQ(search.first(), 5) << "the second Łukasiewicz moved up a row";
}

} // namespace
} // namespace talvern::db::test

// The list of cards to write again and the card read judged against the journal, on a real site:
// the users and groups tables and the card journal karty.dbf in a temporary folder.

#include "CardAccessHex.h"
#include "CardJournal.h"
#include "CardStanding.h"
#include "SiteJournal.h"
#include "SiteRights.h"
#include "StandardTables.h"
#include "TTable.h"
#include "../db/TempDir.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace talvern::cards {
namespace {

using db::test::TempDir;

ReaderSet readers(std::initializer_list<int> numbers) {
    ReaderSet set;
    for (int number : numbers)
        set.set(static_cast<std::size_t>(number - 1));
    return set;
}

class CardSite {
public:
    CardSite() : journal(dir.path()), rows(journal) {
        db::ensureStandardTables(dir.path());
        users.open(dir.file("osoby.dbf"));
        groups.open(dir.file("grupa.dbf"));
    }

    void addGroup(const std::string& name, std::initializer_list<int> allowed) {
        groups.append();
        groups.fieldByName("ID_GRUPY").setAsInteger(groups.recordCount() + 1);
        groups.fieldByName("NAME").setAsString(name);
        for (int reader = 1; reader <= 96; ++reader)
            groups.fieldByName("p" + std::to_string(reader)).setAsBoolean(false);
        for (int reader : allowed)
            groups.fieldByName("p" + std::to_string(reader)).setAsBoolean(true);
        groups.post();
    }
    void setGroupReader(const std::string& name, int reader, bool allowed) {
        ASSERT_TRUE(groups.locate("NAME", name, false));
        groups.edit();
        groups.fieldByName("p" + std::to_string(reader)).setAsBoolean(allowed);
        groups.post();
    }
    void addUser(long number, const std::string& group, int index = 0) {
        users.append();
        users.fieldByName("NUMBER").setAsInteger(number);
        users.fieldByName("SURNAME").setAsString("Imię" + std::to_string(number));
        users.fieldByName("NAME").setAsString("Nazwisko" + std::to_string(number));
        users.fieldByName("GROUP").setAsString(group);
        users.fieldByName("INDEX").setAsInteger(index);
        users.post();
    }
    void setUserGroup(long number, const std::string& group) {
        ASSERT_TRUE(users.locate("NUMBER", std::to_string(number), false));
        users.edit();
        users.fieldByName("GROUP").setAsString(group);
        users.post();
    }
    // A card as the program writes it: the holder's group and what it opened then.
    void written(long number, int index, const std::string& group, const ReaderSet& access,
                 const char* kind = journal::JournalKind::kUserCard,
                 const char* result = journal::JournalResult::kVerified) {
        journal::CardJournalRow row;
        row.kind = kind;
        row.number = number;
        row.index = index;
        row.sysCode = 1;
        row.group = group;
        row.access = journal::CardAccessHex::fromBits(access);
        row.result = result;
        row.mode = journal::JournalMode::kAdministrator;
        journal.append(row);
    }
    void lost(long number, int index) {
        journal::CardJournalRow row;
        row.kind = journal::JournalKind::kLost;
        row.number = number;
        row.index = index;
        row.sysCode = 1;
        row.result = journal::JournalResult::kReported;
        row.mode = journal::JournalMode::kUser;
        journal.append(row);
    }

    std::vector<CardToRewrite> due() { return cardsToRewrite(rows.allRows(), siteUsers(users), groupRights(groups)); }

    TempDir dir;
    db::TTable users{"Table1"};
    db::TTable groups{"Table3"};
    journal::CardJournal journal;
    SiteJournal rows;
};

// Each cause of a card that no longer matches, and the holders it must leave alone.
TEST(CardsToRewrite, FindsEachCauseWithTheReadersGainedAndLost) {
    CardSite site;
    site.addGroup("Biuro", {1, 2});
    site.addGroup("Hala", {3});
    site.addGroup("Magazyn", {4, 5});
    site.addUser(1, "Biuro"); // card matches: left out
    site.addUser(2, "Biuro"); // moved to Hala after the card
    site.addUser(3, "Magazyn"); // Magazyn lost reader 5 and gained 6 after the card
    site.addUser(4, "Biuro"); // group removed: "Lack of assignment!"
    site.addUser(5, "Hala"); // never got a card
    site.addUser(6, db::kLackOfAssignment); // no rights and no card: nothing to write
    site.addUser(7, "Biuro"); // only a failed write: no card
    site.addUser(8, "Hala"); // its card was reported lost
    site.addUser(70000, "Biuro"); // no card can carry the number
    site.written(1, 0, "Biuro", readers({1, 2}));
    site.written(2, 0, "Biuro", readers({1, 2}));
    site.written(3, 0, "Magazyn", readers({4, 5}));
    site.written(4, 1, "Biuro", readers({1, 2}), journal::JournalKind::kDuplicate);
    site.written(7, 0, "Biuro", readers({1, 2}), journal::JournalKind::kUserCard, journal::JournalResult::kNotVerified);
    site.written(8, 0, "Hala", readers({3}));
    site.lost(8, 0);
    site.setUserGroup(2, "Hala");
    site.setGroupReader("Magazyn", 5, false);
    site.setGroupReader("Magazyn", 6, true);
    site.setUserGroup(4, db::kLackOfAssignment);

    struct Expected {
        long number;
        RewriteCause cause;
        ReaderSet gained;
        ReaderSet lost;
    };
    const Expected expected[] = {
        {2, RewriteCause::GroupChanged, readers({3}), readers({1, 2})},
        {3, RewriteCause::ReadersChanged, readers({6}), readers({5})},
        {4, RewriteCause::LackOfAssignment, readers({}), readers({1, 2})},
        {5, RewriteCause::NoCard, readers({3}), readers({})},
        {7, RewriteCause::NoCard, readers({1, 2}), readers({})},
        {8, RewriteCause::NoCard, readers({3}), readers({})},
    };
    const auto due = site.due();
    ASSERT_EQ(due.size(), std::size(expected));
    for (std::size_t at = 0; at < due.size(); ++at) {
        SCOPED_TRACE("user " + std::to_string(expected[at].number));
        EXPECT_EQ(due[at].user.number, expected[at].number);
        EXPECT_EQ(due[at].cause, expected[at].cause);
        EXPECT_EQ(due[at].gained, expected[at].gained);
        EXPECT_EQ(due[at].lost, expected[at].lost);
    }
}

// A new card written after the change takes the holder off the list; one that only failed does not.
TEST(CardsToRewrite, ANewCardEndsTheEntryAFailedWriteDoesNot) {
    CardSite site;
    site.addGroup("Biuro", {1, 2});
    site.addUser(1, "Biuro");
    site.written(1, 0, "Biuro", readers({1, 2}));
    site.setGroupReader("Biuro", 2, false);
    ASSERT_EQ(site.due().size(), 1u);
    site.written(1, 0, "Biuro", readers({1}), journal::JournalKind::kUserCard, journal::JournalResult::kCutShort);
    ASSERT_EQ(site.due().size(), 1u);
    site.written(1, 0, "Biuro", readers({1}), journal::JournalKind::kUserCard, journal::JournalResult::kUnverified);
    EXPECT_TRUE(site.due().empty());
    // The Groups page's count: the card just written no longer opens reader 2, the old one is superseded.
    EXPECT_EQ(cardsStillOpening(site.rows.allRows(), siteUsers(site.users), "Biuro", readers({2})), 0);
}

TEST(CardsToRewrite, CountsTheCardsThatStillOpenReadersTakenAway) {
    CardSite site;
    site.addGroup("Biuro", {1, 2, 3});
    site.addUser(1, "Biuro");
    site.addUser(2, "Biuro");
    site.addUser(3, "Biuro");
    site.written(1, 0, "Biuro", readers({1, 2, 3}));
    site.written(2, 0, "Biuro", readers({1}));
    site.written(3, 0, "Biuro", readers({3}));
    site.lost(3, 0);
    EXPECT_EQ(cardsStillOpening(site.rows.allRows(), siteUsers(site.users), "Biuro", readers({2, 3})), 1);
    EXPECT_EQ(cardsStillOpening(site.rows.allRows(), siteUsers(site.users), "Biuro", readers({1})), 2);
}

// The card on the programmer against the journal and the tables.
TEST(ReadCardStanding, TellsWhenHowCurrentAndWhetherItStillMatches) {
    CardSite site;
    site.addGroup("Biuro", {1, 2});
    site.addUser(5, "Biuro", 2);
    site.written(5, 1, "Biuro", readers({1}), journal::JournalKind::kDuplicate);
    site.written(5, 2, "Biuro", readers({1, 2}), journal::JournalKind::kDuplicate);
    const ReaderSet today = rightsOfGroup(site.groups, "Biuro");
    ASSERT_EQ(today, readers({1, 2}));

    const auto current = standingOfReadCard(site.rows.rowsOf(5), 5, 2, 1, 2, today);
    ASSERT_TRUE(current.written.has_value());
    EXPECT_EQ(current.written->kind, journal::JournalKind::kDuplicate);
    EXPECT_TRUE(current.current);
    EXPECT_TRUE(current.matches);

    const auto older = standingOfReadCard(site.rows.rowsOf(5), 5, 1, 1, 2, today);
    ASSERT_TRUE(older.written.has_value());
    EXPECT_FALSE(older.current);
    EXPECT_FALSE(older.matches);
    EXPECT_EQ(older.gained, readers({2}));

    // Unknown: an index never written, and a card of the same number under another system code.
    EXPECT_FALSE(standingOfReadCard(site.rows.rowsOf(5), 5, 3, 1, 2, today).written.has_value());
    EXPECT_FALSE(standingOfReadCard(site.rows.rowsOf(5), 5, 2, 7, 2, today).written.has_value());

    site.lost(5, 2);
    EXPECT_TRUE(standingOfReadCard(site.rows.rowsOf(5), 5, 2, 1, 2, today).reportedLost);
    const HolderCards holder = holderCards(site.rows.rowsOf(5), 5);
    ASSERT_TRUE(holder.lostReport.has_value());
    EXPECT_EQ(holder.lostReport->index, 2);
    EXPECT_TRUE(holder.newestIsLost());
    // The replacement carries the next INDEX: the holder has a card again, but the lost one is
    // still out there and still shown.
    site.written(5, 3, "Biuro", readers({1, 2}), journal::JournalKind::kDuplicate);
    const HolderCards replaced = holderCards(site.rows.rowsOf(5), 5);
    EXPECT_FALSE(replaced.newestIsLost());
    ASSERT_TRUE(replaced.lostReport.has_value());
    EXPECT_EQ(replaced.lostReport->index, 2);
}

// A site where no card was written has no journal, and nothing in it changes that.
TEST(CardsToRewrite, ASiteWithoutAJournal) {
    CardSite site;
    site.addGroup("Biuro", {1});
    site.addUser(1, "Biuro");
    EXPECT_FALSE(site.rows.exists());
    const auto due = site.due();
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].cause, RewriteCause::NoCard);
    EXPECT_FALSE(site.rows.exists());
}

} // namespace
} // namespace talvern::cards

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
#include <vector>

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
    site.addUser(9, "Magazyn"); // "Usuń uprawnienia" wrote a withdrawal; the group is as it was
    site.addUser(10, db::kLackOfAssignment); // a no-access card, then put in a group
    site.addUser(11, "Hala"); // a withdrawal, then moved to another group: still the withdrawal
    site.addUser(12, db::kLackOfAssignment); // a withdrawal and no rights today: nothing to write
    site.written(1, 0, "Biuro", readers({1, 2}));
    site.written(2, 0, "Biuro", readers({1, 2}));
    site.written(3, 0, "Magazyn", readers({4, 5}));
    site.written(4, 1, "Biuro", readers({1, 2}), journal::JournalKind::kDuplicate);
    site.written(7, 0, "Biuro", readers({1, 2}), journal::JournalKind::kUserCard, journal::JournalResult::kNotVerified);
    site.written(8, 0, "Hala", readers({3}));
    site.lost(8, 0);
    site.written(9, 0, "Magazyn", readers({4, 5}));
    site.written(9, 0, "Magazyn", readers({}), journal::JournalKind::kWithdrawal);
    site.written(10, 0, db::kLackOfAssignment, readers({}), journal::JournalKind::kNoAccess);
    site.written(11, 2, "Biuro", readers({}), journal::JournalKind::kWithdrawal);
    site.written(12, 0, db::kLackOfAssignment, readers({}), journal::JournalKind::kWithdrawal);
    site.setUserGroup(2, "Hala");
    site.setUserGroup(10, "Biuro");
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
        {9, RewriteCause::Withdrawn, readers({4, 6}), readers({})},
        {10, RewriteCause::GroupChanged, readers({1, 2}), readers({})},
        {11, RewriteCause::Withdrawn, readers({3}), readers({})},
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
    EXPECT_EQ(cardsStillOpening(site.rows.allRows(), siteUsers(site.users), "Biuro", readers({2})).cards, 0);
}

// The Groups page's count of cards that still open readers taken from a group. Each holder counts once,
// with the card readers will see: the newest card, or a lost card while it is not replaced (readers still
// honour it, and it cannot be written again). A replaced lost card leaves its holder to the replacement.
TEST(CardsToRewrite, CountsTheCardsThatStillOpenReadersTakenAway) {
    CardSite site;
    site.addGroup("Biuro", {1, 2, 3});
    site.addGroup("Hala", {1});
    site.addUser(1, "Biuro"); // opens 1, 2, 3
    site.addUser(2, "Biuro"); // opens 1
    site.addUser(3, "Biuro"); // lost card opening 3, not replaced
    site.addUser(4, "Biuro"); // lost card opening 2 and 3, replaced by a card opening 1
    site.addUser(5, "Biuro"); // opened 1, 2; then 1 only; that card lost, a withdrawal since
    site.addUser(6, "Biuro"); // reported lost, though no card of theirs is known
    site.addUser(7, "Hala");  // another group's lost card: never counted for Biuro
    site.written(1, 0, "Biuro", readers({1, 2, 3}));
    site.written(2, 0, "Biuro", readers({1}));
    site.written(3, 0, "Biuro", readers({3}));
    site.lost(3, 0);
    site.written(4, 0, "Biuro", readers({2, 3}));
    site.lost(4, 0);
    site.written(4, 1, "Biuro", readers({1}), journal::JournalKind::kDuplicate);
    site.written(5, 0, "Biuro", readers({1, 2}));
    site.written(5, 0, "Biuro", readers({1}));
    site.lost(5, 0);
    site.written(5, 0, "Biuro", readers({}), journal::JournalKind::kWithdrawal);
    site.lost(6, 0);
    site.written(7, 0, "Hala", readers({1, 2, 3}));
    site.lost(7, 0);

    struct Case {
        ReaderSet taken;
        int cards; // every card that opens any of taken
        int lost;  // of them, lost cards not replaced
    };
    const Case cases[] = {
        {readers({1}), 4, 1},    // holders 1, 2, 4's replacement and 5's lost card
        {readers({2}), 1, 0},    // holder 1; 4's lost card is replaced, 5's lost card no longer opened 2
        {readers({3}), 2, 1},    // holders 1 and 3
        {readers({2, 3}), 2, 1}, // holders 1 and 3
        {readers({4}), 0, 0},
    };
    const std::vector<IssuedCard> rows = site.rows.allRows();
    const std::vector<SiteUser> users = siteUsers(site.users);
    for (const Case& c : cases) {
        SCOPED_TRACE("readers taken " + readerList(c.taken));
        const StillOpening still = cardsStillOpening(rows, users, "Biuro", c.taken);
        EXPECT_EQ(still.cards, c.cards);
        EXPECT_EQ(still.lost, c.lost);
    }
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
    ASSERT_TRUE(holder.lost.has_value());
    EXPECT_EQ(holder.lost->report.index, 2);
    EXPECT_TRUE(holder.lostCardOut());
    // The replacement carries the next INDEX: the holder has a card again, but the lost one is
    // still out there and still shown.
    site.written(5, 3, "Biuro", readers({1, 2}), journal::JournalKind::kDuplicate);
    const HolderCards replaced = holderCards(site.rows.rowsOf(5), 5);
    EXPECT_FALSE(replaced.lostCardOut());
    ASSERT_TRUE(replaced.lost.has_value());
    EXPECT_EQ(replaced.lost->report.index, 2);
    ASSERT_TRUE(replaced.lost->replacement.has_value());
    EXPECT_EQ(replaced.lost->replacement->index, 3);
    // The card read is still the lost one, whatever replaced it.
    EXPECT_TRUE(standingOfReadCard(site.rows.rowsOf(5), 5, 2, 1, 3, today).reportedLost);
}

// When a lost card counts as replaced: the same rule for the lost cards' report, the Users page's
// line, the list of cards to rewrite and the Groups page's count. Each case is one holder's journal
// after the report of their card 0 as lost.
TEST(LostCard, IsReplacedByTheFirstUserCardOrDuplicateWrittenAfterIt) {
    namespace Kind = journal::JournalKind;
    namespace Result = journal::JournalResult;
    struct Write {
        const char* kind;
        const char* result;
        int index;
        long number = 1;
    };
    struct Case {
        const char* what;
        std::vector<Write> after; // rows written after the report, in order
        int replacedBy;           // INDEX of the replacement; -1: the lost card is still out
    };
    const Case cases[] = {
        {"nothing written since", {}, -1},
        {"a verified duplicate", {{Kind::kDuplicate, Result::kVerified, 1}}, 1},
        {"a duplicate written with verification off", {{Kind::kDuplicate, Result::kUnverified, 1}}, 1},
        {"a user card of the same INDEX", {{Kind::kUserCard, Result::kVerified, 0}}, 0},
        {"a user card of another INDEX", {{Kind::kUserCard, Result::kVerified, 1}}, 1},
        {"a duplicate that failed its read-back", {{Kind::kDuplicate, Result::kNotVerified, 1}}, -1},
        {"a duplicate cut short", {{Kind::kDuplicate, Result::kCutShort, 1}}, -1},
        {"a withdrawal of the same INDEX", {{Kind::kWithdrawal, Result::kVerified, 0}}, -1},
        {"a no-access card of the same INDEX", {{Kind::kNoAccess, Result::kVerified, 0}}, -1},
        {"another holder's duplicate", {{Kind::kDuplicate, Result::kVerified, 1, 2}}, -1},
        {"a configuration card", {{Kind::kConfiguration, Result::kVerified, 0, 0}}, -1},
        {"a failed write, then a good one",
         {{Kind::kDuplicate, Result::kNotVerified, 1}, {Kind::kDuplicate, Result::kVerified, 1}},
         1},
        {"a withdrawal, then a duplicate",
         {{Kind::kWithdrawal, Result::kVerified, 0}, {Kind::kDuplicate, Result::kVerified, 1}},
         1},
        {"the first of two good cards",
         {{Kind::kDuplicate, Result::kVerified, 1}, {Kind::kDuplicate, Result::kVerified, 2}},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CardSite site;
        site.addGroup("Biuro", {1, 2});
        site.addUser(1, "Biuro");
        site.addUser(2, "Biuro");
        site.written(1, 0, "Biuro", readers({1, 2}));
        site.written(2, 0, "Biuro", readers({1, 2}));
        site.lost(1, 0);
        for (const Write& write : c.after) {
            const bool opens = write.kind == std::string(Kind::kDuplicate) || write.kind == std::string(Kind::kUserCard);
            site.written(write.number, write.index, "Biuro", opens ? readers({1, 2}) : readers({}), write.kind,
                         write.result);
        }
        const bool out = c.replacedBy < 0;

        // The lost cards' report.
        const std::vector<LostCard> lost = lostCards(site.rows.allRows());
        ASSERT_EQ(lost.size(), 1u);
        EXPECT_EQ(lost[0].report.number, 1);
        ASSERT_EQ(lost[0].replacement.has_value(), !out);
        if (!out) {
            EXPECT_EQ(lost[0].replacement->index, c.replacedBy);
            EXPECT_GT(lost[0].replacement->row, lost[0].report.row);
        }
        // The Users page's line, and the check the program offers.
        const HolderCards holder = holderCards(site.rows.rowsOf(1), 1);
        EXPECT_EQ(holder.lostCardOut(), out);
        EXPECT_EQ(lostCardOut(site.journal, 1), out);
        // Cards to rewrite: a holder whose lost card is out has no card ("brak karty"); a replaced one
        // carries a card that matches.
        const auto due = site.due();
        ASSERT_EQ(due.size(), out ? 1u : 0u);
        if (out) {
            EXPECT_EQ(due[0].user.number, 1);
            EXPECT_EQ(due[0].cause, RewriteCause::NoCard);
            EXPECT_EQ(due[0].gained, readers({1, 2}));
        }
        // The Groups page's count: holder 2's card and holder 1's card, the lost one while it is out.
        const StillOpening still = cardsStillOpening(site.rows.allRows(), siteUsers(site.users), "Biuro", readers({1}));
        EXPECT_EQ(still.cards, 2);
        EXPECT_EQ(still.lost, out ? 1 : 0);
    }
}

// The list of cards to rewrite reads whole only the rows that decide (each holder's newest card, newest
// lost report and its replacement): over those it finds what it finds over every row, and so does each
// holder's standing. A journal of holders with many rows each, lost cards replaced or not among them.
TEST(CardsToRewrite, TheRowsThatDecideGiveTheSameListAsEveryRow) {
    namespace Kind = journal::JournalKind;
    namespace Result = journal::JournalResult;
    CardSite site;
    site.addGroup("Biuro", {1, 2});
    site.addGroup("Hala", {3});
    const char* kinds[] = {Kind::kUserCard, Kind::kDuplicate, Kind::kWithdrawal, Kind::kNoAccess, Kind::kLost};
    const char* results[] = {Result::kVerified, Result::kUnverified, Result::kNotVerified, Result::kCutShort};
    for (long number = 1; number <= 12; ++number)
        site.addUser(number, number % 3 ? "Biuro" : "Hala");
    std::uint32_t seed = 7;
    const auto next = [&seed](std::uint32_t below) { return (seed = seed * 1103515245u + 12345u) / 65536u % below; };
    for (int at = 0; at < 120; ++at) {
        const long number = 1 + static_cast<long>(next(12));
        const char* kind = kinds[next(5)];
        if (kind == std::string(Kind::kLost))
            site.lost(number, static_cast<int>(next(3)));
        else
            site.written(number, static_cast<int>(next(3)), next(2) ? "Biuro" : "Hala",
                         next(2) ? readers({1, 2}) : readers({3}), kind, results[next(4)]);
    }
    const std::vector<IssuedCard> every = site.rows.allRows();
    const std::vector<IssuedCard> deciding = site.rows.standingRows();
    EXPECT_LT(deciding.size(), every.size());
    const auto all = cardsToRewrite(every, siteUsers(site.users), groupRights(site.groups));
    const auto fromDeciding = cardsToRewrite(deciding, siteUsers(site.users), groupRights(site.groups));
    ASSERT_EQ(fromDeciding.size(), all.size());
    for (std::size_t at = 0; at < all.size(); ++at) {
        SCOPED_TRACE("user " + std::to_string(all[at].user.number));
        EXPECT_EQ(fromDeciding[at].user.number, all[at].user.number);
        EXPECT_EQ(fromDeciding[at].cause, all[at].cause);
        EXPECT_EQ(fromDeciding[at].gained, all[at].gained);
        EXPECT_EQ(fromDeciding[at].lost, all[at].lost);
        ASSERT_EQ(fromDeciding[at].card.has_value(), all[at].card.has_value());
        if (all[at].card) {
            EXPECT_EQ(fromDeciding[at].card->row, all[at].card->row);
        }
    }
    for (long number = 1; number <= 12; ++number) {
        SCOPED_TRACE("holder " + std::to_string(number));
        const HolderCards whole = holderCards(every, number);
        const HolderCards judged = holderCards(deciding, number);
        EXPECT_EQ(judged.newest.has_value(), whole.newest.has_value());
        if (whole.newest && judged.newest) {
            EXPECT_EQ(judged.newest->row, whole.newest->row);
        }
        EXPECT_EQ(judged.lostCardOut(), whole.lostCardOut());
        ASSERT_EQ(judged.lost.has_value(), whole.lost.has_value());
        if (whole.lost) {
            EXPECT_EQ(judged.lost->report.row, whole.lost->report.row);
            EXPECT_EQ(judged.lost->replacement.has_value(), whole.lost->replacement.has_value());
        }
    }
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

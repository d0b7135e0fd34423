#pragma once
// How the cards that are out stand against the registers today, judged from the card journal:
// which card of a holder is the newest, whether a card was reported lost, whether the card read on
// the programmer is the holder's current one and still opens what the holder's group opens, and
// which holders need a new card.

#include "IssuedCard.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace talvern::cards {

// The rights of each group by NAME; when two groups share a name the first in table order counts,
// as group tracking finds it.
using GroupRights = std::map<std::string, ReaderSet>;

// What a holder's card should open today: the group's readers; none for "Lack of assignment!", an
// empty group or a name no group bears (such a holder gets a no-access card).
ReaderSet rightsToday(const std::string& group, const GroupRights& groups);

// A lost-card report and the card that replaced it. One rule for every window and report: a lost
// card is replaced by the first user card or duplicate written for the same NUMBER after the report
// (verified, or written while verification was off). A write that failed the read-back or was cut short
// is no card; a withdrawal or a no-access card gives the holder nothing to use in place of the lost one.
// A replaced lost card is still out there: readers decide from the card alone.
struct LostCard {
    IssuedCard report;                     // the "ZGUBIONA" row
    std::optional<IssuedCard> replacement; // none while the holder still waits for a new card
};
bool replacesLostCard(const IssuedCard& card);
// Every lost report among rows, oldest first, each with its replacement. Rows may come in any order
// (their places tell which is newer); one pass over them, however long the journal.
std::vector<LostCard> lostCards(const std::vector<IssuedCard>& rows);

// The places of the rows that decide every holder's standing: each holder's newest card, newest lost report
// and the card that replaced it, ascending. Judged from kind, result, number and place alone; over those
// rows alone holderCards and cardsToRewrite find what they find over every row.
std::vector<long> standingPlaces(const std::vector<IssuedCard>& rows);

// A holder's newest card and newest lost report.
struct HolderCards {
    std::optional<IssuedCard> newest; // the newest card written for the holder
    std::optional<LostCard> lost;     // the newest lost report, with its replacement if there is one
    // A lost card not yet replaced: the holder has no card of their own, a duplicate is due.
    bool lostCardOut() const { return lost && !lost->replacement; }
};

// Rows of one holder (any order; rows of other holders are skipped).
HolderCards holderCards(const std::vector<IssuedCard>& rows, long number);

// The card read on the programmer, as the journal knows it.
struct ReadCardStanding {
    std::optional<IssuedCard> written; // the newest write of a card with this identity; none: unknown card
    bool current = false;              // its INDEX is the holder's INDEX in the users table
    bool reportedLost = false;         // a lost report for it came after its newest write
    bool matches = false;              // written and what it opens equals the rights of today
    ReaderSet gained, lost;            // readers the holder's rights give now and the card lacks, and the reverse
};

ReadCardStanding standingOfReadCard(const std::vector<IssuedCard>& rows, long number, int cardIndex, long systemCode,
                                    int tableIndex, const ReaderSet& rightsOfToday);

// Why a holder's card must be written again.
enum class RewriteCause {
    NoCard,           // no card written yet, or the holder's lost card is not replaced yet
    GroupChanged,     // the holder is in another group than when the card was written
    ReadersChanged,   // the same group, but its readers changed
    LackOfAssignment, // the holder's group was removed: "Lack of assignment!"
    Withdrawn,        // the newest card is a withdrawal ("Usuń uprawnienia"): nothing changed in the group
};
std::string causeText(RewriteCause cause);

struct SiteUser {
    long number = 0;
    std::string surname;
    std::string name;
    std::string group;
};

struct CardToRewrite {
    SiteUser user;
    RewriteCause cause = RewriteCause::NoCard;
    std::optional<IssuedCard> card; // the newest card, when there is one
    ReaderSet gained, lost;         // against the newest card (against no card: gained is every right)
};

// The holders, in the users table's order, whose newest card no longer opens exactly what their
// group opens today, and those with rights but no card. Holders whose number no card can carry
// (0, above 65535) are left out: no card can be written for them.
std::vector<CardToRewrite> cardsToRewrite(const std::vector<IssuedCard>& journal, const std::vector<SiteUser>& users,
                                          const GroupRights& groups);

// The cards of a group's holders that open any of the readers taken from the group: one per holder,
// the newest card, or for a holder whose lost card is not replaced yet the lost card, which readers
// still honour. A replaced lost card is not counted here: its holder's count is that of the replacement.
struct StillOpening {
    int cards = 0; // every such card
    int lost = 0;  // of them, lost cards not replaced yet: not in hand, so they cannot be written again
};
StillOpening cardsStillOpening(const std::vector<IssuedCard>& journal, const std::vector<SiteUser>& users,
                               const std::string& group, const ReaderSet& readers);

} // namespace talvern::cards

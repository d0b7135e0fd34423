#include "CardStanding.h"

#include "StandardTables.h"

#include <algorithm>
#include <unordered_map>

namespace talvern::cards {

namespace {

constexpr long kLargestCardNumber = 65535; // the card carries 16 bits of user number

bool newer(const IssuedCard& a, const IssuedCard& b) {
    return a.row > b.row;
}

// A lost report and the first card after it that replaces it (none while the holder waits), as places in
// the rows walked: the one rule of lostCards, for callers that copy only what they keep.
struct LostRows {
    const IssuedCard* report;
    const IssuedCard* replacement;
};

std::vector<LostRows> lostRows(const std::vector<IssuedCard>& rows) {
    std::vector<const IssuedCard*> order;
    order.reserve(rows.size());
    for (const IssuedCard& row : rows)
        order.push_back(&row);
    const auto older = [](const IssuedCard* a, const IssuedCard* b) { return a->row < b->row; };
    if (!std::is_sorted(order.begin(), order.end(), older))
        std::stable_sort(order.begin(), order.end(), older);
    // Walked from the newest row back, so that at each report the holder's first replacement after it
    // is at hand.
    std::unordered_map<long, const IssuedCard*> nextReplacement;
    std::vector<LostRows> found;
    for (auto row = order.rbegin(); row != order.rend(); ++row) {
        const IssuedCard& card = **row;
        if (replacesLostCard(card)) {
            nextReplacement[card.number] = &card;
        } else if (card.isLostReport() && card.number != 0) {
            const auto next = nextReplacement.find(card.number);
            found.push_back({&card, next == nextReplacement.end() ? nullptr : next->second});
        }
    }
    std::reverse(found.begin(), found.end());
    return found;
}

LostCard lostCardOf(const LostRows& rows) {
    LostCard lost{*rows.report, std::nullopt};
    if (rows.replacement != nullptr)
        lost.replacement = *rows.replacement;
    return lost;
}

// A holder's newest card and newest lost report as places in the journal walked.
struct HolderRows {
    const IssuedCard* newest = nullptr;
    std::optional<LostRows> lost;
    bool lostCardOut() const { return lost && lost->replacement == nullptr; }
};

// Every holder's newest card and newest lost report, in one pass over the journal. Only places are
// kept: a caller copies the cards it shows, once each.
std::unordered_map<long, HolderRows> holderRows(const std::vector<IssuedCard>& journal) {
    std::unordered_map<long, HolderRows> holders;
    for (const IssuedCard& row : journal) {
        if (!row.isHolderCard())
            continue;
        const IssuedCard*& newest = holders[row.number].newest;
        if (newest == nullptr || newer(row, *newest))
            newest = &row;
    }
    // Oldest first: the last report of a holder is the newest.
    for (const LostRows& lost : lostRows(journal))
        holders[lost.report->number].lost = lost;
    return holders;
}

// Every holder's newest card and newest lost report, copied.
std::unordered_map<long, HolderCards> allHolders(const std::vector<IssuedCard>& journal) {
    std::unordered_map<long, HolderCards> holders;
    const auto rows = holderRows(journal);
    holders.reserve(rows.size());
    for (const auto& [number, holder] : rows) {
        HolderCards& cards = holders[number];
        if (holder.newest != nullptr)
            cards.newest = *holder.newest;
        if (holder.lost)
            cards.lost = lostCardOf(*holder.lost);
    }
    return holders;
}

} // namespace

ReaderSet rightsToday(const std::string& group, const GroupRights& groups) {
    if (group.empty() || group == db::kLackOfAssignment)
        return {};
    const auto found = groups.find(group);
    return found == groups.end() ? ReaderSet{} : found->second;
}

bool replacesLostCard(const IssuedCard& card) {
    return (card.kind == kind::kUserCard || card.kind == kind::kDuplicate) && card.isHolderCard();
}

std::vector<LostCard> lostCards(const std::vector<IssuedCard>& rows) {
    std::vector<LostCard> found;
    for (const LostRows& lost : lostRows(rows))
        found.push_back(lostCardOf(lost));
    return found;
}

std::vector<long> standingPlaces(const std::vector<IssuedCard>& rows) {
    std::vector<long> places;
    for (const auto& [number, holder] : holderRows(rows)) {
        if (holder.newest != nullptr)
            places.push_back(holder.newest->row);
        if (holder.lost) {
            places.push_back(holder.lost->report->row);
            if (holder.lost->replacement != nullptr)
                places.push_back(holder.lost->replacement->row);
        }
    }
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    return places;
}

HolderCards holderCards(const std::vector<IssuedCard>& rows, long number) {
    std::vector<IssuedCard> own;
    for (const IssuedCard& row : rows)
        if (row.number == number)
            own.push_back(row);
    auto holders = allHolders(own);
    const auto found = holders.find(number);
    return found == holders.end() ? HolderCards{} : found->second;
}

ReadCardStanding standingOfReadCard(const std::vector<IssuedCard>& rows, long number, int cardIndex, long systemCode,
                                    int tableIndex, const ReaderSet& rightsOfToday) {
    ReadCardStanding standing;
    standing.current = cardIndex == tableIndex;
    for (const IssuedCard& row : rows) {
        if (row.number != number || row.index != cardIndex)
            continue;
        if (row.isHolderCard() && row.systemCode == systemCode) {
            if (!standing.written || newer(row, *standing.written))
                standing.written = row;
        }
    }
    if (!standing.written)
        return standing;
    for (const IssuedCard& row : rows) {
        if (row.number == number && row.index == cardIndex && row.isLostReport() && newer(row, *standing.written))
            standing.reportedLost = true;
    }
    standing.gained = rightsOfToday & ~standing.written->access;
    standing.lost = standing.written->access & ~rightsOfToday;
    standing.matches = standing.gained.none() && standing.lost.none();
    return standing;
}

std::string causeText(RewriteCause cause) {
    switch (cause) {
    case RewriteCause::NoCard:
        return "brak karty";
    case RewriteCause::GroupChanged:
        return "zmiana grupy";
    case RewriteCause::ReadersChanged:
        return "zmiana czytników grupy";
    case RewriteCause::LackOfAssignment:
        return "bez grupy (Lack of assignment!)";
    case RewriteCause::Withdrawn:
        return "uprawnienia usunięte z karty";
    }
    return {};
}

std::vector<CardToRewrite> cardsToRewrite(const std::vector<IssuedCard>& journal, const std::vector<SiteUser>& users,
                                          const GroupRights& groups) {
    const auto holders = holderRows(journal);
    std::vector<CardToRewrite> due;
    // After a change of a large group most holders are due: room for all at once rather than moving
    // every entry each time the list grows (pages never written to cost nothing).
    due.reserve(users.size());
    for (const SiteUser& user : users) {
        if (user.number <= 0 || user.number > kLargestCardNumber)
            continue;
        const ReaderSet rights = rightsToday(user.group, groups);
        const auto found = holders.find(user.number);
        const HolderRows* holder = found == holders.end() ? nullptr : &found->second;
        CardToRewrite entry;
        entry.user = user;
        if (holder == nullptr || holder->newest == nullptr || holder->lostCardOut()) {
            // Nothing to write for a holder whose card would open nothing anyway.
            if (rights.none())
                continue;
            entry.cause = RewriteCause::NoCard;
            if (holder != nullptr && holder->newest != nullptr)
                entry.card = *holder->newest;
            entry.gained = rights;
            due.push_back(std::move(entry));
            continue;
        }
        const IssuedCard& card = *holder->newest;
        entry.gained = rights & ~card.access;
        entry.lost = card.access & ~rights;
        if (entry.gained.none() && entry.lost.none())
            continue;
        // A withdrawal opens nothing whatever the group: the group need not have changed at all. A
        // no-access card is not such a case: it opened nothing because the group gave nothing then.
        if (card.kind == kind::kWithdrawal)
            entry.cause = RewriteCause::Withdrawn;
        else if (user.group == db::kLackOfAssignment)
            entry.cause = RewriteCause::LackOfAssignment;
        else if (user.group != card.group)
            entry.cause = RewriteCause::GroupChanged;
        else
            entry.cause = RewriteCause::ReadersChanged;
        entry.card = card;
        due.push_back(std::move(entry));
    }
    return due;
}

StillOpening cardsStillOpening(const std::vector<IssuedCard>& journal, const std::vector<SiteUser>& users,
                               const std::string& group, const ReaderSet& readers) {
    const auto holders = allHolders(journal);
    // The lost card is the one the holder carried when it was reported: the newest card written before
    // the report. Found in one more pass, only for the group's holders who still wait for a new card.
    struct LostCardOut {
        long reportRow;
        const IssuedCard* card = nullptr;
    };
    std::unordered_map<long, LostCardOut> lostOf;
    for (const SiteUser& user : users) {
        if (user.group != group)
            continue;
        if (const auto found = holders.find(user.number); found != holders.end() && found->second.lostCardOut())
            lostOf.emplace(user.number, LostCardOut{found->second.lost->report.row});
    }
    if (!lostOf.empty()) {
        for (const IssuedCard& row : journal) {
            if (!row.isHolderCard())
                continue;
            const auto lost = lostOf.find(row.number);
            if (lost == lostOf.end() || row.row > lost->second.reportRow)
                continue;
            if (lost->second.card == nullptr || newer(row, *lost->second.card))
                lost->second.card = &row;
        }
    }
    StillOpening still;
    for (const SiteUser& user : users) {
        if (user.group != group)
            continue;
        if (const auto lost = lostOf.find(user.number); lost != lostOf.end()) {
            if (lost->second.card != nullptr && (lost->second.card->access & readers).any()) {
                ++still.cards;
                ++still.lost;
            }
            continue;
        }
        const auto found = holders.find(user.number);
        if (found != holders.end() && found->second.newest && (found->second.newest->access & readers).any())
            ++still.cards;
    }
    return still;
}

} // namespace talvern::cards

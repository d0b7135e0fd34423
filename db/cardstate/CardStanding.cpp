#include "CardStanding.h"

#include "StandardTables.h"

#include <unordered_map>

namespace talvern::cards {

namespace {

constexpr long kLargestCardNumber = 65535; // the card carries 16 bits of user number

bool newer(const IssuedCard& a, const IssuedCard& b) {
    return a.row > b.row;
}

// Every holder's newest card and outstanding lost report, in one pass over the journal.
std::unordered_map<long, HolderCards> allHolders(const std::vector<IssuedCard>& journal) {
    std::unordered_map<long, HolderCards> holders;
    // Newest card of each (number, index), to tell whether a lost report was followed by a new card.
    std::unordered_map<long, std::map<int, long>> newestRowOfIndex;
    for (const IssuedCard& row : journal) {
        if (row.isHolderCard()) {
            HolderCards& holder = holders[row.number];
            if (!holder.newest || newer(row, *holder.newest))
                holder.newest = row;
            long& newestRow = newestRowOfIndex[row.number][row.index];
            newestRow = std::max(newestRow, row.row);
        } else if (row.isLostReport() && row.number != 0) {
            HolderCards& holder = holders[row.number];
            if (!holder.lostReport || newer(row, *holder.lostReport))
                holder.lostReport = row;
        }
    }
    for (auto& [number, holder] : holders) {
        if (!holder.lostReport)
            continue;
        const auto& rows = newestRowOfIndex[number];
        const auto written = rows.find(holder.lostReport->index);
        // A card of that INDEX written after the report replaced the lost one.
        if (written != rows.end() && written->second > holder.lostReport->row)
            holder.lostReport.reset();
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
    }
    return {};
}

std::vector<CardToRewrite> cardsToRewrite(const std::vector<IssuedCard>& journal, const std::vector<SiteUser>& users,
                                          const GroupRights& groups) {
    const auto holders = allHolders(journal);
    std::vector<CardToRewrite> due;
    for (const SiteUser& user : users) {
        if (user.number <= 0 || user.number > kLargestCardNumber)
            continue;
        const ReaderSet rights = rightsToday(user.group, groups);
        const auto found = holders.find(user.number);
        const HolderCards* holder = found == holders.end() ? nullptr : &found->second;
        CardToRewrite entry;
        entry.user = user;
        if (holder == nullptr || !holder->newest || holder->newestIsLost()) {
            // Nothing to write for a holder whose card would open nothing anyway.
            if (rights.none())
                continue;
            entry.cause = RewriteCause::NoCard;
            if (holder != nullptr)
                entry.card = holder->newest;
            entry.gained = rights;
            due.push_back(std::move(entry));
            continue;
        }
        const IssuedCard& card = *holder->newest;
        entry.gained = rights & ~card.access;
        entry.lost = card.access & ~rights;
        if (entry.gained.none() && entry.lost.none())
            continue;
        if (user.group == db::kLackOfAssignment)
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

int cardsStillOpening(const std::vector<IssuedCard>& journal, const std::vector<SiteUser>& users,
                      const std::string& group, const ReaderSet& readers) {
    const auto holders = allHolders(journal);
    int count = 0;
    for (const SiteUser& user : users) {
        if (user.group != group)
            continue;
        const auto found = holders.find(user.number);
        if (found == holders.end() || !found->second.newest || found->second.newestIsLost())
            continue;
        if ((found->second.newest->access & readers).any())
            ++count;
    }
    return count;
}

} // namespace talvern::cards

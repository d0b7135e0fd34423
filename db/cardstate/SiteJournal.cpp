#include "SiteJournal.h"

#include "CardAccessHex.h"
#include "CardJournal.h"

namespace talvern::cards {

IssuedCard fromJournalRow(journal::CardJournalRow row, long place) {
    IssuedCard card;
    card.row = place;
    card.written = std::move(row.written);
    card.kind = std::move(row.kind);
    card.option = std::move(row.option);
    card.number = static_cast<long>(row.number);
    card.index = row.index;
    card.systemCode = static_cast<long>(row.sysCode);
    card.surname = std::move(row.surname);
    card.name = std::move(row.name);
    card.group = std::move(row.group);
    // Access text that is not 24 hex digits (empty for a lost-card row) opens nothing.
    card.access = journal::CardAccessHex::toBits(row.access).value_or(ReaderSet{});
    card.result = std::move(row.result);
    card.mode = std::move(row.mode);
    return card;
}

bool SiteJournal::exists() const {
    return m_journal.exists();
}

long SiteJournal::rowCount() {
    return static_cast<long>(m_journal.rowCount());
}

IssuedCard SiteJournal::row(long place) {
    return fromJournalRow(m_journal.row(static_cast<std::uint32_t>(place)), place);
}

std::vector<IssuedCard> SiteJournal::rowsOf(long number) {
    std::vector<IssuedCard> rows;
    long place = 0;
    for (journal::CardJournalRow& row : m_journal.rowsOf(number))
        rows.push_back(fromJournalRow(std::move(row), place++));
    return rows;
}

bool lostCardOut(journal::CardJournal& journal, long number) {
    if (number == 0)
        return false;
    return holderCards(SiteJournal(journal).rowsOf(number), number).lostCardOut();
}

} // namespace talvern::cards

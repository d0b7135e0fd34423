#pragma once
// The site's card journal (karty.dbf) as the card windows read it.

#include "CardStanding.h"
#include "JournalSource.h"

namespace talvern::journal {
class CardJournal;
struct CardJournalRow;
} // namespace talvern::journal

namespace talvern::cards {

IssuedCard fromJournalRow(journal::CardJournalRow row, long place);

class SiteJournal : public JournalSource {
public:
    explicit SiteJournal(journal::CardJournal& journal) : m_journal(journal) {}
    bool exists() const override;
    long rowCount() override;
    IssuedCard row(long place) override;
    // The rows of one holder, oldest first; their places keep the journal's order among themselves.
    std::vector<IssuedCard> rowsOf(long number);

private:
    journal::CardJournal& m_journal;
};

// Whether user number's newest lost card is not replaced yet (HolderCards::lostCardOut).
bool lostCardOut(journal::CardJournal& journal, long number);

} // namespace talvern::cards

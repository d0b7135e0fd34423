#pragma once
// The site's card journal (karty.dbf) as the card windows read it.

#include "CardStanding.h"
#include "JournalSource.h"

#include <array>
#include <string>

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
    // Every row judged from its kind, result and number alone; only the rows that decide are read whole.
    std::vector<IssuedCard> standingRows() override;
    // The names straight from the table's bytes, lowered through a table of its code page.
    void readKeys(long first, long end, const KeyReader& each) override;
    std::optional<std::string> namesText(std::string_view utf8) override;
    // The rows of one holder, oldest first; their places keep the journal's order among themselves.
    std::vector<IssuedCard> rowsOf(long number);

private:
    const std::array<char, 256>& lowerBytes();

    journal::CardJournal& m_journal;
    // Each byte of the journal's code page in lower case, and the code page it is for (a restore may bring
    // a journal in another).
    std::array<char, 256> m_lower{};
    std::string m_lowerFor;
};

// Whether user number's newest lost card is not replaced yet (HolderCards::lostCardOut).
bool lostCardOut(journal::CardJournal& journal, long number);

} // namespace talvern::cards

#pragma once
// The rows of a card journal as the card windows read them: how many there are, and one row by its
// place (from 0, oldest first). The site's journal gives them from its file; tests may give a list.

#include "IssuedCard.h"

#include <vector>

namespace talvern::cards {

class JournalSource {
public:
    virtual ~JournalSource() = default;
    // False when the site has no journal yet (nothing was ever written to a card there).
    virtual bool exists() const = 0;
    virtual long rowCount() = 0;
    virtual IssuedCard row(long place) = 0;
    // Every row, oldest first.
    std::vector<IssuedCard> allRows();
};

// A journal held in memory.
class ListedJournal : public JournalSource {
public:
    explicit ListedJournal(std::vector<IssuedCard> rows = {}, bool exists = true);
    bool exists() const override { return m_exists; }
    long rowCount() override { return static_cast<long>(m_rows.size()); }
    IssuedCard row(long place) override { return m_rows.at(static_cast<std::size_t>(place)); }

private:
    std::vector<IssuedCard> m_rows;
    bool m_exists;
};

} // namespace talvern::cards

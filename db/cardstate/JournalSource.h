#pragma once
// The rows of a card journal as the card windows read them: how many there are, and one row by its
// place (from 0, oldest first). The site's journal gives them from its file; tests may give a list.

#include "IssuedCard.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
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
    // The rows that decide every holder's standing (standingPlaces), oldest first, or more: what the list
    // of cards to rewrite needs. A journal that can judge its rows without reading them whole overrides
    // this; here every row is read and given.
    virtual std::vector<IssuedCard> standingRows();
    // What a filter looks at in one row: the number and kind as row() gives them, and the holder's first
    // name and surname in lower case, "surname\nname", in the journal's own bytes (compared with
    // namesText). Views that last only for the call the key is handed to.
    struct RowKey {
        long number = 0;
        std::string_view kind;
        std::string_view names;
    };
    using KeyReader = std::function<void(const RowKey&)>;
    // The keys of rows first to end - 1, oldest first. A journal that can read those fields alone
    // overrides this; here each row is read whole and its names are UTF-8.
    virtual void readKeys(long first, long end, const KeyReader& each);
    // Part of a name (UTF-8) in lower case in the bytes of readKeys' names; none when no name in the
    // journal can hold it.
    virtual std::optional<std::string> namesText(std::string_view utf8);
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

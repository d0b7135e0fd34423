#include "JournalSource.h"

#include "TextFold.h"

namespace talvern::cards {

std::vector<IssuedCard> JournalSource::allRows() {
    std::vector<IssuedCard> rows;
    if (!exists())
        return rows;
    const long count = rowCount();
    rows.reserve(static_cast<std::size_t>(count));
    for (long place = 0; place < count; ++place)
        rows.push_back(row(place));
    return rows;
}

std::vector<IssuedCard> JournalSource::standingRows() {
    return allRows();
}

void JournalSource::readKeys(long first, long end, const KeyReader& each) {
    for (long place = first; place < end; ++place) {
        const IssuedCard card = row(place);
        const std::string names = db::foldCase(card.surname) + '\n' + db::foldCase(card.name);
        each({card.number, card.kind, names});
    }
}

std::optional<std::string> JournalSource::namesText(std::string_view utf8) {
    return db::foldCase(utf8);
}

ListedJournal::ListedJournal(std::vector<IssuedCard> rows, bool exists) : m_rows(std::move(rows)), m_exists(exists) {
    for (std::size_t place = 0; place < m_rows.size(); ++place)
        m_rows[place].row = static_cast<long>(place);
}

} // namespace talvern::cards

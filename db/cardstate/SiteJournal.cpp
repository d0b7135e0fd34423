#include "SiteJournal.h"

#include "CardAccessHex.h"
#include "CardJournal.h"
#include "CodePage.h"
#include "DbfError.h"
#include "TextFold.h"


namespace talvern::cards {

namespace {

// Each byte of a code page in lower case, as foldCase lowers its letter; a letter whose lower case the code
// page lacks stays as it is. Names lowered byte by byte through it need no decoding.
std::array<char, 256> lowerCaseBytes(const dbf::CodePage& codePage) {
    std::array<char, 256> lower{};
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        lower[static_cast<std::size_t>(b)] = byte;
        if (b == 0)
            continue;
        try {
            const std::string back = codePage.fromUtf8(db::foldCase(codePage.toUtf8(std::string_view(&byte, 1))));
            if (back.size() == 1)
                lower[static_cast<std::size_t>(b)] = back[0];
        } catch (const dbf::DbfError&) {
        }
    }
    return lower;
}

} // namespace

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

std::vector<IssuedCard> SiteJournal::standingRows() {
    if (!exists())
        return {};
    std::vector<IssuedCard> judged;
    try {
        // The kind and result codes are plain ASCII: their bytes are the text row() gives, and a code in
        // any other bytes matches no kind, as decoded it would not either.
        const auto count = m_journal.rowCount();
        judged.reserve(count);
        m_journal.readKeys(0, count, [&judged](const journal::CardJournalKey& key) {
            IssuedCard& card = judged.emplace_back();
            card.row = static_cast<long>(judged.size() - 1);
            card.kind = key.kind;
            card.result = key.result;
            card.number = static_cast<long>(key.number);
        });
    } catch (const dbf::DbfError&) {
        // A journal another program rebuilt with other field types: read whole, as every other window does.
        return JournalSource::standingRows();
    }
    const std::vector<long> places = standingPlaces(judged);
    judged = {};
    std::vector<IssuedCard> rows;
    rows.reserve(places.size());
    for (const long place : places)
        rows.push_back(row(place));
    return rows;
}

void SiteJournal::readKeys(long first, long end, const KeyReader& each) {
    if (first >= end)
        return;
    const std::array<char, 256>& lower = lowerBytes();
    std::string names;
    // Byte for byte into a text sized once: this runs for every row of the journal.
    const auto lowered = [&lower](std::string_view text, char* out) {
        for (const char c : text)
            *out++ = lower[static_cast<unsigned char>(c)];
        return out;
    };
    m_journal.readKeys(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(end),
                       [&](const journal::CardJournalKey& row) {
                           names.resize(row.surname.size() + 1 + row.name.size());
                           char* out = lowered(row.surname, names.data());
                           *out++ = '\n';
                           lowered(row.name, out);
                           each({static_cast<long>(row.number), row.kind, names});
                       });
}

const std::array<char, 256>& SiteJournal::lowerBytes() {
    const dbf::CodePage& codePage = m_journal.codePage();
    if (m_lowerFor != codePage.charset()) {
        m_lower = lowerCaseBytes(codePage);
        m_lowerFor = codePage.charset();
    }
    return m_lower;
}

std::optional<std::string> SiteJournal::namesText(std::string_view utf8) {
    if (!m_journal.exists())
        return db::foldCase(utf8);
    const dbf::CodePage& codePage = m_journal.codePage();
    std::string bytes;
    try {
        bytes = codePage.fromUtf8(db::foldCase(utf8));
    } catch (const dbf::DbfError&) {
        return std::nullopt; // a letter the journal's code page lacks: no name holds it
    }
    const std::array<char, 256>& lower = lowerBytes();
    for (char& c : bytes)
        c = lower[static_cast<unsigned char>(c)];
    return bytes;
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

#include "CardHistoryModel.h"

#include <algorithm>

namespace talvern {

namespace {

constexpr long kBlockRows = 256;
constexpr std::size_t kBlocksKept = 16;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

CardHistoryModel::CardHistoryModel(cards::JournalSource& journal, QObject* parent)
    : QAbstractTableModel(parent), m_journal(journal) {
    m_count = m_journal.exists() ? m_journal.rowCount() : 0;
}

int CardHistoryModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_matches ? static_cast<long>(m_matches->size()) : m_count);
}

int CardHistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

long CardHistoryModel::placeOf(int row) const {
    if (m_matches)
        return (*m_matches)[static_cast<std::size_t>(row)];
    return m_count - 1 - row; // newest first
}

const cards::IssuedCard& CardHistoryModel::cached(long place) const {
    const long block = place / kBlockRows;
    auto found = m_blocks.find(block);
    if (found == m_blocks.end()) {
        if (m_blocks.size() >= kBlocksKept) {
            m_blocks.erase(m_blockOrder.front());
            m_blockOrder.erase(m_blockOrder.begin());
        }
        const long first = block * kBlockRows;
        const long end = std::min(m_count, first + kBlockRows);
        std::vector<cards::IssuedCard> rows(static_cast<std::size_t>(end - first));
        // Newest first, as the grid shows them: the table's read-ahead then keeps the older blocks the
        // grid scrolls to next in the same read.
        for (long at = end; at-- > first;)
            rows[static_cast<std::size_t>(at - first)] = m_journal.row(at);
        found = m_blocks.emplace(block, std::move(rows)).first;
        m_blockOrder.push_back(block);
    }
    return found->second[static_cast<std::size_t>(place - block * kBlockRows)];
}

cards::IssuedCard CardHistoryModel::rowAt(int row) const {
    if (row < 0 || row >= rowCount())
        return {};
    return cached(placeOf(row));
}

QVariant CardHistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole) {
        if (index.column() == Number || index.column() == Index)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const cards::IssuedCard* card = nullptr;
    try {
        card = &cached(placeOf(index.row()));
    } catch (const std::exception&) {
        return {}; // a row that cannot be read shows empty rather than ending the program
    }
    switch (index.column()) {
    case Written:
        return text(card->written);
    case Kind:
        return card->kind == cards::kind::kConfiguration && !card->option.empty()
                   ? text(cards::kindText(card->kind) + ": " + card->option)
                   : text(cards::kindText(card->kind));
    case Number:
        return QString::number(card->number);
    case Index:
        return QString::number(card->index);
    case Surname:
        return text(card->surname);
    case Name:
        return text(card->name);
    case Group:
        return text(card->group);
    case Readers:
        return card->kind == cards::kind::kConfiguration || card->isLostReport() ? QString()
                                                                                 : text(cards::readerList(card->access));
    case Result:
        return text(cards::resultText(card->result));
    case Mode:
        return card->mode == "ADMIN" ? QStringLiteral("administrator") : QStringLiteral("użytkownik");
    default:
        return {};
    }
}

QVariant CardHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Written:
        return QStringLiteral("Data i godzina");
    case Kind:
        return QStringLiteral("Rodzaj");
    case Number:
        return QStringLiteral("ID");
    case Index:
        return QStringLiteral("Duplikat");
    case Surname:
        return QStringLiteral("Imię");
    case Name:
        return QStringLiteral("Nazwisko");
    case Group:
        return QStringLiteral("Grupa");
    case Readers:
        return QStringLiteral("Czytniki");
    case Result:
        return QStringLiteral("Wynik");
    case Mode:
        return QStringLiteral("Tryb");
    default:
        return {};
    }
}

bool CardHistoryModel::accepts(const FilterKey& key, const Wanted& wanted) const {
    if (!wanted.kind.empty() && key.kind != wanted.kind)
        return false;
    if (m_user.isEmpty())
        return true;
    if (wanted.number)
        return key.number == *wanted.number;
    return key.names.contains(wanted.names);
}

void CardHistoryModel::extendKeys() {
    if (static_cast<long>(m_keys.size()) > m_count)
        m_keys.clear(); // a journal that shrank is another journal
    m_keys.reserve(static_cast<std::size_t>(m_count));
    for (long place = static_cast<long>(m_keys.size()); place < m_count; ++place) {
        // Straight from the journal, oldest first: the table reads ahead in that order, and the blocks
        // kept for the grid stay as they are.
        const cards::IssuedCard card = m_journal.row(place);
        m_keys.push_back({card.number, card.kind, (text(card.surname) + QLatin1Char('\n') + text(card.name)).toLower()});
    }
}

void CardHistoryModel::setFilter(const QString& user, const QString& kindCode) {
    m_user = user.trimmed();
    m_kind = kindCode;
    reload();
}

void CardHistoryModel::reload() {
    beginResetModel();
    m_blocks.clear();
    m_blockOrder.clear();
    m_count = m_journal.exists() ? m_journal.rowCount() : 0;
    m_matches.reset();
    if (!m_user.isEmpty() || !m_kind.isEmpty()) {
        extendKeys();
        // What the filter asks for, worked out once rather than for every row.
        Wanted wanted;
        wanted.kind = m_kind.toStdString();
        bool isNumber = false;
        const long number = m_user.toLong(&isNumber);
        if (isNumber)
            wanted.number = number;
        wanted.names = m_user.toLower();
        std::vector<long> matches;
        for (long place = m_count - 1; place >= 0; --place) {
            if (accepts(m_keys[static_cast<std::size_t>(place)], wanted))
                matches.push_back(place);
        }
        m_matches = std::move(matches);
    }
    endResetModel();
}

} // namespace talvern

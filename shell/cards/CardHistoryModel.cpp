#include "CardHistoryModel.h"

#include <algorithm>
#include <utility>

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
    if (wanted.kind != kNoKind && key.kind != wanted.kind)
        return false;
    if (m_user.isEmpty())
        return true;
    if (wanted.number)
        return key.number == *wanted.number;
    return wanted.names &&
           std::string_view(m_names).substr(key.namesAt, key.namesLength).find(*wanted.names) != std::string_view::npos;
}

std::uint32_t CardHistoryModel::kindNumber(std::string_view kind) {
    const auto found = m_kindNumbers.find(kind);
    if (found != m_kindNumbers.end())
        return found->second;
    const auto number = static_cast<std::uint32_t>(m_kindNumbers.size());
    m_kindNumbers.emplace(std::string(kind), number);
    return number;
}

void CardHistoryModel::extendKeys(long count) {
    if (static_cast<long>(m_keys.size()) > count) {
        m_keys.clear(); // a journal that shrank is another journal
        m_names.clear();
    }
    m_keys.reserve(static_cast<std::size_t>(count));
    // Straight from the journal, oldest first, and only what a filter looks at: the table reads ahead
    // in that order, and the blocks kept for the grid stay as they are.
    m_journal.readKeys(static_cast<long>(m_keys.size()), count, [this](const cards::JournalSource::RowKey& row) {
        m_keys.push_back({row.number, kindNumber(row.kind), static_cast<std::uint32_t>(row.names.size()), m_names.size()});
        m_names += row.names;
    });
}

void CardHistoryModel::setFilter(const QString& user, const QString& kindCode) {
    const QString userBefore = std::exchange(m_user, user.trimmed());
    const QString kindBefore = std::exchange(m_kind, kindCode);
    try {
        reload();
    } catch (...) {
        // The grid still shows the rows of the filter before, and says so.
        m_user = userBefore;
        m_kind = kindBefore;
        throw;
    }
}

void CardHistoryModel::reload() {
    const long count = m_journal.exists() ? m_journal.rowCount() : 0;
    std::optional<std::vector<long>> matches;
    if (!m_user.isEmpty() || !m_kind.isEmpty()) {
        // Read before the model changes: a journal that cannot be read leaves the grid as it was.
        extendKeys(count);
        // What the filter asks for, worked out once rather than for every row.
        Wanted wanted;
        if (!m_kind.isEmpty()) {
            const auto found = m_kindNumbers.find(m_kind.toStdString());
            wanted.noSuchKind = found == m_kindNumbers.end();
            wanted.kind = wanted.noSuchKind ? kNoKind : found->second;
        }
        bool isNumber = false;
        const long number = m_user.toLong(&isNumber);
        if (isNumber)
            wanted.number = number;
        else if (!m_user.isEmpty())
            wanted.names = m_journal.namesText(m_user.toStdString());
        matches.emplace();
        for (long place = wanted.noSuchKind ? -1 : count - 1; place >= 0; --place) {
            if (accepts(m_keys[static_cast<std::size_t>(place)], wanted))
                matches->push_back(place);
        }
    }
    beginResetModel();
    m_blocks.clear();
    m_blockOrder.clear();
    m_count = count;
    m_matches = std::move(matches);
    endResetModel();
}

} // namespace talvern

#include "ReportModel.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <charconv>
#include <limits>
#include <numeric>

namespace talvern {

ReportModel::ReportModel(db::reports::ReportTable table, QObject* parent)
    : QAbstractTableModel(parent), m_table(std::move(table)), m_order(m_table.rows.size()) {
    std::iota(m_order.begin(), m_order.end(), 0);
}

int ReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

int ReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_table.columns.size());
}

bool ReportModel::isNumeric(int column) const {
    return column >= 0 && static_cast<std::size_t>(column) < m_table.numeric.size() &&
           m_table.numeric[static_cast<std::size_t>(column)];
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        const auto& row = m_table.rows[static_cast<std::size_t>(m_order[static_cast<std::size_t>(index.row())])];
        const auto column = static_cast<std::size_t>(index.column());
        return column < row.size() ? QString::fromStdString(row[column]) : QString();
    }
    if (role == Qt::TextAlignmentRole && isNumeric(index.column())) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    }
    return {};
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    return section >= 0 && section < columnCount() ? QString::fromStdString(m_table.columns[static_cast<std::size_t>(section)])
                                                   : QVariant();
}

Qt::ItemFlags ReportModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

void ReportModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) {
        return;
    }
    const auto c = static_cast<std::size_t>(column);
    auto cell = [&](int row) -> const std::string& {
        static const std::string empty;
        const auto& values = m_table.rows[static_cast<std::size_t>(row)];
        return c < values.size() ? values[c] : empty;
    };
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> rowsBefore;
    for (const QModelIndex& index : before) {
        rowsBefore.push_back(m_order[static_cast<std::size_t>(index.row())]);
    }
    std::sort(m_order.begin(), m_order.end()); // equal values keep the report's own order
    if (isNumeric(column)) {
        std::vector<long long> keys(m_table.rows.size());
        for (std::size_t row = 0; row < keys.size(); ++row) {
            const std::string& text = cell(static_cast<int>(row));
            long long value = std::numeric_limits<long long>::min(); // empty cells first
            std::from_chars(text.data(), text.data() + text.size(), value);
            keys[row] = value;
        }
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            return order == Qt::AscendingOrder ? keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)]
                                               : keys[static_cast<std::size_t>(b)] < keys[static_cast<std::size_t>(a)];
        });
    } else {
        QCollator collator{QLocale(QLocale::Polish, QLocale::Poland)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<QCollatorSortKey> keys;
        keys.reserve(m_table.rows.size());
        for (std::size_t row = 0; row < m_table.rows.size(); ++row) {
            keys.push_back(collator.sortKey(QString::fromStdString(cell(static_cast<int>(row)))));
        }
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            const auto& ka = keys[static_cast<std::size_t>(a)];
            const auto& kb = keys[static_cast<std::size_t>(b)];
            return order == Qt::AscendingOrder ? ka.compare(kb) < 0 : kb.compare(ka) < 0;
        });
    }
    // Selections and the current row stay on the rows they were on.
    std::vector<int> where(m_order.size());
    for (std::size_t shown = 0; shown < m_order.size(); ++shown) {
        where[static_cast<std::size_t>(m_order[shown])] = static_cast<int>(shown);
    }
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i) {
        after << index(where[static_cast<std::size_t>(rowsBefore[static_cast<std::size_t>(i)])], before[i].column());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace talvern

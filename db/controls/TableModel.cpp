#include "TableModel.h"

#include "TableWatcher.h"

#include <QColor>

namespace talvern {

TableModel::TableModel(db::TTable& table, QStringList fieldNames, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_fieldNames(std::move(fieldNames)), m_titles(m_fieldNames),
      m_watcher(new TableWatcher(table, this)) {
    resolveFields();
    m_rows = countRows();
    connect(m_watcher, &TableWatcher::dataSetChanged, this, [this] { follow(true); });
    connect(m_watcher, &TableWatcher::stateChanged, this, [this] { follow(false); });
    connect(m_watcher, &TableWatcher::recordMoved, this, [this] { follow(false); });
    connect(m_watcher, &TableWatcher::recordChanged, this, &TableModel::recordChanged);
}

void TableModel::resolveFields() {
    m_fieldIndexes.clear();
    m_numeric.clear();
    for (const QString& name : m_fieldNames) {
        const int index = m_table.isOpen() ? m_table.findField(name.toStdString()) : -1;
        m_fieldIndexes.push_back(index);
        const char type = index >= 0 ? m_table.field(index).type() : 'C';
        m_numeric.push_back(type == 'N' || type == 'F' || type == 'I' || type == '+' || type == 'O');
    }
}

int TableModel::countRows() const {
    if (!m_table.isOpen()) {
        return 0;
    }
    return m_table.recordCount() + (m_table.state() == db::TTable::State::Insert ? 1 : 0);
}

void TableModel::follow(bool wholeTable) {
    const int rows = countRows();
    if (rows != m_rows || wholeTable) {
        if (rows != m_rows) {
            beginResetModel();
            resolveFields();
            m_rows = rows;
            endResetModel();
        } else if (m_rows > 0) {
            resolveFields();
            // Same number of rows: the view repaints what it shows and keeps its place and selection.
            emit dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1));
        }
    }
}

void TableModel::recordChanged(int field) {
    const int row = m_table.recNo() - 1;
    if (row < 0 || row >= m_rows) {
        return;
    }
    for (int column = 0; column < columnCount(); ++column) {
        if (field < 0 || m_fieldIndexes[static_cast<std::size_t>(column)] == field) {
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            return;
        }
    }
}

int TableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int TableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_fieldNames.size());
}

QString TableModel::text(int row, int column) const {
    if (row < 0 || row >= m_rows || column < 0 || column >= columnCount() || !m_table.isOpen()) {
        return {};
    }
    const int field = m_fieldIndexes[static_cast<std::size_t>(column)];
    if (field < 0) {
        return {};
    }
    try {
        if (m_table.state() == db::TTable::State::Insert && row + 1 == m_table.recNo()) {
            return QString::fromStdString(m_table.field(field).asString());
        }
        return QString::fromStdString(m_table.valueAt(row + 1, field));
    } catch (const std::exception&) {
        // A record the table cannot read shows empty; the table reports the damage when it is visited.
        return {};
    }
}

int TableModel::firstRowWith(int column, const QString& value) const {
    for (int row = 0; row < m_rows; ++row) {
        if (text(row, column) == value) {
            return row;
        }
    }
    return -1;
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return text(index.row(), index.column());
    }
    if (role == Qt::BackgroundRole && isMarked(index.row())) {
        return markColour();
    }
    if (role == Qt::TextAlignmentRole && m_numeric[static_cast<std::size_t>(index.column())]) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    }
    return {};
}

void TableModel::setRowMarker(std::function<bool(int row)> marker) {
    m_marker = std::move(marker);
    refreshMarks();
}

void TableModel::refreshMarks() {
    if (m_rows > 0) {
        emit dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1), {Qt::BackgroundRole});
    }
}

bool TableModel::isMarked(int row) const {
    if (!m_marker || row < 0 || row >= m_rows) {
        return false;
    }
    try {
        return m_marker(row);
    } catch (const std::exception&) {
        return false; // a record the table cannot read is not marked; the table reports it when visited
    }
}

QColor TableModel::markColour() { return QColor(255, 236, 139); }

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return section >= 0 && section < m_titles.size() ? QVariant(m_titles[section]) : QVariant();
    }
    return section + 1;
}

bool TableModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_titles.size() ||
        (role != Qt::EditRole && role != Qt::DisplayRole)) {
        return false;
    }
    m_titles[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

} // namespace talvern

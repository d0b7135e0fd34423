#include "DBGrid.h"

#include "OperatorMessages.h"
#include "TableModel.h"
#include "TableWatcher.h"

#include <QAbstractButton>
#include <QHeaderView>

namespace talvern {

DBGrid::DBGrid(QWidget* parent) : QTableView(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setTabKeyNavigation(false);
    setWordWrap(false);
    // Every row has the same height, so the view never measures rows it does not show.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    // The headers and the corner button are parts of the grid a screen reader meets on its own; they
    // are named in the operators' language, as everything else they hear.
    horizontalHeader()->setAccessibleName(QStringLiteral("Tytuły kolumn"));
    verticalHeader()->setAccessibleName(QStringLiteral("Numery wierszy"));
    setCornerButtonEnabled(false);
    if (auto* corner = findChild<QAbstractButton*>()) {
        corner->setAccessibleName(QStringLiteral("Cała tabela"));
    }
    QPalette silver = palette();
    silver.setColor(QPalette::Base, QColor(192, 192, 192));
    silver.setColor(QPalette::AlternateBase, QColor(192, 192, 192));
    setPalette(silver);
}

void DBGrid::bind(db::TTable& table, const QList<Column>& columns) {
    QStringList fields;
    for (const Column& column : columns) {
        fields << column.field;
    }
    delete m_model;
    m_model = new TableModel(table, fields, this);
    setModel(m_model);
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].width > 0) {
            setColumnWidth(i, columns[i].width);
        }
    }
    // The model hears of a change first (it subscribed first) and has settled when the grid follows.
    auto* watcher = new TableWatcher(table, this);
    connect(watcher, &TableWatcher::recordMoved, this, &DBGrid::followCursor);
    connect(watcher, &TableWatcher::dataSetChanged, this, &DBGrid::followCursor);
    connect(watcher, &TableWatcher::stateChanged, this, &DBGrid::followCursor);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DBGrid::followCursor);
    followCursor();
}

QString DBGrid::columnTitle(int column) const {
    return m_model ? m_model->headerData(column, Qt::Horizontal).toString() : QString();
}

void DBGrid::setColumnTitle(int column, const QString& title) {
    if (m_model) {
        m_model->setHeaderData(column, Qt::Horizontal, title);
    }
}

void DBGrid::followCursor() {
    if (!m_model) {
        return;
    }
    db::TTable& table = m_model->table();
    const int row = table.isOpen() ? table.recNo() - 1 : -1;
    m_following = true;
    if (row >= 0 && row < m_model->rowCount()) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        const QModelIndex index = m_model->index(row, column);
        if (currentIndex() != index || !selectionModel()->isRowSelected(row, QModelIndex())) {
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        scrollTo(index);
    } else if (currentIndex().isValid()) {
        selectionModel()->clear();
    }
    m_following = false;
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (m_following || !m_model || !current.isValid() || current.row() == previous.row()) {
        return;
    }
    db::TTable& table = m_model->table();
    const int recNo = current.row() + 1;
    if (recNo != table.recNo() && recNo <= table.recordCount()) {
        OperatorMessages::runHandler([&] { table.moveTo(recNo); });
    }
    // Whether the move was made or refused, the grid shows where the cursor now stands.
    followCursor();
}

} // namespace talvern

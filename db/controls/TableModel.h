#pragma once
// A read-only grid model over a table's cursor: one row per live record in table order, one column
// per chosen field. Rows are read from the table when the view asks for them, never loaded as a
// whole, so a table of tens of thousands of records opens at once. The record being changed shows
// its new values; a record being appended shows as an extra last row until it is stored.

#include "TTable.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>
#include <vector>

namespace talvern {

class TableWatcher;

class TableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TableModel(db::TTable& table, QStringList fieldNames, QObject* parent = nullptr);

    db::TTable& table() const { return m_table; }
    const QStringList& fieldNames() const { return m_fieldNames; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Column titles start as the field names; setHeaderData gives a column another title.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    // The text of a cell; "" outside the table or when the table cannot be read.
    QString text(int row, int column) const;
    // The first row whose column equals value exactly, -1 when none.
    int firstRowWith(int column, const QString& value) const;

    // Rows for which marker(row) is true stand out in the grid (a search's matches). The marker is asked
    // only for rows the view paints. refreshMarks() repaints after the marker's answers change.
    void setRowMarker(std::function<bool(int row)> marker);
    void refreshMarks();
    bool isMarked(int row) const;
    static QColor markColour();

private:
    int countRows() const;
    void resolveFields();
    void follow(bool wholeTable);
    void recordChanged(int field);

    db::TTable& m_table;
    QStringList m_fieldNames;
    QStringList m_titles;
    std::vector<int> m_fieldIndexes;
    std::vector<bool> m_numeric; // numbers stand right-aligned in their column
    int m_rows = 0;
    std::function<bool(int row)> m_marker;
    TableWatcher* m_watcher;
};

} // namespace talvern

#pragma once
// A read-only grid over a table: one row per record, the current record selected. Selecting a row
// moves the table's cursor there (a change under way is stored first, as any movement does), and the
// grid follows the cursor wherever else it is moved.

#include "TTable.h"

#include <QTableView>

namespace talvern {

class TableModel;

class DBGrid : public QTableView {
    Q_OBJECT
public:
    struct Column {
        QString field;
        int width = 0; // 0: the grid's default width
    };

    explicit DBGrid(QWidget* parent = nullptr);

    void bind(db::TTable& table, const QList<Column>& columns);
    TableModel* tableModel() const { return m_model; }

    // The title over a column (the field name until set).
    QString columnTitle(int column) const;
    void setColumnTitle(int column, const QString& title);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void followCursor();

    TableModel* m_model = nullptr;
    bool m_following = false;
};

} // namespace talvern

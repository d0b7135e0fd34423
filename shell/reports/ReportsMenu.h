#pragma once
// The "Raporty" menu: one entry per report of the catalogue, and the current page's grid saved as CSV
// or PDF, or printed. A report first stores the changes under way on the three tables (as moving a
// cursor would), then reads what is stored; no cursor moves.

#include "TTable.h"

#include <QMenu>

#include <functional>

class QAbstractItemModel;

namespace talvern {

class ReportWindow;

class ReportsMenu : public QMenu {
    Q_OBJECT
public:
    struct PageGrid {
        const QAbstractItemModel* model = nullptr; // none on a page without a grid
        QString title;
    };

    ReportsMenu(db::TTable& users, db::TTable& groups, db::TTable& readers, std::function<PageGrid()> currentGrid,
                QWidget* window);

    // Opens the report at position index of the catalogue with its parameter (reader number or user
    // record number; asked for when parameter is 0). Returns the window, or null when nothing was opened.
    ReportWindow* openReport(int index, int parameter = 0);

    // For tests: the answer the reader question gives instead of asking (0: cancelled).
    static void setReaderChooser(std::function<int()> chooser);

private:
    int askReader();
    void exportGrid(int how);

    db::TTable& m_users;
    db::TTable& m_groups;
    db::TTable& m_readers;
    std::function<PageGrid()> m_currentGrid;
    QWidget* m_window;
    QList<QAction*> m_gridActions;
};

} // namespace talvern

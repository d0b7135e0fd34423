#pragma once
// The "Raporty" menu: one entry per report of the catalogue, and the current page's grid saved as CSV
// or PDF, or printed. A report first stores the changes under way on the three tables (as moving a
// cursor would), then reads what is stored; no cursor moves. The reports drawn from the card journal
// stay in the menu at a site without one, disabled, with a tooltip that says why: the journal appears
// with the first card written, which may happen while the program runs.

#include "TTable.h"

#include <QMenu>

#include <functional>

class QAbstractItemModel;

namespace talvern {

namespace journal {
class CardJournal;
}

class ReportWindow;

class ReportsMenu : public QMenu {
    Q_OBJECT
public:
    struct PageGrid {
        const QAbstractItemModel* model = nullptr; // none on a page without a grid
        QString title;
    };

    // cardJournal: the site's card journal, read by the card reports (none: they stay disabled).
    ReportsMenu(db::TTable& users, db::TTable& groups, db::TTable& readers, std::function<PageGrid()> currentGrid,
                QWidget* window, journal::CardJournal* cardJournal = nullptr);

    // The tooltip of a card report at a site without a card journal.
    static QString noJournalText();

    // Opens the report at position index of the catalogue with its parameter (reader number or user
    // record number; asked for when parameter is 0). Returns the window, or null when nothing was opened.
    ReportWindow* openReport(int index, int parameter = 0);

    // For tests: the answer the reader question gives instead of asking (0: cancelled).
    static void setReaderChooser(std::function<int()> chooser);

private:
    int askReader();
    void exportGrid(int how);
    bool hasCardJournal() const;
    void offerCardReports();

    db::TTable& m_users;
    db::TTable& m_groups;
    db::TTable& m_readers;
    std::function<PageGrid()> m_currentGrid;
    QWidget* m_window;
    journal::CardJournal* m_cardJournal;
    QList<QAction*> m_gridActions;
    QList<QAction*> m_cardActions; // the reports that read the card journal
};

} // namespace talvern

#pragma once
// A report in a window of its own: its title, a read-only grid sorted by a click on a column title, the
// number of rows, and "Zapisz CSV...", "Zapisz PDF...", "Drukuj..." and "Zamknij". Several may be open
// at once; each closes and goes on its own and closes with the main window.

#include "Report.h"

#include <QWidget>

class QTableView;

namespace talvern {

class ReportModel;

class ReportWindow : public QWidget {
    Q_OBJECT
public:
    ReportWindow(db::reports::ReportTable table, QWidget* parent);

    ReportModel* model() const { return m_model; }
    QTableView* grid() const { return m_grid; }

private:
    ReportModel* m_model;
    QTableView* m_grid;
};

} // namespace talvern

#pragma once
// Prints a grid on pages through Qt's print support (a printer, or a PDF file): on every page the
// title, the site, the date and time of printing and the column titles, then as many rows as fit, and
// "Strona N z M" at the foot. Every row has one line: a text wider than its column ends in "…". Rows
// are read from the model page by page, so a grid of tens of thousands of rows is never held twice.

#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

class QAbstractItemModel;
class QPrinter;

namespace talvern {

struct PrintHeading {
    QString title;
    QString site;
    QDateTime when;
};

class GridPrinter {
public:
    GridPrinter(const QAbstractItemModel& model, PrintHeading heading);

    // progress(pagesDone, pageCount) is called before each page and once at the end; returning false
    // stops the print (the printer's job is then aborted). Returns true when every page was printed.
    // Throws nothing; a printer that cannot begin returns false with failed() true.
    bool print(QPrinter& printer, const std::function<bool(int done, int count)>& progress = {});
    bool failed() const { return m_failed; }
    int pageCount() const { return m_pageCount; }

    static QString pageText(int page, int count);

private:
    const QAbstractItemModel& m_model;
    PrintHeading m_heading;
    int m_pageCount = 0;
    bool m_failed = false;
};

} // namespace talvern

#pragma once
// Taking a grid out of the program: "Zapisz CSV...", "Zapisz PDF..." and "Drukuj..." for a report
// window or a page's grid. The file dialogs are Qt's own (not the desktop's), so that assistive tools see
// them as they see the rest of the program. A PDF is made behind a progress dialog that keeps the
// window responsive and can be cancelled; a cancelled PDF leaves no file.

#include <QString>

#include <functional>

class QAbstractItemModel;
class QWidget;

namespace talvern {

class GridExport {
public:
    // title: the grid's title on paper and in the file name offered.
    GridExport(QWidget* parent, const QAbstractItemModel& model, QString title);

    void saveCsv();
    void savePdf();
    void print();

    // Writes a PDF to path behind the progress dialog; returns false when cancelled or failed (with the
    // reason shown to the operator when failed).
    bool writePdf(const QString& path);

    // For tests: instead of asking in a file dialog, the next save goes to the path this gives ("" for
    // a dialog closed without a choice).
    static void setPathChooser(std::function<QString(const QString& suggested, const QString& filter)> chooser);

    static QString siteName();

private:
    QString choosePath(const QString& extension, const QString& filter);

    QWidget* m_parent;
    const QAbstractItemModel& m_model;
    QString m_title;
};

} // namespace talvern

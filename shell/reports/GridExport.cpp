#include "GridExport.h"

#include "CsvExport.h"
#include "GridPrinter.h"
#include "OperatorMessages.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QRegularExpression>

namespace talvern {
namespace {

std::function<QString(const QString&, const QString&)>& pathChooser() {
    static std::function<QString(const QString&, const QString&)> chooser;
    return chooser;
}

const QString kSaveErrorTitle = QStringLiteral("Błąd zapisu");

} // namespace

GridExport::GridExport(QWidget* parent, const QAbstractItemModel& model, QString title)
    : m_parent(parent), m_model(model), m_title(std::move(title)) {}

void GridExport::setPathChooser(std::function<QString(const QString&, const QString&)> chooser) {
    pathChooser() = std::move(chooser);
}

QString GridExport::siteName() { return QDir::toNativeSeparators(QDir::currentPath()); }

QString GridExport::choosePath(const QString& extension, const QString& filter) {
    QString name = m_title;
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("-"));
    const QString suggested = QDir::home().filePath(name.simplified() + QLatin1Char('.') + extension);
    if (pathChooser()) {
        return pathChooser()(suggested, filter);
    }
    QFileDialog dialog(m_parent, QStringLiteral("Zapisz jako"), suggested, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(extension);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Zapisz"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Anuluj"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nazwa pliku:"));
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Folder:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Typ pliku:"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

void GridExport::saveCsv() {
    const QString path = choosePath(QStringLiteral("csv"), QStringLiteral("Plik CSV (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    const QString error = writeCsv(m_model, path);
    if (!error.isEmpty()) {
        OperatorMessages::show(QStringLiteral("Nie można zapisać pliku %1: %2").arg(path, error), kSaveErrorTitle);
    }
}

void GridExport::savePdf() {
    const QString path = choosePath(QStringLiteral("pdf"), QStringLiteral("Plik PDF (*.pdf)"));
    if (!path.isEmpty()) {
        writePdf(path);
    }
}

bool GridExport::writePdf(const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setDocName(m_title);
    printer.setCreator(QStringLiteral("TALVERN"));
    // A file that cannot be made shows before any work is done.
    {
        QFile probe(path);
        const bool existed = probe.exists();
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            OperatorMessages::show(QStringLiteral("Nie można zapisać pliku %1: %2").arg(path, probe.errorString()),
                                   kSaveErrorTitle);
            return false;
        }
        probe.close();
        if (!existed) {
            probe.remove();
        }
    }
    QProgressDialog progress(QStringLiteral("Tworzenie pliku PDF..."), QStringLiteral("Anuluj"), 0, 1, m_parent);
    progress.setWindowTitle(QStringLiteral("Zapis PDF"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    GridPrinter printerJob(m_model, {m_title, siteName(), QDateTime::currentDateTime()});
    const bool done = printerJob.print(printer, [&](int pages, int count) {
        progress.setMaximum(count);
        progress.setValue(pages);
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
    progress.close();
    if (!done) {
        QFile::remove(path);
        if (printerJob.failed()) {
            OperatorMessages::show(QStringLiteral("Nie można zapisać pliku %1.").arg(path), kSaveErrorTitle);
        }
    }
    return done;
}

void GridExport::print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_title);
    QPrintDialog dialog(&printer, m_parent);
    dialog.setWindowTitle(QStringLiteral("Drukuj"));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    QProgressDialog progress(QStringLiteral("Drukowanie..."), QStringLiteral("Anuluj"), 0, 1, m_parent);
    progress.setWindowTitle(QStringLiteral("Drukowanie"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    GridPrinter printerJob(m_model, {m_title, siteName(), QDateTime::currentDateTime()});
    printerJob.print(printer, [&](int pages, int count) {
        progress.setMaximum(count);
        progress.setValue(pages);
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
    progress.close();
    if (printerJob.failed()) {
        OperatorMessages::show(QStringLiteral("Nie można rozpocząć drukowania."), QStringLiteral("Błąd drukowania"));
    }
}

} // namespace talvern

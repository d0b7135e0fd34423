// The "Raporty" menu in the real main window: a report's window with its grid sorted by a click on a
// column title, and grids taken out of the program as CSV (read back with Python's csv module) and PDF
// (its text read back with pdftotext); the card reports at a site with and without a card journal.

#include "CardAccessHex.h"
#include "CardJournal.h"
#include "CsvExport.h"
#include "GridExport.h"
#include "GridPrinter.h"
#include "ReportModel.h"
#include "ReportWindow.h"
#include "ReportsMenu.h"
#include "ShellFixture.h"
#include "StandardTables.h"
#include "TTable.h"

#include <QAction>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QTimer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>

using namespace talvern;
using talvern::test::Site;

namespace {

// Readers 1 Brama and 5 Serwerownia; groups Biuro {1} and Ochrona {1, 5}; four users, two of them in
// Ochrona.
void fillSite(const QString& dir) {
    db::ensureStandardTables(dir.toStdString());
    db::TTable readers, groups, users;
    readers.open((dir + "/sprzet.dbf").toStdString());
    groups.open((dir + "/grupa.dbf").toStdString());
    users.open((dir + "/osoby.dbf").toStdString());
    for (auto [id, name] : {std::pair{1, "Brama"}, std::pair{5, "Serwerownia"}}) {
        readers.append();
        readers.fieldByName("ID_CZYT").setAsInteger(id);
        readers.fieldByName("NAME").setAsString(name);
        readers.post();
    }
    int id = 0;
    for (auto [name, opensFive] : {std::pair{"Biuro", false}, std::pair{"Ochrona", true}}) {
        groups.append();
        groups.fieldByName("ID_grupy").setAsInteger(++id);
        groups.fieldByName("NAME").setAsString(name);
        for (int n = 1; n <= 96; ++n) {
            groups.fieldByName("p" + std::to_string(n)).setAsBoolean(n == 1 || (n == 5 && opensFive));
        }
        groups.post();
    }
    const std::vector<std::string> people[] = {{"1", "Jan", "Kowalski", "Biuro"},
                                               {"2", "Żaneta", "Wróbel; \"Ptaszek\"", "Ochrona"},
                                               {"3", "Anna", "=1+1", "Biuro"},
                                               {"4", "Adam", "Łukasiewicz", "Ochrona"}};
    for (const auto& p : people) {
        users.append();
        users.fieldByName("NUMBER").setAsString(p[0]);
        users.fieldByName("SURNAME").setAsString(p[1]);
        users.fieldByName("NAME").setAsString(p[2]);
        users.fieldByName("GROUP").setAsString(p[3]);
        users.post();
    }
}

// A card of the journal's, written at the given time to the user NUMBER number.
journal::CardJournalRow journalRow(const std::string& written, const char* kind, long number, const char* group,
                                   const std::vector<int>& readers) {
    journal::CardJournalRow row;
    row.written = written;
    row.kind = kind;
    row.number = number;
    row.sysCode = 1;
    row.group = group;
    const bool lost = kind == std::string(journal::JournalKind::kLost);
    row.access = lost ? std::string() : journal::CardAccessHex::fromReaders(readers);
    row.result = lost ? journal::JournalResult::kReported : journal::JournalResult::kVerified;
    row.mode = journal::JournalMode::kAdministrator;
    return row;
}

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning() << program << arguments << process.readAllStandardError();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The rows of a CSV file as Python's csv module reads them with the ';' separator.
QJsonArray readCsvWithPython(const QString& path) {
    const QString script = QStringLiteral(
        "import csv, json, sys\n"
        "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
        "    print(json.dumps(list(csv.reader(f, delimiter=';'))))\n");
    return QJsonDocument::fromJson(run(QStringLiteral("python3"), {QStringLiteral("-c"), script, path}).toUtf8()).array();
}

QString pdfText(const QString& path) {
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

class Unlocked {
public:
    explicit Unlocked(Site& site) : form(site.start()) {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QStringLiteral("9"));
        form.BitBtn1Click();
        menu = form.findChild<ReportsMenu*>();
    }
    TForm1& form;
    ReportsMenu* menu = nullptr;
};

QStringList column(const QAbstractItemModel& model, int column) {
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row) {
        out << model.index(row, column).data().toString();
    }
    return out;
}

} // namespace

class ReportsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { ReportsMenu::setReaderChooser(nullptr); GridExport::setPathChooser(nullptr); }
    void menuOffersEveryReportOnlyWhenUnlocked();
    void reportWindowSortsByColumnTitle();
    void csvReadsBackWithPython();
    void csvFields_data();
    void csvFields();
    void pdfShowsTitleFirstAndLastRows();
    void longPdfRepeatsTheTitlesOnEveryPage();
    void cancelledPdfStops();
    void cancelInTheProgressDialogLeavesNoFile();
    void pageGridGoesOutAsCsv();
    void unwritableFileIsReported();
    void cardReportsWaitForTheCardJournal();
    void cardReportsOfAJournalOnDisk();
};

void ReportsTest::menuOffersEveryReportOnlyWhenUnlocked() {
    Site site;
    fillSite(site.workDir());
    TForm1& form = site.start();
    auto* menu = form.findChild<ReportsMenu*>();
    QVERIFY(menu);
    QVERIFY(!menu->menuAction()->isVisible());
    form.findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QStringLiteral("5")); // user mode
    form.BitBtn1Click();
    QVERIFY(menu->menuAction()->isVisible());
    QStringList captions;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            captions << action->text();
        }
    }
    QCOMPARE(captions, (QStringList{"Kto otworzy czytnik...", "Co otworzy bieżąca osoba", "Osoby bez grupy",
                                    "Grupy bez dostępu do czytników", "Czytniki, których nie otwiera żadna grupa",
                                    "Grupy bez osób", "Możliwe duplikaty osób", "Karty do przeprogramowania",
                                    "Zgubione karty", "Zapisz tabelę strony jako CSV...",
                                    "Zapisz tabelę strony jako PDF...", "Drukuj tabelę strony..."}));
    QVERIFY(site.messages.empty());
}

void ReportsTest::reportWindowSortsByColumnTitle() {
    Site site;
    fillSite(site.workDir());
    Unlocked window(site);
    ReportsMenu::setReaderChooser([] { return 1; });
    window.menu->findChild<QAction*>(QStringLiteral("Raport1"))->trigger();
    auto* report = window.form.findChild<ReportWindow*>();
    QVERIFY(report);
    QCOMPARE(report->windowTitle(), QStringLiteral("Kto otworzy czytnik 1: Brama"));
    QCOMPARE(column(*report->grid()->model(), 0), (QStringList{"1", "2", "3", "4"}));
    // A click on "Nazwisko" sorts by it in Polish order (Ł after L, "=" first); a second click reverses.
    QHeaderView* header = report->grid()->horizontalHeader();
    const QPoint nazwisko(header->sectionViewportPosition(2) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nazwisko);
    QCOMPARE(column(*report->grid()->model(), 2), (QStringList{"=1+1", "Kowalski", "Łukasiewicz", "Wróbel; \"Ptaszek\""}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nazwisko);
    QCOMPARE(column(*report->grid()->model(), 0), (QStringList{"2", "4", "1", "3"}));
    // Numbers sort as numbers.
    ReportModel numbers({"t", {"N"}, {true}, {{"10"}, {"9"}, {"100"}, {""}}});
    numbers.sort(0);
    QCOMPARE(column(numbers, 0), (QStringList{"", "9", "10", "100"}));

    // "Co otworzy bieżąca osoba" is about the user under the cursor.
    window.form.Table1().moveTo(2);
    window.menu->findChild<QAction*>(QStringLiteral("Raport2"))->trigger();
    const auto reports = window.form.findChildren<ReportWindow*>();
    QCOMPARE(reports.size(), 2);
    ReportWindow* second = reports.constLast();
    QCOMPARE(second->windowTitle(), QStringLiteral("Co otworzy osoba 2: Żaneta Wróbel; \"Ptaszek\", grupa Ochrona"));
    QCOMPARE(column(*second->model(), 1), (QStringList{"Brama", "Serwerownia"}));
    QCOMPARE(window.form.Table1().recNo(), 2);
    QVERIFY(site.messages.empty());
}

void ReportsTest::csvReadsBackWithPython() {
    Site site;
    fillSite(site.workDir());
    Unlocked window(site);
    ReportsMenu::setReaderChooser([] { return 1; });
    ReportWindow* report = window.menu->openReport(0);
    QVERIFY(report);
    const QString path = site.workDir() + QStringLiteral("/kto otworzy.csv");
    QString suggested;
    GridExport::setPathChooser([&](const QString& offered, const QString&) {
        suggested = offered;
        return path;
    });
    QTest::mouseClick(report->findChild<QPushButton*>(QStringLiteral("ReportSaveCsv")), Qt::LeftButton);
    QVERIFY(suggested.endsWith(QStringLiteral("Kto otworzy czytnik 1- Brama.csv")));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF" "ID;Imię;Nazwisko;Grupa\r\n"));
    const QJsonArray rows = readCsvWithPython(path);
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0].toArray().toVariantList(), (QVariantList{"ID", "Imię", "Nazwisko", "Grupa"}));
    QCOMPARE(rows[1].toArray().toVariantList(), (QVariantList{"1", "Jan", "Kowalski", "Biuro"}));
    QCOMPARE(rows[2].toArray().toVariantList(), (QVariantList{"2", "Żaneta", "Wróbel; \"Ptaszek\"", "Ochrona"}));
    QCOMPARE(rows[3].toArray().toVariantList(), (QVariantList{"3", "Anna", "'=1+1", "Biuro"}));
    QCOMPARE(rows[4].toArray().toVariantList(), (QVariantList{"4", "Adam", "Łukasiewicz", "Ochrona"}));
    QVERIFY(site.messages.empty());
}

void ReportsTest::csvFields_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << "Kowalski" << "Kowalski";
    QTest::newRow("separator") << "a;b" << "\"a;b\"";
    QTest::newRow("quotes") << "a \"b\"" << "\"a \"\"b\"\"\"";
    QTest::newRow("line break") << "a\nb" << "\"a\nb\"";
    QTest::newRow("blanks round") << " a " << "\" a \"";
    QTest::newRow("formula") << "=SUMA(A1)" << "'=SUMA(A1)";
    QTest::newRow("plus") << "+48 600" << "'+48 600";
    QTest::newRow("at") << "@x" << "'@x";
    QTest::newRow("negative number") << "-12" << "-12";
    QTest::newRow("empty") << "" << "";
}

void ReportsTest::csvFields() {
    QFETCH(QString, value);
    QFETCH(QString, written);
    QCOMPARE(csvField(value), written);
}

void ReportsTest::pdfShowsTitleFirstAndLastRows() {
    Site site;
    fillSite(site.workDir());
    Unlocked window(site);
    ReportWindow* report = window.menu->openReport(2); // Osoby bez grupy: none here
    QVERIFY(report);
    QCOMPARE(report->model()->rowCount(), 0);
    ReportsMenu::setReaderChooser([] { return 1; });
    report = window.menu->openReport(0);
    const QString path = site.workDir() + QStringLiteral("/raport.pdf");
    GridExport::setPathChooser([&](const QString&, const QString&) { return path; });
    QTest::mouseClick(report->findChild<QPushButton*>(QStringLiteral("ReportSavePdf")), Qt::LeftButton);
    const QString text = pdfText(path);
    QVERIFY2(text.contains(QStringLiteral("Kto otworzy czytnik 1: Brama")), qPrintable(text));
    // pdftotext may split a long path where the glyphs stand apart: compared without blanks.
    QString solid = text;
    solid.remove(QRegularExpression(QStringLiteral("\\s")));
    QVERIFY2(solid.contains(QStringLiteral("Obiekt:") + QDir::toNativeSeparators(QDir::currentPath())), qPrintable(text));
    QVERIFY(text.contains(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("1\\s+Jan\\s+Kowalski\\s+Biuro"))));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("4\\s+Adam\\s+Łukasiewicz\\s+Ochrona"))));
    QVERIFY(text.contains(QStringLiteral("Strona 1 z 1")));
    QVERIFY(site.messages.empty());
}

void ReportsTest::longPdfRepeatsTheTitlesOnEveryPage() {
    db::reports::ReportTable table{"Długi raport", {"Numer", "Nazwa"}, {true, false}, {}};
    for (int n = 1; n <= 500; ++n) {
        table.rows.push_back({std::to_string(n), "Osoba " + std::to_string(n)});
    }
    ReportModel model(table);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("dlugi.pdf")));
    GridPrinter job(model, {QStringLiteral("Długi raport"), QStringLiteral("obiekt"), QDateTime::currentDateTime()});
    QVERIFY(job.print(printer));
    QVERIFY(job.pageCount() > 5);
    const QStringList pages = pdfText(dir.filePath(QStringLiteral("dlugi.pdf"))).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pages.size(), job.pageCount());
    for (int page = 0; page < pages.size(); ++page) {
        QVERIFY(pages[page].contains(QStringLiteral("Długi raport")));
        QVERIFY(pages[page].contains(QRegularExpression(QStringLiteral("Numer\\s+Nazwa"))));
        QVERIFY(pages[page].contains(GridPrinter::pageText(page + 1, job.pageCount())));
    }
    QVERIFY(pages.constFirst().contains(QRegularExpression(QStringLiteral("\\b1\\s+Osoba 1\\n"))));
    QVERIFY(pages.constLast().contains(QStringLiteral("Osoba 500")));
    // Every row is on exactly one page.
    int rows = 0;
    for (const QString& page : pages) {
        rows += static_cast<int>(page.count(QStringLiteral("Osoba ")));
    }
    QCOMPARE(rows, 500);
}

void ReportsTest::cancelledPdfStops() {
    db::reports::ReportTable table{"Raport", {"Numer"}, {true}, {}};
    for (int n = 1; n <= 500; ++n) {
        table.rows.push_back({std::to_string(n)});
    }
    ReportModel model(table);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("przerwany.pdf")));
    GridPrinter job(model, {QStringLiteral("Raport"), QString(), QDateTime::currentDateTime()});
    int calls = 0;
    QVERIFY(!job.print(printer, [&](int done, int) { ++calls; return done < 2; }));
    QCOMPARE(calls, 3);
    QVERIFY(!job.failed());
}

void ReportsTest::cancelInTheProgressDialogLeavesNoFile() {
    db::reports::ReportTable table{"Raport", {"Numer", "Nazwa"}, {true, false}, {}};
    for (int n = 1; n <= 40000; ++n) {
        table.rows.push_back({std::to_string(n), "Osoba " + std::to_string(n)});
    }
    ReportModel model(table);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("przerwany.pdf"));
    // "Anuluj" pressed once the progress dialog shows, while the pages are being made.
    bool pressed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* progress = qobject_cast<QProgressDialog*>(widget);
            if (progress && progress->isVisible() && progress->value() > 0 && !pressed) {
                pressed = true;
                QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
            }
        }
    });
    poll.start(20);
    GridExport exporter(nullptr, model, QStringLiteral("Raport"));
    QVERIFY(!exporter.writePdf(path));
    QVERIFY(pressed);
    QVERIFY(!QFile::exists(path));
}

void ReportsTest::pageGridGoesOutAsCsv() {
    Site site;
    fillSite(site.workDir());
    Unlocked window(site);
    auto* notebook = window.form.findChild<QTabWidget*>(QStringLiteral("Zakladka"));
    notebook->setCurrentIndex(1); // Grupy
    const QString path = site.workDir() + QStringLiteral("/grupy.csv");
    GridExport::setPathChooser([&](const QString&, const QString&) { return path; });
    window.menu->findChild<QAction*>(QStringLiteral("TabelaCsv1"))->trigger();
    QJsonArray rows = readCsvWithPython(path);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].toArray().toVariantList(), (QVariantList{"Nazwa grupy"}));
    QCOMPARE(rows[2].toArray().toVariantList(), (QVariantList{"Ochrona"}));
    notebook->setCurrentIndex(0);
    window.menu->findChild<QAction*>(QStringLiteral("TabelaCsv1"))->trigger();
    rows = readCsvWithPython(path);
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0].toArray().toVariantList(), (QVariantList{"ID", "Imię", "Nazwisko", "Grupa"}));
    QCOMPARE(rows[4].toArray().toVariantList(), (QVariantList{"4", "Adam", "Łukasiewicz", "Ochrona"}));
    // The Settings page has no grid: the entries are offered only where there is one.
    notebook->setCurrentIndex(3);
    emit window.menu->aboutToShow();
    QVERIFY(!window.menu->findChild<QAction*>(QStringLiteral("TabelaPdf1"))->isEnabled());
    QVERIFY(site.messages.empty());
}

void ReportsTest::unwritableFileIsReported() {
    Site site;
    fillSite(site.workDir());
    Unlocked window(site);
    ReportWindow* report = window.menu->openReport(6);
    const QString path = site.workDir() + QStringLiteral("/brak/folderu/plik");
    GridExport::setPathChooser([&](const QString&, const QString&) { return path + ".csv"; });
    QTest::mouseClick(report->findChild<QPushButton*>(QStringLiteral("ReportSaveCsv")), Qt::LeftButton);
    GridExport::setPathChooser([&](const QString&, const QString&) { return path + ".pdf"; });
    QTest::mouseClick(report->findChild<QPushButton*>(QStringLiteral("ReportSavePdf")), Qt::LeftButton);
    QCOMPARE(site.messages.size(), 2u);
    for (const auto& message : site.messages) {
        QCOMPARE(message.title, QStringLiteral("Błąd zapisu"));
        QVERIFY(message.text.startsWith(QStringLiteral("Nie można zapisać pliku ") + path));
    }
    QVERIFY(!QFile::exists(path + ".pdf"));
}

void ReportsTest::cardReportsWaitForTheCardJournal() {
    Site site;
    fillSite(site.workDir());
    Unlocked window(site);
    auto* rewrite = window.menu->findChild<QAction*>(QStringLiteral("Raport8"));
    auto* lost = window.menu->findChild<QAction*>(QStringLiteral("Raport9"));
    QCOMPARE(rewrite->text(), QStringLiteral("Karty do przeprogramowania"));
    QCOMPARE(lost->text(), QStringLiteral("Zgubione karty"));
    // No card written at this site yet: both entries are there, disabled, and say why.
    emit window.menu->aboutToShow();
    for (QAction* action : {rewrite, lost}) {
        QVERIFY(!action->isEnabled());
        QCOMPARE(action->toolTip(), ReportsMenu::noJournalText());
        action->trigger();
    }
    QVERIFY(window.form.findChildren<ReportWindow*>().isEmpty());
    QVERIFY(!window.menu->openReport(8));
    QCOMPARE(site.messages.size(), 1u);
    QCOMPARE(site.messages[0].text, ReportsMenu::noJournalText());
    QVERIFY(!QFile::exists(site.workDir() + QStringLiteral("/karty.dbf")));
    site.messages.clear();

    // The first cards are written while the program runs: the next look at the menu offers both.
    using namespace journal::JournalKind;
    journal::CardJournal& journal = window.form.cardJournal();
    journal.append(journalRow("2026-03-01 08:00:00", kUserCard, 1, "Biuro", {1}));
    journal.append(journalRow("2026-03-01 08:05:00", kUserCard, 2, "Biuro", {1}));
    journal.append(journalRow("2026-03-01 08:10:00", kUserCard, 4, "Ochrona", {1, 5}));
    journal.append(journalRow("2026-03-01 09:00:00", kLost, 4, "Ochrona", {}));
    emit window.menu->aboutToShow();
    QVERIFY(rewrite->isEnabled() && lost->isEnabled());
    QVERIFY(rewrite->toolTip() != ReportsMenu::noJournalText());

    rewrite->trigger();
    ReportWindow* report = window.form.findChild<ReportWindow*>();
    QVERIFY(report);
    QCOMPARE(report->windowTitle(), QStringLiteral("Karty do przeprogramowania"));
    QCOMPARE(column(*report->model(), 0), (QStringList{"2", "3", "4"}));
    QCOMPARE(column(*report->model(), 4), (QStringList{"zmiana grupy", "brak karty", "brak karty"}));
    QCOMPARE(column(*report->model(), 5), (QStringList{"5", "1", "1, 5"}));
    QCOMPARE(column(*report->model(), 7),
             (QStringList{"2026-03-01 08:05:00, duplikat 0", "—", "2026-03-01 08:10:00, duplikat 0"}));

    // The lost cards go out as CSV like any report.
    lost->trigger();
    report = window.form.findChildren<ReportWindow*>().constLast();
    QCOMPARE(report->windowTitle(), QStringLiteral("Zgubione karty"));
    const QString path = site.workDir() + QStringLiteral("/zgubione.csv");
    GridExport::setPathChooser([&](const QString&, const QString&) { return path; });
    QTest::mouseClick(report->findChild<QPushButton*>(QStringLiteral("ReportSaveCsv")), Qt::LeftButton);
    const QJsonArray rows = readCsvWithPython(path);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].toArray().toVariantList(),
             (QVariantList{"ID", "Imię", "Nazwisko", "Duplikat", "Zgłoszona", "Zastąpiona", "Nowa karta"}));
    QCOMPARE(rows[1].toArray().toVariantList(), (QVariantList{"4", "", "", "0", "2026-03-01 09:00:00", "nie", ""}));
    QVERIFY(site.messages.empty());
}

void ReportsTest::cardReportsOfAJournalOnDisk() {
    // A site whose journal was written before the start (by an earlier run) offers the card reports
    // from the start, and the answer follows the journal: a replacement written since the loss.
    Site site;
    fillSite(site.workDir());
    {
        journal::CardJournal journal(site.workDir().toStdString());
        journal.append(journalRow("2026-03-01 08:10:00", journal::JournalKind::kUserCard, 4, "Ochrona", {1, 5}));
        journal.append(journalRow("2026-03-01 09:00:00", journal::JournalKind::kLost, 4, "Ochrona", {}));
        auto duplicate = journalRow("2026-03-01 09:30:00", journal::JournalKind::kDuplicate, 4, "Ochrona", {1, 5});
        duplicate.index = 1;
        journal.append(duplicate);
    }
    Unlocked window(site);
    auto* lost = window.menu->findChild<QAction*>(QStringLiteral("Raport9"));
    QVERIFY(lost->isEnabled());
    QVERIFY(lost->toolTip() != ReportsMenu::noJournalText());
    ReportWindow* report = window.menu->openReport(8);
    QVERIFY(report);
    QCOMPARE(column(*report->model(), 5), QStringList{"tak"});
    QCOMPARE(column(*report->model(), 6), QStringList{"2026-03-01 09:30:00, duplikat 1"});
    QVERIFY(site.messages.empty());
}

QTEST_MAIN(ReportsTest)
#include "ReportsTest.moc"

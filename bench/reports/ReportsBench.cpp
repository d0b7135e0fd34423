// The search box, the reports and printing on a large site, in the real main window: the time of each
// keystroke in the users' search box (the search, the cursor move, group tracking and the grid
// following), of "Następny", of every report, and of a PDF of the whole users grid.
//
//   reports-bench [users] [groups]      (defaults 65535 and 1000)

#include "BigJournal.h"
#include "DBGrid.h"
#include "GridPrinter.h"
#include "LargeSite.h"
#include "MainWindowBench.h"
#include "OperatorMessages.h"
#include "Program.h"
#include "RecordSearch.h"
#include "Report.h"
#include "ReportModel.h"
#include "ReportWindow.h"
#include "ReportsMenu.h"
#include "SearchBar.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace talvern;
using bench::ms;

namespace {

// The width of the figures' labels.
constexpr int kLabelWidth = 46;

} // namespace

int main(int argc, char** argv) {
    bench::MainWindowBench setup(argc, argv);
    db::bench::generateLargeSite(setup.site.path().toStdString(), setup.size);
    // The card reports read a card journal of 100,000 rows over the same users.
    const long journalRows = 100000;
    cards::bench::generateJournal(setup.site.path().toStdString(), journalRows, setup.size.users, setup.size.groups);
    QDir::setCurrent(setup.site.path());
    std::printf("site: %d users, %d groups, %d readers, %ld card journal rows\n", setup.size.users, setup.size.groups,
                setup.size.readers, journalRows);

    auto program = bench::openUnlockedMainWindow();
    if (!program) {
        return 2;
    }
    TForm1& form = *program->Form1;

    // Typing, key by key, as an operator looks people up; each keystroke searches from the top.
    auto* bar = form.findChild<SearchBar*>(QStringLiteral("UsersSearch"));
    const QStringList lookups = {QStringLiteral("łęcka 65001"), QStringLiteral("kowalski 4"), QStringLiteral("zbigniew"),
                                 QStringLiteral("65535"),       QStringLiteral("ŚLIWIŃSKA 3276"), QStringLiteral("nikt taki"),
                                 QStringLiteral("ćwik 12345")};
    bench::Figures keystrokes;
    bench::Figures noMatch;
    for (const QString& text : lookups) {
        bar->textBox()->clear();
        QApplication::processEvents();
        for (QChar c : text) {
            QElapsedTimer timer;
            timer.start();
            QTest::sendKeyEvent(QTest::Click, bar->textBox(), Qt::Key_unknown, QString(c), Qt::NoModifier);
            const double took = ms(timer);
            keystrokes.add(took);
            if (!bar->found()) {
                noMatch.add(took);
            }
            QApplication::processEvents(); // the grid repaints between keys, as it does for an operator
        }
    }
    keystrokes.print("search box, per keystroke", kLabelWidth);
    noMatch.print("  of which keystrokes matching nothing", kLabelWidth);

    bench::Figures nextPresses;
    bar->textBox()->setText(QStringLiteral("łucja"));
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer timer;
        timer.start();
        bar->searchNext();
        nextPresses.add(ms(timer));
        QApplication::processEvents();
    }
    nextPresses.print("\"Następny\" (every sixth user matches)", kLabelWidth);
    bar->textBox()->setText(QStringLiteral("nowak 65532"));
    bench::Figures farNext;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer timer;
        timer.start();
        bar->searchNext();
        farNext.add(ms(timer));
    }
    farNext.print("\"Następny\" (one match, at the end)", kLabelWidth);

    // The reports, computed (build) and shown (window).
    auto* menu = form.findChild<ReportsMenu*>();
    db::reports::SiteTables tables{form.Table1(), form.Table3(), form.Table2(), &form.cardJournal()};
    const auto catalogue = db::reports::reportCatalogue();
    bench::Figures who;
    int whoRows = 0;
    for (int reader : {1, 17, 50, 96}) {
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer timer;
            timer.start();
            whoRows = static_cast<int>(catalogue[0]->build(tables, reader).rows.size());
            who.add(ms(timer));
        }
    }
    who.print("who can open reader N (build)", kLabelWidth);
    std::printf("  rows for reader 96: %d\n", whoRows);
    for (std::size_t i = 1; i < catalogue.size(); ++i) {
        bench::Figures build;
        std::size_t rows = 0;
        for (int round = 0; round < 3; ++round) {
            QElapsedTimer timer;
            timer.start();
            rows = catalogue[i]->build(tables, 1).rows.size();
            build.add(ms(timer));
        }
        build.print((catalogue[i]->caption() + " (build)").c_str(), kLabelWidth);
        std::printf("  rows: %zu\n", rows);
    }
    ReportsMenu::setReaderChooser([] { return 17; });
    {
        QElapsedTimer timer;
        timer.start();
        ReportWindow* window = menu->openReport(0);
        QApplication::processEvents();
        std::printf("%-46s %.1f ms (%d rows)\n", "who can open reader 17, window shown", ms(timer),
                    window->model()->rowCount());
        timer.restart();
        window->model()->sort(2);
        std::printf("%-46s %.1f ms\n", "  sorted by a text column", ms(timer));
        window->close();
    }

    // A PDF of the whole users grid: every user on paper.
    {
        auto* grid = form.findChild<DBGrid*>(QStringLiteral("DBGrid1"));
        const QString path = setup.site.filePath(QStringLiteral("osoby.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        GridPrinter job(*grid->model(), {QStringLiteral("Osoby"), setup.site.path(), QDateTime::currentDateTime()});
        QElapsedTimer timer;
        timer.start();
        double longestStep = 0;
        QElapsedTimer step;
        step.start();
        job.print(printer, [&](int, int) {
            longestStep = std::max(longestStep, ms(step));
            QApplication::processEvents();
            step.restart();
            return true;
        });
        std::printf("%-46s %.1f s, %d pages, %.1f MB; longest time between two progress steps %.1f ms\n",
                    "PDF of the users grid", ms(timer) / 1000, job.pageCount(),
                    QFileInfo(path).size() / 1048576.0, longestStep);
    }
    std::printf("operator messages: %d\n", setup.messages);
    program.reset();
    return setup.messages == 0 ? 0 : 1;
}

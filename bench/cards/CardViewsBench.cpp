// The card windows on a large site, in the real main window: 65,535 users, 1,000 groups and a card
// journal of 100,000 rows. How long "Historia kart" takes to open, to scroll from the newest row to
// the oldest, and to filter by a user's number, by part of a name and by kind; how long "Karty do
// przeprogramowania" takes to open; and what following the users cursor (the lost-card line) adds
// to a step through the users grid.
//
//   card-views-bench [journal rows] [users] [pages]     (defaults 100000, 65535 and every page)
//
// pages: how many pages of the history to scroll, so that a run under valgrind --tool=callgrind (the
// instruction counts, steady on a busy machine) ends in minutes.

#include "BigJournal.h"
#include "CardHistoryModel.h"
#include "CardHistoryWindow.h"
#include "CardsToRewriteWindow.h"
#include "DBGrid.h"
#include "LargeSite.h"
#include "OperatorMessages.h"
#include "Program.h"
#include "TForm1.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <numeric>
#include <vector>

using namespace talvern;

namespace {

double ms(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

void print(const char* what, std::vector<double> samples) {
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    const double mean = std::accumulate(samples.begin(), samples.end(), 0.0) / samples.size();
    std::printf("%-44s n=%zu  mean %.2f ms  median %.2f ms  p99 %.2f ms  max %.2f ms\n", what, samples.size(), mean,
                samples[samples.size() / 2], samples[std::min(samples.size() - 1, samples.size() * 99 / 100)],
                samples.back());
}

// Scrolls a grid from top to bottom a page at a time (at most `limit` pages), painting each page; returns
// the times per page.
std::vector<double> scrollThrough(QTableView& grid, long limit) {
    QScrollBar* bar = grid.verticalScrollBar();
    std::vector<double> pages;
    QElapsedTimer timer;
    for (int value = 0; static_cast<long>(pages.size()) < limit; value += bar->pageStep()) {
        timer.restart();
        bar->setValue(std::min(value, bar->maximum()));
        grid.viewport()->repaint();
        pages.push_back(ms(timer));
        if (value >= bar->maximum())
            break;
    }
    return pages;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir site;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    db::bench::SiteSize size;
    if (argc > 2)
        size.users = std::atoi(argv[2]);
    const long pageLimit = argc > 3 ? std::atol(argv[3]) : std::numeric_limits<long>::max();
    OperatorMessages::setRecorder([](const OperatorMessage& message) {
        std::fprintf(stderr, "message: %s (%s)\n", qPrintable(message.text), qPrintable(message.title));
    });

    QElapsedTimer timer;
    timer.start();
    db::bench::generateLargeSite(site.path().toStdString(), size);
    std::printf("site: %d users, %d groups, generated in %.0f ms\n", size.users, size.groups, ms(timer));
    timer.restart();
    cards::bench::generateJournal(site.path().toStdString(), rows, size.users, size.groups);
    std::printf("journal: %ld rows, generated in %.0f ms\n", rows, ms(timer));
    QDir::setCurrent(site.path());

    timer.restart();
    std::unique_ptr<Program> program = createProgram();
    TForm1& form = *program->Form1;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the main window was not shown\n");
        return 2;
    }
    form.findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QStringLiteral("9"));
    form.BitBtn1Click();
    QApplication::processEvents();
    std::printf("open main window and unlock:                 %.1f ms\n", ms(timer));

    timer.restart();
    form.HistoriaKart1Click();
    CardHistoryWindow& history = *form.cardHistoryWindow();
    if (!QTest::qWaitForWindowExposed(&history))
        return 2;
    history.grid()->viewport()->repaint();
    std::printf("open \"Historia kart\" (%d rows):            %.1f ms\n", history.model()->rowCount(), ms(timer));

    timer.restart();
    const std::vector<double> pages = scrollThrough(*history.grid(), pageLimit);
    std::printf("scroll the history newest to oldest:         %.0f ms in %zu pages of %d rows\n", ms(timer),
                pages.size(), history.grid()->verticalScrollBar()->pageStep());
    print("  time per page of rows", pages);

    const auto filter = [&](const char* what, const QString& user, int kind) {
        std::vector<double> times;
        int shown = 0;
        for (int run = 0; run < 5; ++run) {
            history.userFilter()->setText(user);
            history.kindFilter()->setCurrentIndex(kind);
            timer.restart();
            history.applyFilter();
            history.grid()->viewport()->repaint();
            times.push_back(ms(timer));
            shown = history.model()->rowCount();
        }
        char title[96];
        std::snprintf(title, sizeof title, "filter %s (%d rows)", what, shown);
        print(title, times);
    };
    // The newest row's holder, so that the user filters find rows.
    const QString holder = QString::number(history.model()->rowAt(0).number);
    timer.restart();
    history.userFilter()->setText(holder);
    history.applyFilter();
    history.grid()->viewport()->repaint();
    std::printf("first filter (reads every row once):         %.1f ms\n", ms(timer));
    filter("by user number", holder, 0);
    filter("by part of a name", QStringLiteral("Nazwisko") + holder, 0);
    filter("by kind (lost cards)", QString(), 6);
    filter("by user and kind", holder, 1);
    filter("none (every row)", QString(), 0);

    timer.restart();
    form.KartyDoPrzeprogramowania1Click();
    CardsToRewriteWindow& rewrite = *form.cardsToRewriteWindow();
    if (!QTest::qWaitForWindowExposed(&rewrite))
        return 2;
    rewrite.grid()->viewport()->repaint();
    std::printf("open \"Karty do przeprogramowania\" (%d):    %.1f ms\n", rewrite.model()->rowCount(), ms(timer));
    history.hide();
    rewrite.hide();

    // Steps through the users grid: the lost-card line follows once the event loop is free.
    form.findChild<QTabWidget*>(QStringLiteral("Zakladka"))->setCurrentIndex(0);
    auto* grid = form.findChild<DBGrid*>(QStringLiteral("DBGrid1"));
    grid->setFocus();
    std::vector<double> steps;
    for (int step = 0; step < 100; ++step) {
        timer.restart();
        QTest::keyClick(grid, Qt::Key_Down);
        QApplication::processEvents();
        grid->viewport()->repaint();
        steps.push_back(ms(timer));
    }
    print("next user (arrow down, lost-card line)", steps);
    return 0;
}

// The pages on a large site, in the real main window: how long opening the window, scrolling the
// users grid from top to bottom, moving through users, adding a user and removing a group whose
// removal marks every user take, and how many times the grids are told to change and repaint while
// that removal runs.
//
//   pages-bench [users] [groups]      (defaults 65535 and 1000)

#include "DBGrid.h"
#include "LargeSite.h"
#include "MainWindowBench.h"
#include "OperatorMessages.h"
#include "Program.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TableModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace talvern;
using bench::control;
using bench::ms;

namespace {

// The width of the figures' labels.
constexpr int kLabelWidth = 44;

// Counts paint events of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

// Counts what a model tells its views.
struct ModelSignals {
    explicit ModelSignals(QAbstractItemModel* model) {
        QObject::connect(model, &QAbstractItemModel::modelReset, [this] { ++resets; });
        QObject::connect(model, &QAbstractItemModel::dataChanged, [this] { ++changes; });
    }
    int resets = 0;
    int changes = 0;
};

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    bench::MainWindowBench setup(argc, argv);

    QElapsedTimer timer;
    timer.start();
    db::bench::generateLargeSite(setup.site.path().toStdString(), setup.size);
    {
        // Every user in the first group, so that removing it marks them all.
        db::TTable users;
        users.open(setup.site.filePath(QStringLiteral("osoby.dbf")).toStdString());
        users.disableControls();
        const int group = users.fieldByName("GROUP").index();
        for (int row = 1; row <= users.recordCount(); ++row) {
            users.moveTo(row);
            users.edit();
            users.field(group).setAsString("Grupa 1");
            users.post();
        }
        users.enableControls();
    }
    std::printf("site: %d users, %d groups, %d readers, generated in %.0f ms\n", setup.size.users, setup.size.groups,
                setup.size.readers, ms(timer));
    QDir::setCurrent(setup.site.path());

    // Open the main window and unlock it with the administrator password of a new site.
    const long kbBefore = residentKb();
    timer.restart();
    std::unique_ptr<Program> program = bench::openUnlockedMainWindow();
    if (!program) {
        return 2;
    }
    TForm1& form = *program->Form1;
    const double openMs = ms(timer);
    std::printf("open main window and unlock:                 %.1f ms (resident memory +%ld kB)\n", openMs,
                residentKb() - kbBefore);

    auto* notebook = control<QTabWidget>(form, "Zakladka");
    notebook->setCurrentIndex(0);
    auto* grid = control<DBGrid>(form, "DBGrid1");
    QApplication::processEvents();

    // Scroll from top to bottom, one page of rows at a time, each page painted before the next.
    QScrollBar* bar = grid->verticalScrollBar();
    bench::Figures scroll;
    QElapsedTimer whole;
    whole.start();
    for (int value = 0;; value += bar->pageStep()) {
        timer.restart();
        bar->setValue(std::min(value, bar->maximum()));
        grid->viewport()->repaint();
        scroll.add(ms(timer));
        if (value >= bar->maximum()) {
            break;
        }
    }
    std::printf("scroll users grid top to bottom:             %.0f ms in %zu pages of %d rows\n", ms(whole),
                scroll.samples.size(), bar->pageStep());
    scroll.print("  time per page of rows", kLabelWidth);

    // The operator walks through users with the arrow keys: each step moves the cursor, shows the
    // user's boxes and refreshes the table (the name boxes' change), and group tracking follows.
    grid->setFocus();
    bench::Figures down;
    for (int step = 0; step < 200; ++step) {
        timer.restart();
        QTest::keyClick(grid, Qt::Key_Down);
        grid->viewport()->repaint();
        down.add(ms(timer));
    }
    down.print("next user (arrow down)", kLabelWidth);
    bench::Figures pageDown;
    for (int step = 0; step < 50; ++step) {
        timer.restart();
        QTest::keyClick(grid, Qt::Key_PageDown);
        grid->viewport()->repaint();
        pageDown.add(ms(timer));
    }
    pageDown.print("next page of users (Page Down)", kLabelWidth);
    timer.restart();
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    grid->viewport()->repaint();
    std::printf("to the last user (Ctrl+End):                 %.1f ms\n", ms(timer));

    // Add a user from the page.
    QTest::mouseClick(control<QPushButton>(form, "SpeedButton4"), Qt::LeftButton);
    timer.restart();
    QTest::mouseClick(control<QPushButton>(form, "Button9"), Qt::LeftButton);
    QApplication::processEvents();
    grid->viewport()->repaint();
    std::printf("add a user (Add):                            %.1f ms, new user number %s\n", ms(timer),
                qPrintable(grid->model()->index(grid->currentIndex().row(), 0).data().toString()));

    // Remove the group every user belongs to: the sweep marks all of them.
    notebook->setCurrentIndex(1);
    auto* groupsGrid = control<DBGrid>(form, "DBGrid2");
    QApplication::processEvents();
    QTest::mouseClick(control<QPushButton>(form, "SpeedButton5"), Qt::LeftButton);
    form.Table3().first();
    PaintCounter usersPaints(grid->viewport());
    PaintCounter groupsPaints(groupsGrid->viewport());
    ModelSignals usersModel(grid->model());
    ModelSignals groupsModel(groupsGrid->model());
    timer.restart();
    QTest::mouseClick(control<QPushButton>(form, "Button10"), Qt::LeftButton);
    const double sweepMs = ms(timer);
    QApplication::processEvents();
    groupsGrid->viewport()->repaint();
    const double shownMs = ms(timer);
    db::TTable& users = form.Table1();
    int marked = 0;
    const int groupField = users.findField("GROUP");
    for (int row = 1; row <= users.recordCount(); ++row) {
        marked += users.valueAt(row, groupField) == db::kLackOfAssignment;
    }
    std::printf("remove a group marking every user (Remove):  %.1f ms, %.1f ms until the grid is painted\n", sweepMs,
                shownMs);
    std::printf("  users marked %d of %d; users grid: %d resets, %d data changes, %d paints; "
                "groups grid: %d resets, %d data changes, %d paints\n",
                marked, users.recordCount(), usersModel.resets, usersModel.changes, usersPaints.paints,
                groupsModel.resets, groupsModel.changes, groupsPaints.paints);
    std::printf("operator messages: %d\n", setup.messages);
    program.reset();
    OperatorMessages::clearRecorder();
    return setup.messages == 0 ? 0 : 1;
}

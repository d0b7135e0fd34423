#pragma once
// What the benches that drive the real main window over a large site share: settings in a scratch
// folder, the site's size from the command line, the operator messages counted, the window opened
// and unlocked, and the figures of a series of timings.

#include "LargeSite.h"
#include "Program.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace talvern::bench {

// Milliseconds since the timer was started.
double ms(const QElapsedTimer& timer);

// Timings of one step taken many times, printed as mean, median, 99th percentile and maximum.
struct Figures {
    std::vector<double> samples;
    void add(double value) { samples.push_back(value); }
    // One line, what padded to labelWidth; nothing when no sample was taken.
    void print(const char* what, int labelWidth) const;
};

// Points HOME and XDG_CONFIG_HOME at a scratch folder for as long as it lives, so that the bench never
// sees a real user's settings. Made before the QApplication, which reads them.
class ScratchSettings {
public:
    ScratchSettings();

private:
    QTemporaryDir m_folder;
};

// The set-up every such bench starts with, in this order: the scratch settings, the application, an
// empty folder for the site, the site's size ([users] [groups] from the command line, read once the
// application has taken its own options, or the defaults) and the operator messages counted (each
// printed on stderr as well).
struct MainWindowBench {
    MainWindowBench(int& argc, char** argv);
    MainWindowBench(const MainWindowBench&) = delete;
    MainWindowBench& operator=(const MainWindowBench&) = delete;

    ScratchSettings settings;
    QApplication app;
    QTemporaryDir site;
    db::bench::SiteSize size;
    int messages = 0;
};

// Creates the program in the current folder, shows the main window and unlocks it with the
// administrator password of a new site. Null, and said on stderr, when the window cannot be shown.
std::unique_ptr<Program> openUnlockedMainWindow();

// The control of the window with that object name; ends the bench when there is none.
template <typename T> T* control(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "no control %s\n", name);
        std::exit(2);
    }
    return found;
}

} // namespace talvern::bench

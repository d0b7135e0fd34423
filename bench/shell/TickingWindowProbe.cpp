// The floor under the program's idle figure: a window of the main window's size with a status bar,
// woken by a 50 ms timer as the connection animation wakes the program, and doing nothing on the
// tick. Says "connected" once shown, then runs its event loop until it is ended. What the program
// costs above this is what its tick does.

#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.resize(693, 570);
    window.statusBar()->showMessage(QStringLiteral("Connect: COM1 "));
    window.show();
    QTimer tick;
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, [] {});
    tick.start();
    QTimer::singleShot(500, [] {
        std::fputs("connected\n", stdout);
        std::fflush(stdout);
    });
    return application.exec();
}

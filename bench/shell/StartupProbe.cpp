// One start of a window, timed from outside: the process writes "shown" on its standard output the
// moment its window is on screen (exposed), then ends. Built three times: as TALVERN's own start-up
// (the same steps as the program entry, ending on the locked window), as a bare Qt window of the
// same size started the same way, and as that window with one line of text, which shows what the
// font system alone costs before any window can draw a word.

#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <memory>

#ifdef TALVERN_PROBE
#include "OperatorMessages.h"
#include "Program.h"
#else
#include <QLabel>
#include <QMainWindow>
#endif

namespace {

void reportWhenExposed(QWidget& window) {
    auto* poll = new QTimer(&window);
    poll->setInterval(1);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll] {
        if (window.windowHandle() && window.windowHandle()->isExposed()) {
            poll->stop();
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
    });
    poll->start();
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
#ifdef TALVERN_PROBE
    std::unique_ptr<talvern::Program> program;
    try {
        program = talvern::createProgram();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    QWidget& window = *program->Form1;
#else
    QMainWindow bare;
    bare.setFixedSize(399, 199);
#ifdef TEXT_PROBE
    auto* label = new QLabel(QStringLiteral("Zatwierdź"), &bare);
    label->move(104, 169);
#endif
    QWidget& window = bare;
#endif
    window.show();
    reportWhenExposed(window);
    return application.exec();
}

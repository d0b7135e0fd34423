// The program connected to its card programmer and then left alone, for idle_cpu_bench to watch
// from outside. The same start-up as the program entry, in the folder it is started in; once the
// table pages are built, the administrator's password goes into the locked window and "Połącz" is
// chosen from the Port menu, as an operator would. Says "connected" on its standard output when
// the status line shows the connection, then runs its event loop until it is ended.

#include "DisplayChoice.h"
#include "OperatorMessages.h"
#include "Program.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

// Runs step() on every turn of the event loop until it returns true.
void whenReady(QObject* context, std::function<bool()> step) {
    if (step())
        return;
    QTimer::singleShot(10, context, [context, step = std::move(step)]() mutable { whenReady(context, std::move(step)); });
}

} // namespace

int main(int argc, char** argv) {
    talvern::prepareDisplay(); // as the program entry does
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("talvern"));
    // A message box would wait for a click that never comes: say it and end instead.
    talvern::OperatorMessages::setRecorder([](const talvern::OperatorMessage& message) {
        std::fprintf(stderr, "message: %s\n", message.text.toUtf8().constData());
        QCoreApplication::exit(1);
    });
    std::unique_ptr<talvern::Program> program;
    try {
        program = talvern::createProgram(talvern::PagesBuilt::AfterFirstShow);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    talvern::TForm1& form = *program->Form1;
    form.show();
    whenReady(&form, [&form] {
        if (!form.pagesAreBuilt())
            return false;
        form.findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QStringLiteral("9"));
        form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
        form.findChild<QAction*>(QStringLiteral("COM11"))->trigger(); // "Połącz"
        whenReady(&form, [&form] {
            if (!form.statusText().startsWith(QStringLiteral("Connect:")))
                return false;
            std::puts("connected");
            std::fflush(stdout);
            return true;
        });
        return true;
    });
    return application.exec();
}

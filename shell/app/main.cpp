// TALVERN: the desktop management program of a card-based access-control site. It works on the
// three tables of the working directory; started from the desktop's menu (`--menu`), of the
// operator's site folder (SiteChoice.h). Other arguments are ignored.

#include "DamagedStart.h"
#include "DisplayChoice.h"
#include "InfoOptions.h"
#include "OperatorMessages.h"
#include "Pictures.h"
#include "Program.h"
#include "SiteChoice.h"
#include "TerminationSignals.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (auto code = talvern::handleInfoOptions(argc, argv))
        return *code;
    talvern::prepareDisplay();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("talvern"));
    QApplication::setWindowIcon(talvern::pictures::windowIcon());

    // Caught from the start. A logout or a kill closes the main window as the operator would, which
    // ends the event loop; the tables close when the program's windows are destroyed below. Should
    // the window refuse to close, the loop is ended all the same: the session is going. Before the
    // window is up (a start-up box may be waiting for OK), the box is left and the start-up ends.
    talvern::TerminationSignals endOfSession;
    std::unique_ptr<talvern::Program> program;
    bool ending = false;
    endOfSession.watch([&](int) {
        ending = true;
        if (program && program->Form1->isVisible()) {
            if (!program->Form1->close())
                QCoreApplication::quit();
        } else {
            QCoreApplication::exit(0); // every running loop, a start-up box's among them
        }
    });

    // The site folder becomes the working directory before the tables are opened.
    const auto site = talvern::site::enter(QCoreApplication::arguments());
    if (!site)
        return ending ? 0 : 1;

    // The main window could not be built, most often a table that cannot be opened (a damaged one is
    // named, with what is wrong, in Polish, and the newest good backup is offered); the program ends
    // without having written to it, or starts again on the tables the operator chose to restore.
    for (int attempt = 0; !program; ++attempt) {
        try {
            program = talvern::createProgram(talvern::PagesBuilt::AfterFirstShow);
        } catch (const std::exception& error) {
            if (ending || attempt > 0 || !talvern::reportStartupFailure(error)) {
                if (!ending && attempt > 0)
                    talvern::OperatorMessages::showError(talvern::startupErrorText(error));
                return 1;
            }
        }
    }
    if (ending)
        return 0;
    talvern::site::showInTitle(*program->Form1, *site);
    program->Form1->show();
    return application.exec();
}

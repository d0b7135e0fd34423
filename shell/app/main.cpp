// TALVERN: the desktop management program of a card-based access-control site. It works on the
// three tables of the working directory and takes no command-line arguments.

#include "OperatorMessages.h"
#include "Pictures.h"
#include "Program.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("talvern"));
    QApplication::setWindowIcon(talvern::pictures::windowIcon());

    std::unique_ptr<talvern::Program> program;
    try {
        program = talvern::createProgram(talvern::PagesBuilt::AfterFirstShow);
    } catch (const std::exception& error) {
        // The main window could not be built, most often a table that cannot be opened (a damaged one
        // is named, with what is wrong, in Polish); the program ends without having written to it.
        talvern::OperatorMessages::showError(talvern::startupErrorText(error));
        return 1;
    }
    program->Form1->show();
    return application.exec();
}

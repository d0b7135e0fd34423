// One start of a window, timed from outside: the process writes "shown" on its standard output the
// moment its window has first been drawn on screen, then "ready" once the start-up work left for
// after that first drawing is done, then ends. Built three times: as TALVERN's own start-up (the
// same steps as the program entry, ending on the locked window; "ready" once the table pages are
// built), as a bare Qt window of the same size started the same way, and as that window with one
// line of text, which shows what the font system alone costs before any window can draw a word.

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <memory>

#ifdef TALVERN_PROBE
#include "DisplayChoice.h"
#include "OperatorMessages.h"
#include "Pictures.h"
#include "Program.h"
#else
#include <QLabel>
#include <QMainWindow>
#endif

namespace {

void say(const char* word) {
    std::fputs(word, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Lets the window handle its first exposure (which draws it and puts it on screen) and then says
// "shown"; once ready() holds, says "ready" and ends the event loop.
class FirstExposure : public QObject {
public:
    explicit FirstExposure(std::function<bool()> ready) : m_ready(std::move(ready)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* handle = static_cast<QWindow*>(watched);
        if (event->type() != QEvent::Expose || !handle->isExposed())
            return false;
        handle->removeEventFilter(this);
        static_cast<QObject*>(handle)->event(event); // the window draws itself now
        say("shown");
        waitUntilReady();
        return true;
    }

private:
    void waitUntilReady() {
        if (m_ready()) {
            say("ready");
            QCoreApplication::exit(0);
            return;
        }
        QTimer::singleShot(0, this, [this] { waitUntilReady(); });
    }

    std::function<bool()> m_ready;
};

} // namespace

int main(int argc, char** argv) {
#ifdef TALVERN_PROBE
    talvern::prepareDisplay(); // as the program entry does
#endif
    QApplication application(argc, argv);
#ifdef TALVERN_PROBE
    QApplication::setWindowIcon(talvern::pictures::windowIcon());
    std::unique_ptr<talvern::Program> program;
    try {
        program = talvern::createProgram(talvern::PagesBuilt::AfterFirstShow);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    talvern::TForm1& form = *program->Form1;
    QWidget& window = form;
    const std::function<bool()> ready = [&form] { return form.pagesAreBuilt(); };
#else
    QMainWindow bare;
    bare.setFixedSize(399, 199);
#ifdef TEXT_PROBE
    auto* label = new QLabel(QStringLiteral("Zatwierdź"), &bare);
    label->move(104, 169);
#endif
    QWidget& window = bare;
    const std::function<bool()> ready = [] { return true; };
#endif
    // The probe watches the window from before it is shown, so that what the window itself does on
    // its first exposure comes first.
    window.winId();
    FirstExposure firstExposure(ready);
    window.windowHandle()->installEventFilter(&firstExposure);
    window.show();
    return application.exec();
}

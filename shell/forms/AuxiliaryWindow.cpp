#include "AuxiliaryWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace talvern {

namespace {

// Centres the window the first time it is shown (only then is its frame known).
class CentreOnFirstShow : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !m_done) {
            m_done = true;
            centreOnScreen(*static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    bool m_done = false;
};

} // namespace

void centreOnScreen(QWidget& window) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize outer = window.frameGeometry().size();
    window.move(available.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

void prepareAuxiliaryWindow(QWidget& window, QSize size, AuxiliaryFrame frame, int fontPixels) {
    QFont font = window.font();
    font.setFamily(QStringLiteral("sans-serif"));
    font.setPixelSize(fontPixels);
    window.setFont(font);
    if (frame == AuxiliaryFrame::FixedDialog) {
        window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint);
        window.setFixedSize(size);
    } else {
        window.setWindowFlags(Qt::Window);
        window.resize(size);
    }
    // Closing a secondary window only hides it; it never ends the program.
    window.setAttribute(Qt::WA_QuitOnClose, false);
    window.installEventFilter(new CentreOnFirstShow(&window));
}

} // namespace talvern

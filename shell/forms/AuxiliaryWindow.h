#pragma once
// What the three secondary windows share: a frame, a client size, a font size, and a place in the
// centre of the screen each time they are shown.

#include <QSize>

class QWidget;

namespace talvern {

enum class AuxiliaryFrame {
    FixedDialog, // fixed size, close box only
    Resizable,   // an ordinary window; the size given is the outer size
};

void prepareAuxiliaryWindow(QWidget& window, QSize size, AuxiliaryFrame frame, int fontPixels);

// Places a top-level window in the middle of the screen it is on.
void centreOnScreen(QWidget& window);

} // namespace talvern

#pragma once
// The program's two pictures, compiled into the shell library: the splash picture of the locked
// layout (a 400 x 200 24-bit bitmap) and the window icon.

#include <QIcon>
#include <QPixmap>

namespace talvern::pictures {

QPixmap splash();
QIcon windowIcon();
// The green tick of the confirm button. Drawn, not read: asking the style for its standard icon
// searches the desktop's icon theme first, which is the slowest step before the locked window shows.
QIcon okGlyph();

} // namespace talvern::pictures

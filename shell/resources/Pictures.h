#pragma once
// The program's two pictures, compiled into the shell library: the splash picture of the locked
// layout (a 400 x 200 24-bit bitmap) and the window icon.

#include <QIcon>
#include <QPixmap>

namespace talvern::pictures {

QPixmap splash();
QIcon windowIcon();

} // namespace talvern::pictures

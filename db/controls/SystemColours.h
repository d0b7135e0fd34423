#pragma once
// The three desktop colours the pages use to show whether a box can be typed into:
// the window colour (background of writable text), the active-border colour and the
// inactive-border colour.

#include <QColor>

class QWidget;

namespace talvern::SystemColours {

QColor window();
QColor activeBorder();
QColor inactiveBorder();

// Gives a box the colour as its background (the text keeps the palette's text colour).
void setBackground(QWidget& box, const QColor& colour);

// The background a box shows now.
QColor background(const QWidget& box);

} // namespace talvern::SystemColours

#include "SystemColours.h"

#include <QApplication>
#include <QComboBox>
#include <QPalette>
#include <QWidget>

namespace talvern::SystemColours {

// The desktop has no border colours of its own for windows, so the two border colours are
// fixed shades that sit between the window colour and the dialog background: light enough to
// read black text on, dark enough to tell a read-only box from a writable one at a glance.
QColor window() {
    return QApplication::palette().color(QPalette::Active, QPalette::Base);
}

QColor activeBorder() {
    return QColor(180, 180, 180);
}

QColor inactiveBorder() {
    return QColor(244, 247, 252);
}

void setBackground(QWidget& box, const QColor& colour) {
    QPalette palette = box.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, colour);
        // A drop-down list without an edit field paints its face in the button colour.
        if (qobject_cast<QComboBox*>(&box)) {
            palette.setColor(group, QPalette::Button, colour);
        }
    }
    box.setPalette(palette);
}

QColor background(const QWidget& box) {
    return box.palette().color(QPalette::Active, QPalette::Base);
}

} // namespace talvern::SystemColours

#pragma once

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>

namespace talvern {

// The pick list of a drop-down box is a window of its own to a screen reader; it takes the box's name
// (the caption of the box's label) when it opens. The typing field of an editable box is a control of
// its own to a screen reader too, and answers to the same name.
inline void nameList(QComboBox& box) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&box);
    const QString name = accessible ? accessible->text(QAccessible::Name) : QString();
    const QString shown = name.isEmpty() ? box.objectName() : name;
    box.view()->setAccessibleName(shown);
    if (box.lineEdit())
        box.lineEdit()->setAccessibleName(shown);
}

} // namespace talvern

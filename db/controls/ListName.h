#pragma once

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>

namespace talvern {

// The pick list of a drop-down box is a window of its own to a screen reader; it takes the box's name
// (the caption of the box's label) when it opens.
inline void nameList(QComboBox& box) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&box);
    const QString name = accessible ? accessible->text(QAccessible::Name) : QString();
    box.view()->setAccessibleName(name.isEmpty() ? box.objectName() : name);
}

} // namespace talvern

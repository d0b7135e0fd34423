#pragma once
// What the three pages share: the Edit and Confirm pair of toggle buttons, and boxes that are made
// writable or read-only and coloured to show it.

#include <QColor>

#include <functional>

class QAbstractButton;
class QWidget;

namespace talvern::pages {

// Makes the two buttons a group of which exactly one is down. Pressing either (also the one already
// down) runs its action through the operator messages' handler guard.
void joinModeButtons(QAbstractButton& edit, const std::function<void()>& onEdit, QAbstractButton& confirm,
                     const std::function<void()>& onConfirm);

// Makes a bound box (text box, note box, check box, drop-down box) writable or read-only.
void setWritable(QWidget& box, bool writable);
void setColour(QWidget& box, const QColor& colour);

} // namespace talvern::pages

#include "PageMode.h"

#include "DBCheckBox.h"
#include "DBComboBox.h"
#include "DBLookupComboBox.h"
#include "OperatorMessages.h"
#include "SystemColours.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <memory>

namespace talvern::pages {

namespace {

// The mode follows the button's state, however it went down: a click, a key, or an assistive tool's
// "Toggle" (which changes the state without any click). A press of the button already down changes no
// state; its click runs the action again.
void runOnPress(QAbstractButton& button, const std::function<void()>& action) {
    auto downAtPress = std::make_shared<bool>(false);
    QObject::connect(&button, &QAbstractButton::pressed, &button,
                     [&button, downAtPress] { *downAtPress = button.isChecked(); });
    QObject::connect(&button, &QAbstractButton::toggled, &button, [action](bool down) {
        if (down) {
            OperatorMessages::runHandler(action);
        }
    });
    QObject::connect(&button, &QAbstractButton::clicked, &button, [action, downAtPress] {
        if (*downAtPress) {
            OperatorMessages::runHandler(action);
        }
    });
}

} // namespace

void joinModeButtons(QAbstractButton& edit, const std::function<void()>& onEdit, QAbstractButton& confirm,
                     const std::function<void()>& onConfirm) {
    auto* group = new QButtonGroup(&edit);
    group->setExclusive(true);
    group->addButton(&edit);
    group->addButton(&confirm);
    for (QAbstractButton* button : {&edit, &confirm}) {
        button->setCheckable(true);
        // Like a tool bar button, the pair never takes the focus from the box being typed into.
        button->setFocusPolicy(Qt::NoFocus);
    }
    runOnPress(edit, onEdit);
    runOnPress(confirm, onConfirm);
}

void setWritable(QWidget& box, bool writable) {
    if (auto* line = qobject_cast<QLineEdit*>(&box)) {
        line->setReadOnly(!writable);
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(&box)) {
        text->setReadOnly(!writable);
    } else if (auto* check = qobject_cast<DBCheckBox*>(&box)) {
        check->setReadOnly(!writable);
    } else if (auto* combo = qobject_cast<DBComboBox*>(&box)) {
        combo->setReadOnly(!writable);
    } else if (auto* lookup = qobject_cast<DBLookupComboBox*>(&box)) {
        lookup->setReadOnly(!writable);
    }
}

void setColour(QWidget& box, const QColor& colour) {
    SystemColours::setBackground(box, colour);
}

} // namespace talvern::pages

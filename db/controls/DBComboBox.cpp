#include "DBComboBox.h"

#include "ListName.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

namespace talvern {

namespace {

// The box's typing field, which knows when a keystroke is being handled: the pick list's inline
// completion then sets the rest of an entry ("0" after a typed "12"), selected, and that text is a
// proposal, not what was typed.
class TypingField : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    bool isTyping() const { return m_typing; }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool outer = m_typing;
        m_typing = true;
        QLineEdit::keyPressEvent(event);
        m_typing = outer;
    }
    void inputMethodEvent(QInputMethodEvent* event) override {
        const bool outer = m_typing;
        m_typing = true;
        QLineEdit::inputMethodEvent(event);
        m_typing = outer;
    }

private:
    bool m_typing = false;
};

} // namespace

DBComboBox::DBComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    auto* field = new TypingField(this);
    setLineEdit(field);
    // Typed text is the field's value, never a new entry of the pick list.
    setInsertPolicy(QComboBox::NoInsert);
    // Typing, pasting and undoing edit the text (textEdited). Text set into the field from outside a
    // keystroke is taken as typed too: an assistive tool sets the whole text at once (setText), and a
    // pick from the list puts its entry there.
    connect(field, &QLineEdit::textEdited, this, &DBComboBox::changed);
    connect(field, &QLineEdit::textChanged, this, [this, field](const QString& text) {
        if (!field->isTyping()) {
            changed(text);
        }
    });
    connect(lineEdit(), &QLineEdit::returnPressed, this, &DBComboBox::commit);
    connect(this, &QComboBox::activated, this, [this](int index) { store(itemText(index)); });
}

void DBComboBox::bind(db::TTable& table, const QString& fieldName) {
    m_link.bind(this, table, fieldName, [this] { showField(); });
    nameList(*this);
}

void DBComboBox::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    lineEdit()->setReadOnly(readOnly);
}

void DBComboBox::showPopup() {
    if (!m_readOnly) {
        nameList(*this);
        QComboBox::showPopup();
    }
}

void DBComboBox::keyPressEvent(QKeyEvent* event) {
    // The arrow keys and Page keys would pick another entry of the list.
    if (m_readOnly) {
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void DBComboBox::wheelEvent(QWheelEvent* event) {
    if (m_readOnly) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

void DBComboBox::showField() {
    if (m_storing) {
        return;
    }
    // The table moved or changed under the box: whatever was typed and not stored is gone.
    m_before.reset();
    m_pending = false;
    const QString value = m_link.text().trimmed();
    if (value != currentText()) {
        const QSignalBlocker quiet(this);
        m_showing = true;
        setEditText(value);
        m_showing = false;
    }
}

void DBComboBox::changed(const QString& text) {
    if (m_showing || m_storing || !m_link.isBound()) {
        return;
    }
    // Neither the keyboard nor a tool changes a read-only or disabled box.
    if (m_readOnly || !isEnabled()) {
        showField();
        return;
    }
    storeTyped(text);
}

void DBComboBox::store(const QString& text) {
    m_storing = true;
    const bool stored = m_link.setText(text);
    m_storing = false;
    m_before.reset();
    m_pending = false;
    if (!stored) {
        showField();
    }
}

void DBComboBox::storeTyped(const QString& text) {
    m_storing = true;
    if (!m_before) {
        // The value to go back to is the one the change starts from: on an empty table that is the
        // relay time a new reader is given, not the empty box.
        m_link.beginChange();
        m_before = m_link.text();
    }
    // Each keystroke is checked without a word to the operator: "1" on the way to "15" is stored, "a"
    // on the way to a mistake is not, and the field goes back to its value from before the typing.
    m_pending = text.trimmed().isEmpty() || !m_link.trySetText(text);
    if (m_pending && m_link.text() != *m_before) {
        m_link.trySetText(*m_before);
    }
    m_storing = false;
}

bool DBComboBox::commit() {
    if (!m_pending) {
        return true;
    }
    const QString text = currentText();
    bool stored = true;
    if (!text.trimmed().isEmpty()) {
        // The table's own message, quoting the whole text typed.
        m_storing = true;
        stored = m_link.setText(text);
        m_storing = false;
    }
    showField();
    return stored;
}

} // namespace talvern

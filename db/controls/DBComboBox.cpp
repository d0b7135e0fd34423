#include "DBComboBox.h"

#include "ListName.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

namespace talvern {

DBComboBox::DBComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // Typed text is the field's value, never a new entry of the pick list.
    setInsertPolicy(QComboBox::NoInsert);
    // Every change of the typing field's text is taken as typed, not only keystrokes (textEdited): an
    // assistive tool sets the whole text at once, and a pick from the list puts its entry there.
    connect(lineEdit(), &QLineEdit::textChanged, this, &DBComboBox::changed);
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

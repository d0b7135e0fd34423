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
    connect(lineEdit(), &QLineEdit::textEdited, this, &DBComboBox::store);
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
    const QString value = m_link.text().trimmed();
    if (value != currentText()) {
        const QSignalBlocker quiet(this);
        setEditText(value);
    }
}

void DBComboBox::store(const QString& text) {
    m_storing = true;
    const bool stored = m_link.setText(text);
    m_storing = false;
    if (!stored) {
        showField();
    }
}

} // namespace talvern

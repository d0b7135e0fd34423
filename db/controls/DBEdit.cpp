#include "DBEdit.h"

namespace talvern {

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, &DBEdit::store);
}

void DBEdit::bind(db::TTable& table, const QString& fieldName) {
    m_link.bind(this, table, fieldName, [this] { showField(); });
    // The box takes no more than the field can hold, so a long name is cut while typing rather than
    // refused when the record is stored.
    const int width = m_link.width();
    setMaxLength(width > 0 ? width : 32767);
}

void DBEdit::showField() {
    // While a keystroke is being stored the table reports the edit it begins; the box already shows
    // the newer text.
    if (m_storing) {
        return;
    }
    const QString value = m_link.text();
    // Text fields give their value back without the trailing blanks that pad them, so a blank just
    // typed between two words is kept. Setting the same text again would also move the caret.
    QString shown = text();
    while (shown.endsWith(QLatin1Char(' '))) {
        shown.chop(1);
    }
    if (value != shown) {
        setText(value);
    }
}

void DBEdit::store(const QString& value) {
    m_storing = true;
    const bool stored = m_link.setText(value);
    m_storing = false;
    // A refused value is replaced by what the field holds.
    if (!stored) {
        showField();
    }
}

} // namespace talvern

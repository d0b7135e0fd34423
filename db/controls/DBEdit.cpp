#include "DBEdit.h"

namespace talvern {

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent) {
    // Every change of the text counts, not only keystrokes (textEdited): an assistive tool sets the
    // whole text at once, as setText does.
    connect(this, &QLineEdit::textChanged, this, &DBEdit::changed);
}

void DBEdit::bind(db::TTable& table, const QString& fieldName) {
    m_link.bind(this, table, fieldName, [this] { showField(); });
    // The box takes no more than the field can hold, so a long name is cut while typing rather than
    // refused when the record is stored.
    const int width = m_link.width();
    m_showing = true;
    setMaxLength(width > 0 ? width : 32767);
    m_showing = false;
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
        m_showing = true;
        setText(value);
        m_showing = false;
    }
}

void DBEdit::changed(const QString& text) {
    if (m_showing || m_storing || !m_link.isBound()) {
        return;
    }
    // The keyboard cannot change a read-only or disabled box; a tool may not either.
    if (isReadOnly() || !isEnabled()) {
        showField();
        return;
    }
    store(text);
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

#include "DBMemo.h"

namespace talvern {

DBMemo::DBMemo(QWidget* parent) : QPlainTextEdit(parent) {
    connect(this, &QPlainTextEdit::textChanged, this, &DBMemo::store);
}

void DBMemo::bind(db::TTable& table, const QString& fieldName) {
    m_link.bind(this, table, fieldName, [this] { showField(); });
}

void DBMemo::showField() {
    if (m_storing) {
        return;
    }
    // Notes in the tables end their lines with CR LF, as dBASE memo texts do; the box works
    // with LF and stores CR LF again, so the file keeps one convention.
    QString value = m_link.text();
    value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (value == toPlainText()) {
        return;
    }
    m_showing = true;
    setPlainText(value);
    m_showing = false;
}

void DBMemo::store() {
    // Only the operator's typing changes the record, not the box following the cursor.
    if (m_showing || isReadOnly() || !m_link.isBound()) {
        return;
    }
    QString value = toPlainText();
    value.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    m_storing = true;
    const bool stored = m_link.setText(value);
    m_storing = false;
    if (!stored) {
        showField();
    }
}

} // namespace talvern

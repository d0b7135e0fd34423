#include "DBText.h"

namespace talvern {

DBText::DBText(QWidget* parent) : QLabel(parent) {}

void DBText::bind(db::TTable& table, const QString& fieldName) {
    m_link.bind(this, table, fieldName, [this] { setText(m_link.text()); });
}

} // namespace talvern

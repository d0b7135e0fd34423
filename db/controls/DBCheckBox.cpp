#include "DBCheckBox.h"

namespace talvern {

DBCheckBox::DBCheckBox(QWidget* parent) : QCheckBox(parent) {
    setTristate(true);
}

void DBCheckBox::bind(db::TTable& table, const QString& fieldName) {
    m_link.bind(this, table, fieldName, [this] { showField(); });
}

void DBCheckBox::showField() {
    const std::optional<bool> value = m_link.boolean();
    const Qt::CheckState state = !value ? Qt::PartiallyChecked : (*value ? Qt::Checked : Qt::Unchecked);
    if (checkState() != state) {
        setCheckState(state);
    }
}

void DBCheckBox::nextCheckState() {
    // Called for the operator's click or space bar only: the box changes through its field, and shows
    // whatever the field then holds.
    if (m_readOnly || !m_link.isBound()) {
        return;
    }
    m_link.setBoolean(checkState() != Qt::Checked);
    showField();
}

} // namespace talvern

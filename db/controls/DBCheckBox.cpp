#include "DBCheckBox.h"

namespace talvern {

DBCheckBox::DBCheckBox(QWidget* parent) : QCheckBox(parent) {
    setTristate(true);
    // An assistive tool's "Toggle" sets the state without a click (toggle()), so nextCheckState never
    // hears of it; such a change is taken as the click it stands for.
    connect(this, &QCheckBox::stateChanged, this, [this](int state) { changed(Qt::CheckState(state)); });
}

void DBCheckBox::bind(db::TTable& table, const QString& fieldName) {
    m_link.bind(this, table, fieldName, [this] { showField(); });
}

void DBCheckBox::showField() {
    const std::optional<bool> value = m_link.boolean();
    const Qt::CheckState state = !value ? Qt::PartiallyChecked : (*value ? Qt::Checked : Qt::Unchecked);
    if (checkState() != state) {
        m_showing = true;
        setCheckState(state);
        m_showing = false;
    }
}

void DBCheckBox::changed(Qt::CheckState state) {
    if (m_showing || !m_link.isBound()) {
        return;
    }
    if (!m_readOnly && isEnabled()) {
        m_link.setBoolean(state == Qt::Checked);
    }
    showField();
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

#include "FieldLink.h"

#include "OperatorMessages.h"
#include "TableWatcher.h"

namespace talvern {

void FieldLink::bind(QObject* owner, db::TTable& table, const QString& fieldName, std::function<void()> show) {
    delete m_watcher;
    m_table = &table;
    m_fieldName = fieldName;
    m_watcher = new TableWatcher(table, owner);
    const std::string name = fieldName.toStdString();
    QObject::connect(m_watcher, &TableWatcher::recordMoved, owner, show);
    QObject::connect(m_watcher, &TableWatcher::dataSetChanged, owner, show);
    QObject::connect(m_watcher, &TableWatcher::stateChanged, owner, show);
    QObject::connect(m_watcher, &TableWatcher::recordChanged, owner, [this, name, show](int field) {
        // A change of another field of the record does not concern this widget.
        if (field < 0 || field == m_table->findField(name)) {
            show();
        }
    });
    show();
}

bool FieldLink::hasRecord() const {
    return m_table && m_table->isOpen() && (!m_table->isEmpty() || m_table->state() == db::TTable::State::Insert);
}

QString FieldLink::text() const {
    if (!hasRecord()) {
        return {};
    }
    try {
        return QString::fromStdString(m_table->fieldByName(m_fieldName.toStdString()).asString());
    } catch (const std::exception&) {
        // A table without this field shows nothing; the operator hears of it when the field is changed.
        return {};
    }
}

std::optional<bool> FieldLink::boolean() const {
    if (!hasRecord()) {
        return std::nullopt;
    }
    try {
        db::TField field = m_table->fieldByName(m_fieldName.toStdString());
        if (field.isNull()) {
            return std::nullopt;
        }
        return field.asBoolean();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

int FieldLink::width() const {
    if (!m_table || !m_table->isOpen()) {
        return 0;
    }
    const int index = m_table->findField(m_fieldName.toStdString());
    return index < 0 ? 0 : m_table->field(index).width();
}

bool FieldLink::change(const std::function<void(db::TField&)>& set) const {
    if (!m_table) {
        return false;
    }
    return OperatorMessages::runHandler([&] {
        m_table->edit();
        db::TField field = m_table->fieldByName(m_fieldName.toStdString());
        set(field);
    });
}

bool FieldLink::setText(const QString& value) const {
    const std::string utf8 = value.toStdString();
    return change([&](db::TField& field) { field.setAsString(utf8); });
}

bool FieldLink::beginChange() const {
    if (!m_table) {
        return false;
    }
    try {
        m_table->edit();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool FieldLink::trySetText(const QString& value) const {
    if (!m_table) {
        return false;
    }
    try {
        m_table->edit();
        m_table->fieldByName(m_fieldName.toStdString()).setAsString(value.toStdString());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool FieldLink::setBoolean(bool value) const {
    return change([&](db::TField& field) { field.setAsBoolean(value); });
}

} // namespace talvern

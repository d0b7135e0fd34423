#pragma once
// One field of the record under a table's cursor, as a bound widget sees it: its value as QString,
// and a change of it that begins an edit of the record (an append on an empty table), as typing into
// a bound box does. Errors of the table end the change and are shown to the operator.

#include "TTable.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace talvern {

class TableWatcher;

class FieldLink {
public:
    FieldLink() = default;

    // Follows field fieldName of table; show runs whenever what the widget shows may have changed.
    // The subscription lives as long as owner.
    void bind(QObject* owner, db::TTable& table, const QString& fieldName, std::function<void()> show);

    bool isBound() const { return m_table != nullptr; }
    db::TTable* table() const { return m_table; }
    const QString& fieldName() const { return m_fieldName; }
    TableWatcher* watcher() const { return m_watcher; }

    // True when there is a record to show: the table is open and has a record or an append under way.
    bool hasRecord() const;
    // The field's value on the current record; "" when there is no record.
    QString text() const;
    // The field's value as a logical; empty when there is no record or the field holds no value.
    std::optional<bool> boolean() const;
    // The field's width in characters; 0 when unknown.
    int width() const;

    // Begins a change of the current record and sets the field. Returns false when the table refused;
    // the operator has then seen the table's message.
    bool setText(const QString& value) const;
    bool setBoolean(bool value) const;
    // Begins a change of the current record (an append, filled as the table fills new records, on an
    // empty table) without setting anything; false, and nothing shown, when the table refused.
    bool beginChange() const;
    // As setText, but a refusal is only reported by the result: nothing is shown to the operator. For a
    // box that checks a value while it is being typed and reports it when the typing is done.
    bool trySetText(const QString& value) const;

private:
    bool change(const std::function<void(db::TField&)>& set) const;

    db::TTable* m_table = nullptr;
    QString m_fieldName;
    TableWatcher* m_watcher = nullptr;
};

} // namespace talvern

#pragma once
// Turns a table's change notifications into Qt signals, so that a widget can follow the cursor
// with ordinary connections. The subscription ends with the watcher.

#include "TTable.h"

#include <QObject>

namespace talvern {

class TableWatcher : public QObject {
    Q_OBJECT
public:
    TableWatcher(db::TTable& table, QObject* parent);

    db::TTable& table() const { return m_table; }

signals:
    void recordMoved();
    // field: the position of the field that changed, -1 when several may have.
    void recordChanged(int field);
    void dataSetChanged();
    void stateChanged();

private:
    db::TTable& m_table;
    db::Subscription m_subscription;
};

} // namespace talvern

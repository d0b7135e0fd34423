#include "TableWatcher.h"

namespace talvern {

TableWatcher::TableWatcher(db::TTable& table, QObject* parent) : QObject(parent), m_table(table) {
    m_subscription = m_table.subscribe([this](const db::TableChange& change) {
        switch (change.event) {
        case db::TableEvent::RecordMoved:
            emit recordMoved();
            break;
        case db::TableEvent::RecordChanged:
            emit recordChanged(change.field);
            break;
        case db::TableEvent::DataSetChanged:
            emit dataSetChanged();
            break;
        case db::TableEvent::StateChanged:
            emit stateChanged();
            break;
        }
    });
}

} // namespace talvern

#include "GroupTracking.h"

namespace talvern::db {

GroupTracking::GroupTracking(TTable& users, TTable& groups) : m_users(users), m_groups(groups) {
    m_subscription = m_users.subscribe([this](const TableChange& change) {
        switch (change.event) {
        case TableEvent::RecordMoved:
        case TableEvent::DataSetChanged:
            follow();
            break;
        case TableEvent::RecordChanged:
            if (change.field < 0 || change.field == m_users.findField(kUserGroupField)) {
                follow();
            }
            break;
        case TableEvent::StateChanged:
            break;
        }
    });
}

void GroupTracking::follow() {
    m_found = false;
    if (!m_users.isOpen() || !m_groups.isOpen()) {
        return;
    }
    if (m_users.isEmpty() && m_users.state() != TTable::State::Insert) {
        return;
    }
    const std::string group = m_users.fieldByName(kUserGroupField).asString();
    if (group.empty()) {
        return;
    }
    m_found = m_groups.locate(kGroupNameField, group, false);
}

} // namespace talvern::db

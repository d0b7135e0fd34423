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

int GroupTracking::firstGroupNamed(const std::string& name) {
    if (!m_indexed || m_indexedAt != m_groups.storedChangeCount()) {
        m_firstByName.clear();
        const int nameField = m_groups.fieldByName(kGroupNameField).index();
        const int count = m_groups.recordCount();
        for (int rec = 1; rec <= count; ++rec) {
            m_firstByName.try_emplace(m_groups.valueAt(rec, nameField), rec);
        }
        m_indexedAt = m_groups.storedChangeCount();
        m_indexed = true;
    }
    auto it = m_firstByName.find(name);
    return it == m_firstByName.end() ? 0 : it->second;
}

void GroupTracking::follow() {
    m_found = false;
    if (!m_users.isOpen() || !m_groups.isOpen() ||
        (m_users.isEmpty() && m_users.state() != TTable::State::Insert)) {
        return;
    }
    const std::string group = m_users.fieldByName(kUserGroupField).asString();
    if (group.empty()) {
        return;
    }
    if (m_groups.state() != TTable::State::Browse) {
        // A change under way on the groups is stored by the move (it may rename a group): search the table.
        m_found = m_groups.locate(kGroupNameField, group, false);
        return;
    }
    const int rec = firstGroupNamed(group);
    if (rec == 0) {
        return;
    }
    m_found = true;
    if (m_groups.recNo() != rec || m_groups.eof()) {
        m_groups.moveTo(rec);
    }
}

} // namespace talvern::db

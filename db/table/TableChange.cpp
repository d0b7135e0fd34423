#include "TableChange.h"

#include <algorithm>

namespace talvern::db {

void Subscription::reset() {
    if (m_entry) {
        m_entry->active = false;
        m_entry->listener = nullptr;
        m_entry.reset();
    }
}

Subscription TableNotifier::subscribe(TableListener listener) {
    auto entry = std::make_shared<Subscription::Entry>();
    entry->listener = std::move(listener);
    std::erase_if(m_entries, [](const auto& weak) { return weak.expired(); });
    m_entries.push_back(entry);
    return Subscription(entry);
}

void TableNotifier::notify(const TableChange& change) {
    // A copy, so that listeners may subscribe or unsubscribe while we walk the list.
    std::vector<std::shared_ptr<Subscription::Entry>> live;
    live.reserve(m_entries.size());
    for (const auto& weak : m_entries) {
        if (auto entry = weak.lock()) {
            live.push_back(std::move(entry));
        }
    }
    for (const auto& entry : live) {
        if (entry->active && entry->listener) {
            TableListener call = entry->listener; // survives an unsubscribe from inside the call
            call(change);
        }
    }
}

} // namespace talvern::db

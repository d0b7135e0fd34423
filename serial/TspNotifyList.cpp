#include "TspNotifyList.h"

#include "TspAttachments.h"

#include <algorithm>

namespace talvern::serial {

namespace {
void CallReceiver(void* object, TspBaseIO* sender, int code) {
    static_cast<TspNotifyReceiver*>(object)->SerialNotify(sender, code);
}
} // namespace

bool TspNotifyList::Contains(const TspNotifyEntry& entry) const {
    return std::find(m_entries.begin(), m_entries.end(), entry) != m_entries.end();
}

void TspNotifyList::Add(TspNotifyProc routine, void* object) {
    const TspNotifyEntry entry{routine, object};
    if (routine != nullptr && !Contains(entry))
        m_entries.push_back(entry);
}

void TspNotifyList::Remove(TspNotifyProc routine, void* object) { std::erase(m_entries, TspNotifyEntry{routine, object}); }

void TspNotifyList::Add(TspNotifyReceiver* receiver) {
    if (receiver != nullptr)
        Add(&CallReceiver, receiver);
}

void TspNotifyList::Remove(TspNotifyReceiver* receiver) { Remove(&CallReceiver, receiver); }

void TspNotifyList::RemoveObject(const void* object) {
    std::erase_if(m_entries, [object](const TspNotifyEntry& e) { return e.Object == object; });
}

void TspNotifyList::NotifyClients(TspBaseIO* sender, int code) {
    const auto entries = m_entries;
    for (const auto& entry : entries)
        if (Contains(entry))
            entry.Routine(entry.Object, sender, code);
}

} // namespace talvern::serial

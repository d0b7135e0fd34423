#pragma once
// The notify list: who is told that the port opened (2), closed (1) or changed (3).
//
// An entry is two words, a receiver routine and the object it is bound to; two entries are
// equal when both words are. The list keeps insertion order and holds each entry once, so an
// attachment that registers itself twice is still told once.

#include <cstddef>
#include <vector>

namespace talvern::serial {

class TspBaseIO;

// An object told when the port opens (2), closes (1) or changes (3).
class TspNotifyReceiver {
public:
    virtual ~TspNotifyReceiver() = default;
    virtual void SerialNotify(TspBaseIO* sender, int code) = 0;
};

using TspNotifyProc = void (*)(void* object, TspBaseIO* sender, int code);

struct TspNotifyEntry {
    TspNotifyProc Routine = nullptr;
    void* Object = nullptr;
    bool operator==(const TspNotifyEntry&) const = default;
};

class TspNotifyList {
public:
    // Adds the entry unless an equal one is present; an entry without a routine is ignored.
    void Add(TspNotifyProc routine, void* object);
    void Remove(TspNotifyProc routine, void* object);
    // The same for a receiver object (its SerialNotify is the routine).
    void Add(TspNotifyReceiver* receiver);
    void Remove(TspNotifyReceiver* receiver);
    // Drops every entry bound to object, whatever its routine.
    void RemoveObject(const void* object);
    // Calls every entry in order. An entry may remove itself (or others) while being called:
    // the walk goes over a copy, and an entry removed meanwhile is not called.
    void NotifyClients(TspBaseIO* sender, int code);

    size_t Count() const { return m_entries.size(); }
    const TspNotifyEntry& operator[](size_t index) const { return m_entries[index]; }
    void Clear() { m_entries.clear(); }

private:
    bool Contains(const TspNotifyEntry& entry) const;
    std::vector<TspNotifyEntry> m_entries;
};

} // namespace talvern::serial

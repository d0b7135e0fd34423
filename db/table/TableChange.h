#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace talvern::db {

// What a table tells the controls and grids bound to it.
enum class TableEvent {
    RecordMoved,    // the cursor stands on another record (or was set on one again: first, last, a found locate)
    RecordChanged,  // values of the current record changed: a field set, a post, a cancel
    DataSetChanged, // rows added or removed, the table re-read, display resumed: read everything again
    StateChanged,   // browse / edit / insert changed
};

struct TableChange {
    TableEvent event;
    int field = -1; // for RecordChanged: the field that changed, -1 when several may have
};

using TableListener = std::function<void(const TableChange&)>;

class TableNotifier;

// Keeps a listener subscribed while it lives; destroy or reset() it to unsubscribe. Safe to outlive the table.
class Subscription {
public:
    Subscription() = default;
    ~Subscription() { reset(); }
    Subscription(Subscription&& other) noexcept = default;
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            m_entry = std::move(other.m_entry);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    void reset();

private:
    friend class TableNotifier;
    struct Entry {
        TableListener listener;
        bool active = true;
    };
    explicit Subscription(std::shared_ptr<Entry> entry) : m_entry(std::move(entry)) {}
    std::shared_ptr<Entry> m_entry;
};

// The list of listeners of one table. Listeners may subscribe, unsubscribe and call back into the table
// while being notified; one that unsubscribes during a notification is not called afterwards.
class TableNotifier {
public:
    Subscription subscribe(TableListener listener);
    void notify(const TableChange& change);

private:
    std::vector<std::weak_ptr<Subscription::Entry>> m_entries;
};

} // namespace talvern::db

#pragma once

#include "TTable.h"

#include <string>
#include <unordered_map>

namespace talvern::db {

// Keeps the groups cursor on the current user's group. Whenever the current user changes (also to a user of
// the same group), or the user's GROUP changes, the groups cursor moves to the first group in table order
// whose NAME equals GROUP exactly (letter case counts). When no group bears that name (an empty GROUP,
// "Lack of assignment!", a removed or renamed group) the groups cursor stays where it was and groupFound()
// is false. While display of the users table is suspended the groups table does not follow; it follows
// once when display is resumed.
//
// Both tables must outlive this object. Moving the groups cursor stores a change under way on the groups
// table first, as any cursor movement does; an error from that comes out of the users call that caused it.
class GroupTracking {
public:
    GroupTracking(TTable& users, TTable& groups);
    GroupTracking(const GroupTracking&) = delete;
    GroupTracking& operator=(const GroupTracking&) = delete;

    // Places the groups cursor on the current user's group now (start-up, once both tables are open).
    void follow();
    // Whether the last follow found a group for the current user (what the Users page's group box shows).
    bool groupFound() const { return m_found; }

    static constexpr const char* kUserGroupField = "GROUP";
    static constexpr const char* kGroupNameField = "NAME";

private:
    TTable& m_users;
    TTable& m_groups;
    int firstGroupNamed(const std::string& name);

    bool m_found = false;
    // Where the first group of each name lies, built from the stored groups and rebuilt after they change:
    // a sweep over tens of thousands of users would otherwise scan the groups table once per user.
    // It holds one entry per group name, so it grows with the groups table only (at most a few thousand).
    std::unordered_map<std::string, int> m_firstByName;
    std::uint64_t m_indexedAt = 0;
    bool m_indexed = false;
    Subscription m_subscription;
};

} // namespace talvern::db

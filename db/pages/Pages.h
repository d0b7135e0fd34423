#pragma once
// Builds the three table pages of the main window's notebook over the three tables and wires them
// together: Confirm on the Readers page refreshes the Groups page's reader hints.

#include "GroupsPage.h"
#include "ReadersPage.h"
#include "UsersPage.h"

namespace talvern {

struct TablePages {
    UsersPage* users = nullptr;     // page 0, over the users table
    GroupsPage* groups = nullptr;   // page 1, over the groups table
    ReadersPage* readers = nullptr; // page 2, over the readers table
};

// The pages are created without a parent; the notebook takes them over when they are added to it.
TablePages createTablePages(db::TTable& users, db::TTable& readers, db::TTable& groups);

} // namespace talvern

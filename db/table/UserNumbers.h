#pragma once

#include "TTable.h"

#include <cstdint>

namespace talvern::db {

// The NUMBER for a new user: one more than the largest NUMBER anywhere in the users table (1 when it is
// empty). Reads every live user without moving the cursor or notifying anyone; a change under way on the
// current user counts with its new value. Tables brought from elsewhere need not be in number order, so
// the whole table is read, never only the records after the current one.
std::int64_t nextUserNumber(TTable& users);

// The same rule for any whole-number field (ID_grupy of the groups table uses it too).
std::int64_t nextNumberIn(TTable& table, const char* field);

} // namespace talvern::db

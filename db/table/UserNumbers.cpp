#include "UserNumbers.h"

#include <algorithm>

namespace talvern::db {

std::int64_t nextNumberIn(TTable& table, const char* field) {
    const int index = table.fieldByName(field).index();
    std::int64_t largest = 0;
    const int count = table.recordCount();
    for (int rec = 1; rec <= count; ++rec) {
        largest = std::max(largest, table.integerAt(rec, index));
    }
    return largest + 1;
}

std::int64_t nextUserNumber(TTable& users) { return nextNumberIn(users, "NUMBER"); }

} // namespace talvern::db

#include "NewRecords.h"

#include "UserNumbers.h"

#include <set>
#include <string>

namespace talvern::db {

namespace {

constexpr int kHighestReader = 96;

} // namespace

void fillNewUser(TTable& users) {
    users.fieldByName("NUMBER").setAsInteger(nextUserNumber(users));
    users.fieldByName("INDEX").setAsInteger(0);
}

void fillNewGroup(TTable& groups) {
    const std::int64_t number = nextNumberIn(groups, "ID_grupy");
    groups.fieldByName("ID_grupy").setAsInteger(number);
    groups.fieldByName("NAME").setAsString("Group " + std::to_string(number));
    for (int reader = 1; reader <= kHighestReader; ++reader) {
        groups.fieldByName("p" + std::to_string(reader)).setAsBoolean(false);
    }
}

void fillNewReader(TTable& readers) {
    const int number = lowestFreeReaderNumber(readers, kHighestReader);
    if (number > 0) {
        readers.fieldByName("ID_CZYT").setAsInteger(number);
        readers.fieldByName("NAME").setAsString("Reader " + std::to_string(number));
    }
    readers.fieldByName("TIME").setAsInteger(2);
    readers.fieldByName("PROX").setAsBoolean(false);
    readers.fieldByName("EMULACJA").setAsBoolean(false);
}

int lowestFreeReaderNumber(TTable& readers, int highest) {
    const int numberField = readers.fieldByName("ID_CZYT").index();
    std::set<std::int64_t> taken;
    for (int row = 1; row <= readers.recordCount(); ++row) {
        taken.insert(readers.integerAt(row, numberField));
    }
    for (int candidate = 1; candidate <= highest; ++candidate) {
        if (!taken.count(candidate)) {
            return candidate;
        }
    }
    return 0;
}

} // namespace talvern::db

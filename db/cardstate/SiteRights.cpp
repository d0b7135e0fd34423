#include "SiteRights.h"

#include "StandardTables.h"
#include "TTable.h"

#include <string>

namespace talvern::cards {

namespace {

int requiredField(db::TTable& table, const std::string& name) {
    const int index = table.findField(name);
    if (index < 0)
        throw db::DbfError(table.tableName() + ": no field " + name);
    return index;
}

} // namespace

std::vector<SiteUser> siteUsers(db::TTable& users) {
    std::vector<SiteUser> all;
    if (!users.isOpen())
        return all;
    const int number = requiredField(users, "NUMBER");
    const int surname = requiredField(users, "SURNAME");
    const int name = requiredField(users, "NAME");
    const int group = requiredField(users, "GROUP");
    const int count = users.recordCount();
    all.reserve(static_cast<std::size_t>(count));
    for (int recNo = 1; recNo <= count; ++recNo) {
        SiteUser user;
        user.number = static_cast<long>(users.integerAt(recNo, number));
        user.surname = users.valueAt(recNo, surname);
        user.name = users.valueAt(recNo, name);
        user.group = users.valueAt(recNo, group);
        all.push_back(std::move(user));
    }
    return all;
}

AccessFields accessFields(db::TTable& groups) {
    AccessFields fields;
    // The card reads the access fields by name (Pn, letter case aside).
    for (int reader = 1; reader <= 96; ++reader)
        fields[static_cast<std::size_t>(reader - 1)] = groups.findField("P" + std::to_string(reader));
    return fields;
}

ReaderSet rightsAt(db::TTable& groups, int recNo, const AccessFields& fields) {
    ReaderSet rights;
    for (std::size_t reader = 0; reader < fields.size(); ++reader) {
        // A field that holds no value counts as no access.
        if (fields[reader] >= 0 && groups.valueAt(recNo, fields[reader]) == "True")
            rights.set(reader);
    }
    return rights;
}

ReaderSet rightsAt(db::TTable& groups, int recNo) {
    return rightsAt(groups, recNo, accessFields(groups));
}

ReaderSet rightsOfGroup(db::TTable& groups, const std::string& group) {
    if (!groups.isOpen() || group.empty() || group == db::kLackOfAssignment)
        return {};
    const int name = requiredField(groups, "NAME");
    for (int recNo = 1; recNo <= groups.recordCount(); ++recNo)
        if (groups.valueAt(recNo, name) == group)
            return rightsAt(groups, recNo);
    return {};
}

GroupRights groupRights(db::TTable& groups) {
    GroupRights rights;
    if (!groups.isOpen())
        return rights;
    const int name = requiredField(groups, "NAME");
    const AccessFields fields = accessFields(groups);
    const int count = groups.recordCount();
    for (int recNo = 1; recNo <= count; ++recNo)
        rights.try_emplace(groups.valueAt(recNo, name), rightsAt(groups, recNo, fields));
    return rights;
}

} // namespace talvern::cards

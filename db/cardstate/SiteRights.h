#pragma once
// The holders and the group rights of the site as the users and groups tables store them now, read
// without moving either table's cursor (the pages and the card operations share those cursors).

#include "CardStanding.h"

#include <array>
#include <string>
#include <vector>

namespace talvern::db {
class TTable;
}

namespace talvern::cards {

// Every live user of the users table in table order.
std::vector<SiteUser> siteUsers(db::TTable& users);
// The rights of every group of the groups table by NAME (the first group of a name counts).
GroupRights groupRights(db::TTable& groups);
// The rights of the first group whose NAME is group; none when no group bears it (or for
// "Lack of assignment!").
ReaderSet rightsOfGroup(db::TTable& groups, const std::string& group);
// The rights of the group at recNo (from 1).
ReaderSet rightsAt(db::TTable& groups, int recNo);
// The positions of the access fields P1..P96 (-1 for one the table lacks), for reading many groups.
using AccessFields = std::array<int, 96>;
AccessFields accessFields(db::TTable& groups);
ReaderSet rightsAt(db::TTable& groups, int recNo, const AccessFields& fields);

} // namespace talvern::cards

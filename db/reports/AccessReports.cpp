#include "AccessReports.h"

#include "SiteRecords.h"

#include <unordered_set>

namespace talvern::db::reports {

std::string WhoCanOpenReader::caption() const { return "Kto otworzy czytnik..."; }

ReportTable WhoCanOpenReader::build(SiteTables& site, int reader) const {
    const std::vector<GroupRecord> groups = readGroups(site.groups);
    const std::vector<ReaderRecord> readers = readReaders(site.readers);
    ReportTable table;
    table.title = "Kto otworzy czytnik " + std::to_string(reader) + ": " + readerName(readers, reader);
    table.columns = userColumnTitles();
    table.numeric = {true, false, false, false};
    if (reader < 1 || reader > kReaderCount || !site.users.file()) {
        return table;
    }
    // A user's card carries the access fields of the first group bearing the user's GROUP. The names
    // are compared as the file holds them, so that only the users listed are decoded.
    std::unordered_set<std::string> opening;
    for (const auto& [name, group] : firstGroupByName(groups)) {
        if (group->access[static_cast<std::size_t>(reader)]) {
            try {
                opening.insert(site.users.file()->codePage().fromUtf8(name));
            } catch (const DbfError&) {
                // a name the users table cannot hold is no user's GROUP
            }
        }
    }
    const int groupField = site.users.findField("GROUP");
    const UserColumnFields columns = userColumnFields(site.users);
    std::string stored;
    forEachUser(site.users, [&](const UserRow& row) {
        stored.assign(row.raw(groupField));
        if (opening.count(stored)) {
            table.rows.push_back(userColumns(columns, row));
        }
    });
    return table;
}

std::string WhatUserCanOpen::caption() const { return "Co otworzy bieżąca osoba"; }

ReportTable WhatUserCanOpen::build(SiteTables& site, int userRecNo) const {
    const std::vector<GroupRecord> groups = readGroups(site.groups);
    const std::vector<ReaderRecord> readers = readReaders(site.readers);
    ReportTable table;
    table.columns = {"Numer czytnika", "Nazwa czytnika"};
    table.numeric = {true, false};
    std::vector<std::string> user;
    const UserColumnFields columns = userColumnFields(site.users);
    forEachUser(site.users, [&](const UserRow& row) {
        if (row.recNo() == userRecNo) {
            user = userColumns(columns, row);
        }
    });
    if (user.empty()) {
        table.title = "Co otworzy osoba: brak osoby";
        return table;
    }
    table.title = "Co otworzy osoba " + user[0] + ": " + user[1] + " " + user[2] + ", grupa " + user[3];
    const auto byName = firstGroupByName(groups);
    const auto group = byName.find(user[3]);
    if (group == byName.end()) {
        return table; // no group of that name ("Lack of assignment!" included): the card opens nothing
    }
    for (int n = 1; n <= kReaderCount; ++n) {
        if (group->second->access[static_cast<std::size_t>(n)]) {
            table.rows.push_back({std::to_string(n), readerName(readers, n)});
        }
    }
    return table;
}

} // namespace talvern::db::reports

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
    if (reader < 1 || reader > kReaderCount) {
        return table;
    }
    // A user's card carries the access fields of the first group bearing the user's GROUP.
    std::unordered_set<std::string> opening;
    for (const auto& [name, group] : firstGroupByName(groups)) {
        if (group->access[static_cast<std::size_t>(reader)]) {
            opening.insert(name);
        }
    }
    const int groupField = site.users.findField("GROUP");
    forEachUser(site.users, [&](const UserRow& row) {
        if (opening.count(row.text(groupField))) {
            table.rows.push_back(userColumns(site.users, row));
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
    forEachUser(site.users, [&](const UserRow& row) {
        if (row.recNo() == userRecNo) {
            user = userColumns(site.users, row);
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

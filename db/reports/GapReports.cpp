#include "GapReports.h"

#include "SearchFold.h"
#include "SiteRecords.h"
#include "StandardTables.h"

#include <map>
#include <unordered_set>

namespace talvern::db::reports {

std::string UsersWithoutGroup::caption() const { return "Osoby bez grupy"; }

ReportTable UsersWithoutGroup::build(SiteTables& site, int) const {
    const std::vector<GroupRecord> groups = readGroups(site.groups);
    std::unordered_set<std::string> names;
    for (const GroupRecord& group : groups) {
        names.insert(group.name);
    }
    ReportTable table;
    table.title = "Osoby bez grupy";
    table.columns = userColumnTitles();
    table.columns.push_back("Powód");
    table.numeric = {true, false, false, false, false};
    const int groupField = site.users.findField("GROUP");
    const UserColumnFields columns = userColumnFields(site.users);
    forEachUser(site.users, [&](const UserRow& row) {
        const std::string group = row.text(groupField);
        std::string reason;
        if (group == kLackOfAssignment) {
            reason = "Lack of assignment!";
        } else if (group.empty()) {
            reason = "Grupa niewpisana";
        } else if (!names.count(group)) {
            reason = "Nie ma takiej grupy";
        } else {
            return;
        }
        std::vector<std::string> values = userColumns(columns, row);
        values.push_back(reason);
        table.rows.push_back(std::move(values));
    });
    return table;
}

std::string GroupsOpeningNoReader::caption() const { return "Grupy bez dostępu do czytników"; }

ReportTable GroupsOpeningNoReader::build(SiteTables& site, int) const {
    ReportTable table;
    table.title = "Grupy bez dostępu do czytników";
    table.columns = {"Numer grupy", "Nazwa grupy"};
    table.numeric = {true, false};
    for (const GroupRecord& group : readGroups(site.groups)) {
        bool any = false;
        for (int n = 1; n <= kReaderCount && !any; ++n) {
            any = group.access[static_cast<std::size_t>(n)];
        }
        if (!any) {
            table.rows.push_back({group.id, group.name});
        }
    }
    return table;
}

std::string ReadersNoGroupOpens::caption() const { return "Czytniki, których nie otwiera żadna grupa"; }

ReportTable ReadersNoGroupOpens::build(SiteTables& site, int) const {
    const std::vector<GroupRecord> groups = readGroups(site.groups);
    ReportTable table;
    table.title = "Czytniki, których nie otwiera żadna grupa";
    table.columns = {"Numer czytnika", "Nazwa czytnika"};
    table.numeric = {true, false};
    for (const ReaderRecord& reader : readReaders(site.readers)) {
        bool opened = false;
        if (reader.number >= 1 && reader.number <= kReaderCount) {
            for (const GroupRecord& group : groups) {
                opened = opened || group.access[static_cast<std::size_t>(reader.number)];
            }
        }
        if (!opened) {
            table.rows.push_back({std::to_string(reader.number), reader.name});
        }
    }
    return table;
}

std::string GroupsWithoutUsers::caption() const { return "Grupy bez osób"; }

ReportTable GroupsWithoutUsers::build(SiteTables& site, int) const {
    const std::vector<GroupRecord> groups = readGroups(site.groups);
    std::unordered_set<std::string> used;
    const int groupField = site.users.findField("GROUP");
    forEachUser(site.users, [&](const UserRow& row) { used.insert(row.text(groupField)); });
    ReportTable table;
    table.title = "Grupy bez osób";
    table.columns = {"Numer grupy", "Nazwa grupy"};
    table.numeric = {true, false};
    const auto first = firstGroupByName(groups);
    for (const GroupRecord& group : groups) {
        // Users reach only the first group of a name; a later namesake has none of them.
        if (!used.count(group.name) || first.at(group.name) != &group) {
            table.rows.push_back({group.id, group.name});
        }
    }
    return table;
}

std::string PossibleDuplicates::caption() const { return "Możliwe duplikaty osób"; }

ReportTable PossibleDuplicates::build(SiteTables& site, int) const {
    // Folded names of every user, then the users of each name borne more than once, in table order.
    std::map<std::string, std::vector<std::vector<std::string>>> byName;
    const int surnameField = site.users.findField("SURNAME");
    const int nameField = site.users.findField("NAME");
    const UserColumnFields columns = userColumnFields(site.users);
    forEachUser(site.users, [&](const UserRow& row) {
        const std::string surname = foldForSearch(row.text(surnameField));
        const std::string name = foldForSearch(row.text(nameField));
        if (surname.empty() && name.empty()) {
            return; // a record without names is no one yet
        }
        byName[surname + '\n' + name].push_back(userColumns(columns, row));
    });
    ReportTable table;
    table.title = "Możliwe duplikaty osób";
    table.columns = {"Osoba"};
    for (const std::string& title : userColumnTitles()) {
        table.columns.push_back(title);
    }
    table.numeric = {true, true, false, false, false};
    int person = 0;
    for (auto& [key, users] : byName) {
        if (users.size() < 2) {
            continue;
        }
        ++person;
        for (auto& user : users) {
            user.insert(user.begin(), std::to_string(person));
            table.rows.push_back(std::move(user));
        }
    }
    return table;
}

} // namespace talvern::db::reports

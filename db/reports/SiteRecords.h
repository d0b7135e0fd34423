#pragma once
// What the reports read from the stored records, gathered in one pass over each table and without
// moving a cursor: the groups with their access fields, the readers' numbers and names, and a walk
// over the users that decodes only the fields asked for.

#include "TTable.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace talvern::db::reports {

inline constexpr int kReaderCount = 96;

struct GroupRecord {
    std::string id; // ID_grupy as stored
    std::string name;
    std::array<bool, kReaderCount + 1> access{}; // access[N]: access field N is true (N from 1)
};

struct ReaderRecord {
    std::int64_t number = 0;
    std::string name;
};

std::vector<GroupRecord> readGroups(TTable& groups);
std::vector<ReaderRecord> readReaders(TTable& readers);

// The group a user's GROUP leads to, as group tracking finds it: the first group in table order whose
// NAME equals it exactly. Built from the groups; keys are names without trailing blanks.
std::unordered_map<std::string, const GroupRecord*> firstGroupByName(const std::vector<GroupRecord>& groups);

// The name of reader number, the last in table order bearing it (as the Groups page's hints name
// them); "Lack in system" when no reader bears it.
std::string readerName(const std::vector<ReaderRecord>& readers, int number);

// Visits every live user in table order with its record number and a reader of its fields by name.
class UserRow {
public:
    int recNo() const { return m_recNo; }
    // A field's text without trailing blanks.
    std::string text(int field) const;
    // A text field's stored bytes without trailing blanks (the code page's bytes): cheap comparisons.
    std::string_view raw(int field) const;

private:
    friend void forEachUser(TTable&, const std::function<void(const UserRow&)>&);
    dbf::DbfTable* m_file = nullptr;
    std::string_view m_record;
    int m_recNo = 0;
};
void forEachUser(TTable& users, const std::function<void(const UserRow&)>& visit);

// The users grid's four columns (NUMBER, SURNAME, NAME, GROUP) of a user, and their titles. The
// fields are found once per report (userColumnFields), not once per row.
using UserColumnFields = std::array<int, 4>;
UserColumnFields userColumnFields(TTable& users);
std::vector<std::string> userColumns(const UserColumnFields& fields, const UserRow& row);
std::vector<std::string> userColumnTitles();

} // namespace talvern::db::reports

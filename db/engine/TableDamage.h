#pragma once

#include "DbfError.h"

#include <cstdint>
#include <string>
#include <vector>

namespace talvern::dbf {

// One way in which a table disagrees with itself: its header with its field descriptors, its record count
// with the length of its file, a record with where the header puts records, a memo pointer with the memo
// file. A table with any of these is never written: a write would land at offsets the file does not mean,
// or rewrite the header count and so wipe out the evidence. talvern-dbf repair makes a sound copy.
struct TableDamage {
    std::string english; // one clause without the table's name, e.g. "the record length 70 disagrees ..."
    std::string polish;  // the same for the operator
};

// What opening a table finds: damage, and harmless things talvern-dbf check mentions.
struct TableFindings {
    std::vector<TableDamage> damage;
    std::vector<std::string> notes; // English, for the tool
};

// The error that refuses a damaged table (as opposed to one that is missing, locked or unreadable), so that
// talvern-dbf check can call it damage.
class DamagedTableError : public DbfError {
public:
    DamagedTableError(const std::string& text, std::string operatorText, std::vector<TableDamage> damage)
        : DbfError(text, std::move(operatorText)), m_damage(std::move(damage)) {}
    // Every damage found; the message tells the first one.
    const std::vector<TableDamage>& damage() const { return m_damage; }

private:
    std::vector<TableDamage> m_damage;
};

// The error that refuses a damaged table: names it, tells the first damage (and how many more there are) in
// English for logs and the tool and in Polish for the operator, and says how a repaired copy is made.
DamagedTableError damagedTableError(const std::string& tableName, const std::vector<TableDamage>& damage);

// How the records in the file relate to the header's count.
//
// Our own append writes the new record marked deleted with the end-of-file mark after it, then the header's
// count, then the record's live mark (see DbfTable::appendRecord). A program killed in between therefore
// leaves at most one record past the count, and that record is marked deleted (or a piece of one: its first
// bytes only). Any other record past the count - a live one, or more than one - means the count lost
// records that belong to the table: damage. So does a count larger than the whole records the file holds.
// Bytes after an end-of-file mark that stands right after the counted records are not records at all.
struct RecordSpan {
    std::uint32_t counted = 0;     // the header's count
    std::uint64_t whole = 0;       // whole records in the file after the header
    std::uint64_t restBytes = 0;   // bytes after the last whole record (the end-of-file mark, a cut-off piece)
    char firstUncountedFlag = 0;   // deletion flag of the record just past the count, when there is one

    // Damage and notes of this span go into findings.
    void judge(TableFindings& findings) const;
    // True when the one record past the count is an append that was cut short.
    bool isInterruptedAppend() const { return whole == std::uint64_t{counted} + 1 && firstUncountedFlag == '*'; }
};

namespace damage {

// The texts of the damage found in records and memo pointers; record numbers count from 1.
TableDamage unknownDeletionFlag(std::uint64_t record, char flag);
TableDamage memoPastEnd(std::uint64_t record, const std::string& field, std::uint32_t block, const std::string& memoFile);
TableDamage memoPointerUnreadable(std::uint64_t record, const std::string& field);
// Stands for the records not listed one by one once many are damaged.
TableDamage moreRecords(std::uint64_t count);
TableDamage memoFileMissing(const std::string& memoFile);

} // namespace damage

} // namespace talvern::dbf

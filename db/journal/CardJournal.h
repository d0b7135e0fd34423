#pragma once

#include "CardJournalRow.h"

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace talvern::dbf {
class CodePage;
class DbfTable;
struct FieldDef;
struct FieldSpec;
} // namespace talvern::dbf

namespace talvern::journal {

// The card journal of one site: karty.dbf in the site folder, one row per card written or attempted and
// per lost card recorded. It is a dBASE III table (no memo file) in Windows-1250, so that any dBASE
// reader opens it; it is created on the first append and never needed to start.
//
// The table is opened for writing on first use and kept open (and locked) for the life of the object,
// as the site tables are: a program holds one CardJournal per site and shares it between whatever writes
// and reads it. Errors are dbf::DbfError (a journal that cannot be created, opened or written).
class CardJournal {
public:
    explicit CardJournal(std::string siteDirectory);
    ~CardJournal();
    CardJournal(const CardJournal&) = delete;
    CardJournal& operator=(const CardJournal&) = delete;

    static constexpr const char* kFileName = "karty.dbf";
    // The journal's fields, in their order in the table.
    static std::vector<dbf::FieldSpec> fields();

    // Where the journal is (or will be): an existing file found by any letter case (KARTY.DBF).
    std::string path() const;
    bool exists() const;

    // Writes one row and forces it to the disk (and the folder's entry, when the file was just created)
    // before returning. An empty row.written gets the current local time. Texts longer than their field
    // are cut to fit; a character the code page lacks is stored as '?'.
    void append(const CardJournalRow& row);
    // Many rows with one forced write at the end: for importing or generating journals.
    void appendMany(const std::vector<CardJournalRow>& rows);

    // Rows in the journal, deleted ones included (the program never deletes); 0 when there is no journal.
    std::uint32_t rowCount();
    // Row i (0 = oldest). Throws when out of range.
    CardJournalRow row(std::uint32_t i);
    // The keys of rows first to end - 1, oldest first, handed to each in turn. Only NUMBER, KIND, SURNAME,
    // NAME and RESULT are read, at their places in each record, and the texts are left in the code page:
    // a filter, or judging which card of each holder counts, need not decode every field of every row.
    // Throws when a row is out of range, and when one of those fields is of a type that cannot hold what
    // the journal keeps there (a table another program rebuilt): a number, or text.
    void readKeys(std::uint32_t first, std::uint32_t end, const std::function<void(const CardJournalKey&)>& each);
    // The code page of the journal's texts. Throws when there is no journal.
    const dbf::CodePage& codePage();
    // Every row of one user NUMBER, oldest first (configuration cards have NUMBER 0).
    std::vector<CardJournalRow> rowsOf(std::int64_t number);

    // The current local time as WRITTEN holds it.
    static std::string now();

    // Lets go of the table (and its lock), as before the site's files are replaced by a restore; the next
    // use opens the file that is there then.
    void close();

private:
    bool open(bool create);
    std::string recordFor(const CardJournalRow& row) const;
    CardJournalRow rowFrom(std::string_view record) const;

    const dbf::FieldDef& field(std::size_t which) const;
    // Reads the NUMBER of the rows not yet learnt, up to count.
    void learnNumbers(std::uint32_t count);

    std::string m_directory;
    std::unique_ptr<dbf::DbfTable> m_table;
    // Where each journal field (in the order of fields()) lies in the table, found once when it is opened:
    // a table another program wrote may hold the fields in another order or with more beside them.
    static constexpr std::size_t kFieldCount = 14;
    std::array<std::size_t, kFieldCount> m_position{};
    // The NUMBER of each row by place (kDeletedRow for a deleted one), learnt once: finding one holder's
    // rows, as the Users page does at every step, then reads only that holder's rows. Nothing else writes
    // the table while it is open (it is locked), and rows are only ever added.
    static constexpr std::int64_t kDeletedRow = std::numeric_limits<std::int64_t>::min();
    std::vector<std::int64_t> m_numbers;
};

} // namespace talvern::journal

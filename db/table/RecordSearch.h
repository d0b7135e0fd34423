#pragma once

#include "TTable.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace talvern::db {

// Finds records of a table by a typed text, without moving its cursor and without holding the table: each
// search walks the file's records in read-ahead runs. A text of digits alone looks for records whose number
// field begins with those digits ("17" finds 17, 170, 1701); any other text looks anywhere in the text
// fields, ignoring letter case and the marks of letters ("lukasiewicz" finds "Łukasiewicz"). Blanks around
// the typed text do not count. The record being changed is seen as it is being changed, as the grids show
// it; a record being appended is not yet one of the table's records.
//
// The table must outlive the search and be open when it searches. Reading errors come out as DbfError.
class RecordSearch {
public:
    RecordSearch(TTable& table, std::vector<std::string> textFields, std::vector<std::string> numberFields);

    void setText(std::string_view utf8);
    const std::string& text() const { return m_text; }
    // Nothing to look for (an empty or blank text): nothing matches.
    bool isEmpty() const { return m_kind == Kind::Nothing; }

    // Whether the live record at recNo (from 1) matches.
    bool matches(int recNo);
    // The first matching record in table order; 0 when none.
    int first();
    // The nearest matching record after (forward) or before recNo, going round the end of the table; 0
    // when no record matches. recNo itself counts only when it is the one match.
    int next(int recNo, bool forward);

private:
    enum class Kind { Nothing, Digits, Letters, Unmatchable };
    struct Field {
        int index;
        char type;
        std::size_t offset;
        std::size_t length;
    };
    void resolve();
    bool matchesRecord(std::string_view record);
    bool matchesValues(int recNo);
    // Visits live records in order, calling visit(recNo, record) until it returns false.
    template <typename Visit> void scan(Visit visit);

    TTable& m_table;
    std::vector<std::string> m_textNames;
    std::vector<std::string> m_numberNames;
    std::vector<Field> m_textFields;
    std::vector<Field> m_numberFields;
    dbf::DbfTable* m_resolvedFor = nullptr;
    std::array<unsigned char, 256> m_fold{}; // each byte of the table's code page, folded
    std::string m_text;
    Kind m_kind = Kind::Nothing;
    std::string m_wanted;       // folded code-page bytes (letters) or the digits
    std::string m_wantedFolded; // folded UTF-8, for values read as text
};

} // namespace talvern::db

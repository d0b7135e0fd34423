#pragma once

#include "DbfError.h"
#include "DbfTable.h"
#include "TableChange.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace talvern::db {

using dbf::DbfError;

class TTable;

// A field of the open table, found by name or position. A small handle: copy it freely; it stays valid
// while its table stays open. Reads give the value of the current record (the record being changed while
// an edit or append is under way). Writes need an edit or append under way (edit() or append() first) and
// throw DbfError otherwise, or when the field cannot hold the value (text too long, not a number, a
// character that Windows-1250 lacks); a refused value leaves the change under way as it was.
class TField {
public:
    const std::string& name() const;
    // The dBASE type letter: C text, N/F number, L logical, D date, M memo, I/+ integer, O double, @ timestamp.
    char type() const;
    // Width in characters in the file (text fields: the longest text they hold).
    int width() const;
    int index() const { return m_index; }

    // Text: UTF-8. Logical fields read "True"/"False", dates YYYY-MM-DD; a field without value reads "".
    std::string asString() const;
    void setAsString(std::string_view text);
    // Whole numbers; a field without value reads 0. Throws DbfError on text that is not a number.
    std::int64_t asInteger() const;
    void setAsInteger(std::int64_t value);
    // Logical; a field without value reads false.
    bool asBoolean() const;
    void setAsBoolean(bool value);
    bool isNull() const;
    // Empties the field.
    void clear();

private:
    friend class TTable;
    TField(TTable* table, int index) : m_table(table), m_index(index) {}
    TTable* m_table;
    int m_index;
};

// The one cursor over one dBASE table (Table1 users, Table2 readers, Table3 groups), shared by the table's
// page, grid and the card operations. All calls on the user-interface thread. Every failure is a DbfError
// whose text names the table.
//
// Positions: recNo() counts live records from 1 in table order (the order of appending); deleted records are
// invisible. The cursor stands on a record unless the table is empty.
//
// Changes: edit() or append() begin a change, setters fill it, post() stores it. Moving the cursor, locate()
// and refresh() store a change under way first when it changed something and drop it when it did not.
//
// Notifications: subscribe() listeners (bound controls, grids, group tracking). While display is suspended
// (disableControls(), counted) listeners hear nothing; the last enableControls() sends one DataSetChanged.
class TTable {
public:
    enum class State { Inactive, Browse, Edit, Insert };

    // objectName: the component's name in messages and logs ("Table1").
    explicit TTable(std::string objectName = {});
    ~TTable();
    TTable(const TTable&) = delete;
    TTable& operator=(const TTable&) = delete;

    const std::string& objectName() const { return m_objectName; }

    // Opens a table for the run: takes an exclusive lock that keeps a second program (another TALVERN on the
    // same folder) out, and puts the cursor on the first record. Throws DbfError naming the table when it is
    // missing, damaged, or locked by someone else.
    void open(const std::string& path);
    // Stores a change under way when it changed something, then closes (and forces the files to disk).
    void close();
    bool isOpen() const { return m_file != nullptr; }
    // The file name of the open table ("osoby.dbf"); "" when closed.
    std::string tableName() const;

    void first();
    // On the last record: stays there and sets the end-of-table flag.
    void next();
    // On the first record: stays there.
    void prior();
    void last();
    // The end-of-table flag: true when the table is empty or a next() ran past the last record; cleared by
    // any other movement, by post() and by refresh().
    bool eof() const { return m_eof; }
    bool isEmpty() const;
    // Live records.
    int recordCount() const;
    // Position of the current record among live records, from 1; 0 when the table is empty. While an
    // append is under way: recordCount() + 1.
    int recNo() const;
    // Moves to the live record at recNo (1..recordCount()); throws DbfError outside that range.
    void moveTo(int recNo);

    // Moves to the first record in table order whose field equals value and reports whether there was one;
    // when none, the cursor stays. Text compares without trailing blanks (letter case ignored on request),
    // numbers as numbers, logicals as true/false.
    bool locate(std::string_view field, std::string_view value, bool ignoreCase);

    // Finds a field without regard to letter case; throws DbfError when the table has no such field.
    TField fieldByName(std::string_view name);
    // The field at position index (from 0) in the table's own order; throws DbfError when there is none.
    TField field(int index);
    // Position of a field by name, -1 when none.
    int findField(std::string_view name) const;
    int fieldCount() const;

    // Begins changing the current record. Nothing when a change or append is under way; on an empty table
    // begins an append instead.
    void edit();
    // Begins a new record with every field empty; it is stored at the end of the table by post() and becomes
    // the current record. A change already under way is stored first (dropped when it changed nothing).
    void append();
    // Stores the record being changed or appended; in browse state does nothing. On failure the change stays
    // under way.
    void post();
    // Drops the change or append under way.
    void cancel();
    // Fills every record append() begins (also the append that edit() begins on an empty table) with the
    // values a new record of this table must have, whoever begins it: numbers a record cannot do without.
    // Listeners see the new record once it is filled. What the filler sets is the record's starting
    // point: an append that nothing changes after it is still dropped by a move or refresh.
    void setNewRecordFiller(std::function<void(TTable&)> filler) { m_newRecordFiller = std::move(filler); }
    // Marks the current record deleted (it keeps its place in the file). The cursor moves to the following
    // record, or to the preceding one when the last was removed. Throws DbfError on an empty table.
    void deleteRecord();
    // Stores a change under way (dropped when it changed nothing), re-reads the table, keeps the current record.
    void refresh();
    State state() const { return m_state; }
    // True while an edit or append under way differs from what is stored.
    bool isModified() const;

    // Suspend and resume display, counted.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disabled > 0; }

    // A live record's value as text without moving the cursor (for grids); recNo from 1. The current record
    // reads as it is being changed.
    std::string valueAt(int recNo, int field);
    std::int64_t integerAt(int recNo, int field);

    Subscription subscribe(TableListener listener);
    // Counts every movement, change and state change of the table, whether or not display is suspended, so
    // that followers can tell that nothing happened since they last looked.
    std::uint64_t changeCount() const { return m_changeCount; }
    // Counts changes of what is stored (posts, appends, deletions, re-reads); moves and unposted edits do
    // not count. Lets followers keep something derived from the stored records and know when to redo it.
    std::uint64_t storedChangeCount() const { return m_storedChangeCount; }

    // The engine under the cursor, for tools and checks; null when closed.
    dbf::DbfTable* file() { return m_file.get(); }

private:
    friend class TField;

    void requireOpen() const;
    bool prepareMove();
    void arriveAt(int recNo);
    void requireRecordOrChange() const;
    void requireChange(const char* what) const;
    void storeOrDrop();
    void loadCurrent();
    void goTo(int recNo);
    std::uint32_t physicalOf(int recNo) const;
    int recNoOf(std::uint32_t physical) const;
    void rebuildDeletedIndex() const;
    void ensureDeletedIndex() const;
    void notify(TableEvent event, int field = -1);
    void setState(State state);
    const dbf::FieldDef& def(int index) const;
    std::string_view rawField(int index) const;
    std::string memoText(int index);
    void setRaw(int index, const std::string& bytes);
    void setMemo(int index, std::string text);
    bool memoMatches(int field, std::uint32_t physical, std::string_view text);
    std::string recordText(std::string_view record, int field);

    std::string m_objectName;
    std::unique_ptr<dbf::DbfTable> m_file;
    State m_state = State::Inactive;
    bool m_eof = true;
    int m_recNo = 0;
    std::uint32_t m_physical = 0;
    // Physical indexes of deleted records, ascending: maps positions without holding the table. Built
    // on first need rather than at open, so that opening a large table reads only its first records.
    mutable std::vector<std::uint32_t> m_deleted;
    mutable bool m_deletedKnown = false;
    std::string m_buffer;   // the current record as stored, or as being changed
    std::string m_original; // the record as it was when the change began
    std::map<int, std::string> m_memos; // memo texts set during the change under way (UTF-8)
    int m_disabled = 0;
    std::uint64_t m_changeCount = 0;
    std::uint64_t m_storedChangeCount = 0;
    TableNotifier m_notifier;
    std::function<void(TTable&)> m_newRecordFiller;
};

} // namespace talvern::db

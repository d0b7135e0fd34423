#pragma once

#include "CodePage.h"
#include "MemoFile.h"
#include "PosixFile.h"
#include "RecordJournal.h"
#include "TableDamage.h"
#include "TableHeader.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvern::dbf {

// When written data is forced to the disk.
//  - Interval (the default): after a write, when the last forced write is at least a second old; and on close.
//  - EveryWrite: after every append, record write and deletion mark.
//  - OnClose: only on close.
// Whatever the policy, each write is in the file (the kernel's cache) before the call returns, so a killed
// program loses nothing that was stored; only a power cut can lose what was not yet forced to disk.
enum class SyncPolicy { Interval, EveryWrite, OnClose };

// One dBASE table file (and its memo file) opened for the run. Records are read on demand by offset through a
// small read-ahead window; the engine never holds the whole table. Not thread-safe: one thread owns it.
//
// Record indexes here are physical (0-based, deleted records included); raw records are recordLength() bytes
// with the deletion flag ('*' deleted, ' ' live) first.
//
// Write order, so that a kill at any instant leaves a table that opens cleanly with every finished write:
// memo blocks, then the memo file's next-free pointer, then the record, marked deleted, with the end-of-file
// mark after it, then the header's record count, then the record's live mark. Until the count is written the
// new record lies past the counted ones and is not seen; it is the one record past the count that opening
// does not call damage (RecordSpan).
class DbfTable {
public:
    enum class Mode { ReadOnly, ReadWrite };

    // What opening does with a table that disagrees with itself (TableDamage.h). Refuse: throws
    // DamagedTableError. Inspect (reading only; talvern-dbf check): opens it with the whole records it holds
    // and lists the damage in findings(). A header that cannot be read is refused either way.
    enum class OnDamage { Refuse, Inspect };

    // Opens path. ReadWrite takes an exclusive lock for the life of the object, ReadOnly a shared one, on the
    // table and its memo file. Throws DbfError naming the table: missing, unreadable, locked by another
    // program; DamagedTableError when it is damaged (header, record count, records, memo pointers, missing
    // memo file), before anything is written. Opening reads every record once (see scanRecords).
    DbfTable(const std::string& path, Mode mode, OnDamage onDamage = OnDamage::Refuse);
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    // Creates a new empty table (and its memo file when format has one). Fails when the file exists.
    // New tables carry the Windows-1250 language driver. The files appear whole or not at all.
    static void create(const std::string& path, TableFormat format, const std::vector<FieldSpec>& fields);

    const std::string& path() const { return m_path; }
    // The file name alone, for messages.
    const std::string& name() const { return m_name; }
    TableFormat format() const { return m_header.format; }
    const TableHeader& header() const { return m_header; }
    const std::vector<FieldDef>& fields() const { return m_header.fields; }
    // Position of the field whose name equals name regardless of letter case; -1 when there is none.
    int findField(std::string_view name) const;
    const CodePage& codePage() const { return *m_codePage; }
    std::uint16_t recordLength() const { return m_header.recordLength; }
    bool isReadOnly() const { return m_mode == Mode::ReadOnly; }

    // Records the table holds: the header's count, or fewer when the file is cut short (see check()).
    std::uint32_t recordCount() const { return m_recordCount; }
    // The raw record. The view stays valid until the next call on this object. Throws when index is out of range.
    std::string_view record(std::uint32_t index);
    // Records from index on, as many as lie together in the read-ahead window (at least one): for scans.
    // The view stays valid until the next call on this object. Throws when index is out of range.
    std::string_view recordsFrom(std::uint32_t index);
    static bool isDeleted(std::string_view record) { return !record.empty() && record[0] == '*'; }
    // A live record with every field empty.
    std::string blankRecord() const;

    // Rewrites a record in place (its deletion flag included).
    void writeRecord(std::uint32_t index, std::string_view record);
    // Adds a record at the end and returns its index. Level 7 autoincrement fields left empty get their number.
    std::uint32_t appendRecord(std::string record);
    void setDeleted(std::uint32_t index, bool deleted);

    bool hasMemo() const { return m_memo.isOpen(); }
    // The memo text of a memo field in a record, in the code page; "" when none or unreadable.
    std::string memoBytes(const FieldDef& field, std::string_view record) const;
    bool memoInRange(const FieldDef& field, std::string_view record) const;
    // Stores memo text (code-page bytes) in new blocks and puts the pointer into record; "" clears it.
    void storeMemo(const FieldDef& field, std::string& record, std::string_view bytes);

    // A field's value as UTF-8 text (memo text included).
    std::string text(int field, std::string_view record) const;

    void setSyncPolicy(SyncPolicy policy) { m_syncPolicy = policy; }
    // Forces everything written so far to the disk: memo file first, then the table.
    void sync();

    // Facts about the file for consistency checks (talvern-dbf check).
    std::uint32_t headerRecordCount() const { return m_header.recordCount; }
    std::uint64_t fileSize() const { return m_file.size(); }
    // Damage (opened with OnDamage::Inspect only) and harmless findings of opening.
    const TableFindings& findings() const { return m_findings; }
    // True when a rewrite cut short by a killed program was found at opening (see RecordJournal). Opened for
    // writing, the table has finished it; opened for reading, it is shown as finished and left in the journal.
    bool foundInterruptedWrite() const { return m_foundInterruptedWrite; }

private:
    void afterWrite();
    void loadWindow(std::uint32_t index);
    void writeCount(std::uint32_t count);
    RecordSpan recordSpan(std::uint64_t fileSize) const;
    void scanRecords(const std::vector<std::size_t>& memoFields);
    void loadJournal();
    void finishInterruptedWrite();

    std::string m_path;
    std::string m_name;
    Mode m_mode;
    PosixFile m_file;
    MemoFile m_memo;
    std::string m_memoName;
    TableHeader m_header;
    std::unique_ptr<CodePage> m_codePage;
    std::uint32_t m_recordCount = 0;
    RecordJournal m_journal;
    // Opened for reading with an unfinished rewrite in the journal: the record as it will be once finished.
    std::optional<RecordJournal::Entry> m_unfinished;
    bool m_foundInterruptedWrite = false;
    TableFindings m_findings;

    // Read-ahead window: records [m_windowFirst, m_windowFirst + m_windowCount) as bytes.
    std::string m_window;
    std::uint32_t m_windowFirst = 0;
    std::uint32_t m_windowCount = 0;
    std::size_t m_windowBytes = 0; // how much the next load reads: grows once records are read in order
    std::string m_single; // the record returned when it cannot sit in the window

    SyncPolicy m_syncPolicy = SyncPolicy::Interval;
    bool m_unsynced = false;
    std::chrono::steady_clock::time_point m_lastSync;
};

// Letter-case-blind equality of ASCII field names.
bool sameFieldName(std::string_view a, std::string_view b);

} // namespace talvern::dbf

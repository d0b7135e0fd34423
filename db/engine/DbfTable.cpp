#include "DbfTable.h"

#include "DbfError.h"
#include "FieldCodec.h"
#include "FileNames.h"
#include "RecordFaults.h"
#include "TableDamage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace talvern::dbf {
namespace {

// The read-ahead window starts small, so that opening a large table and reading its first records
// reads little; once records are read on in order, it takes the size that suits scans.
constexpr std::size_t kFirstWindowBytes = 16 * 1024;
constexpr std::size_t kWindowBytes = 512 * 1024;
constexpr char kEndOfFile = 0x1A;

MemoFile::Style memoStyle(TableFormat format) {
    return format == TableFormat::DBase3Memo ? MemoFile::Style::DBase3 : MemoFile::Style::DBase4;
}

} // namespace

bool sameFieldName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') {
            x = static_cast<char>(x - 'a' + 'A');
        }
        if (y >= 'a' && y <= 'z') {
            y = static_cast<char>(y - 'a' + 'A');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

DbfTable::DbfTable(const std::string& path, Mode mode, OnDamage onDamage)
    : m_path(findIgnoringCase(path)), m_name(baseName(m_path)), m_mode(mode), m_journal(m_path),
      m_lastSync(std::chrono::steady_clock::now()) {
    const auto access = mode == Mode::ReadWrite ? PosixFile::Access::ReadWrite : PosixFile::Access::ReadOnly;
    const auto lock = mode == Mode::ReadWrite ? PosixFile::Lock::Exclusive : PosixFile::Lock::Shared;
    m_file = PosixFile(m_path, access, lock);

    // Nothing below writes to the files until every check has passed: a damaged table is refused untouched.
    const std::uint64_t size = m_file.size();
    std::string prefix(TableHeader::kPrefixLength, '\0');
    prefix.resize(m_file.readAt(0, prefix.data(), prefix.size()));
    if (prefix.size() < TableHeader::kPrefixLength) {
        throw damagedTableError(m_name, {{"the file is shorter than a table header", "plik jest krótszy niż nagłówek tabeli"}});
    }
    std::size_t headerLength =
        static_cast<unsigned char>(prefix[8]) | static_cast<std::size_t>(static_cast<unsigned char>(prefix[9])) << 8;
    std::string headerBytes(std::max(headerLength, TableHeader::kPrefixLength), '\0');
    headerBytes.resize(m_file.readAt(0, headerBytes.data(), headerBytes.size()));
    m_header = TableHeader::parse(headerBytes, m_name);

    const RecordSpan span = recordSpan(size);
    span.judge(m_findings);
    m_recordCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(m_header.recordCount, span.whole));

    m_codePage = std::make_unique<CodePage>(CodePage::charsetForLanguageDriver(m_header.languageDriver));

    std::vector<std::size_t> memoFields = memoFieldPositions(m_header.fields);
    if (hasMemoFile(m_header.format) || !memoFields.empty()) {
        const std::string memo = findIgnoringCase(memoPath(m_path));
        m_memoName = baseName(memo);
        if (::access(memo.c_str(), F_OK) != 0 && errno == ENOENT) {
            if (!memoFields.empty()) {
                m_findings.damage.push_back(damage::memoFileMissing(m_memoName));
                memoFields.clear(); // every pointer would point nowhere; the missing file says it all
            }
            // A memo-format table without memo fields can live without the file.
        } else {
            m_memo = MemoFile(memo, access, lock, memoStyle(m_header.format));
        }
    }
    m_windowBytes = kFirstWindowBytes;
    loadJournal();
    scanRecords(memoFields);
    if (!m_findings.damage.empty() && (mode == Mode::ReadWrite || onDamage == OnDamage::Refuse)) {
        throw damagedTableError(m_name, m_findings.damage);
    }
    if (mode == Mode::ReadWrite) {
        finishInterruptedWrite();
    }
}

RecordSpan DbfTable::recordSpan(std::uint64_t fileSize) const {
    RecordSpan span;
    span.counted = m_header.recordCount;
    const std::uint64_t space = fileSize > m_header.headerLength ? fileSize - m_header.headerLength : 0;
    span.whole = space / m_header.recordLength;
    span.restBytes = space % m_header.recordLength;
    if (span.whole > span.counted) {
        char flag = 0;
        m_file.readAt(m_header.headerLength + std::uint64_t{span.counted} * m_header.recordLength, &flag, 1);
        span.firstUncountedFlag = flag;
    }
    return span;
}

void DbfTable::scanRecords(const std::vector<std::size_t>& memoFields) {
    // Every counted record is read once, in the scan-sized window: a deletion flag out of place shows records
    // that do not lie where the header puts them, and a memo pointer is followed only as far as the memo
    // file's length. Only the first damaged records are listed; the rest are counted.
    constexpr std::size_t kListed = 20;
    std::uint64_t unlisted = 0;
    const MemoFile* memo = m_memo.isOpen() ? &m_memo : nullptr;
    const std::size_t length = m_header.recordLength;
    m_windowBytes = kWindowBytes;
    for (std::uint32_t index = 0; index < m_recordCount;) {
        const std::string_view records = recordsFrom(index);
        for (std::size_t at = 0; at < records.size(); at += length, ++index) {
            const RecordFaults faults = inspectRecord(m_header.fields, memoFields, records.substr(at, length), memo);
            if (!faults.any()) {
                continue;
            }
            if (m_findings.damage.size() >= kListed) {
                ++unlisted;
                continue;
            }
            if (faults.badFlag) {
                m_findings.damage.push_back(damage::unknownDeletionFlag(index + 1, records[at]));
            }
            for (const MemoFault& fault : faults.memos) {
                const std::string& field = m_header.fields[fault.field].name;
                m_findings.damage.push_back(fault.unreadable ? damage::memoPointerUnreadable(index + 1, field)
                                                             : damage::memoPastEnd(index + 1, field, fault.block,
                                                                                   m_memoName));
            }
        }
    }
    if (unlisted > 0) {
        m_findings.damage.push_back(damage::moreRecords(unlisted));
    }
    // Opening leaves the window as if nothing had been read, so that reading the first records reads little.
    m_window.clear();
    m_window.shrink_to_fit();
    m_windowCount = 0;
    m_windowBytes = kFirstWindowBytes;
}

void DbfTable::loadJournal() {
    const std::string journalPath = RecordJournal::pathFor(m_path);
    std::optional<RecordJournal::Entry> entry = RecordJournal::readPending(journalPath);
    const std::size_t length = m_header.recordLength;
    bool usable = entry && entry->after.size() == length && entry->offset >= m_header.headerLength &&
                  (entry->offset - m_header.headerLength) % length == 0 &&
                  (entry->offset - m_header.headerLength) / length < m_recordCount;
    if (usable) {
        std::string current(length, '\0');
        current.resize(m_file.readAt(entry->offset, current.data(), length));
        usable = RecordJournal::fits(*entry, current);
    }
    if (usable) {
        // Until it is finished (opened for writing) the record reads as it will be once finished.
        m_foundInterruptedWrite = true;
        m_unfinished = std::move(entry);
    }
}

void DbfTable::finishInterruptedWrite() {
    if (m_unfinished) {
        const std::size_t length = m_header.recordLength;
        std::string current(length, '\0');
        current.resize(m_file.readAt(m_unfinished->offset, current.data(), length));
        if (current != m_unfinished->after) {
            m_file.writeAt(m_unfinished->offset, m_unfinished->after.data(), length);
            m_file.sync();
        }
        m_unfinished.reset();
    }
    // Finished, marked done, cut short or not belonging to this table: either way no longer needed.
    ::unlink(RecordJournal::pathFor(m_path).c_str());
}

DbfTable::~DbfTable() {
    if (m_unsynced) {
        try {
            sync();
        } catch (...) {
            // Nothing can be reported from here; the data is already in the file.
        }
    }
}

void DbfTable::create(const std::string& path, TableFormat format, const std::vector<FieldSpec>& fields) {
    std::string header = TableHeader::build(format, fields, CodePage::kWindows1250Driver);
    header.push_back(kEndOfFile);
    bool memoFields = false;
    for (const auto& f : fields) {
        memoFields = memoFields || f.type == 'M';
    }
    // Written under temporary names and renamed, so a crash never leaves half a table behind.
    const std::string tempTable = path + ".new";
    const std::string memo = memoPath(path);
    const std::string tempMemo = memo + ".new";
    ::unlink(tempTable.c_str());
    ::unlink(tempMemo.c_str());
    if (::access(path.c_str(), F_OK) == 0) {
        throw DbfError("Table file " + baseName(path) + " already exists");
    }
    // A journal left by a table of the same name that was deleted must not touch the new one.
    ::unlink(RecordJournal::pathFor(path).c_str());
    try {
        if (hasMemoFile(format) || memoFields) {
            std::string stem = baseName(path);
            stem = stem.substr(0, stem.rfind('.'));
            MemoFile::create(tempMemo, memoStyle(format), stem);
        }
        {
            PosixFile file = PosixFile::create(tempTable);
            file.writeAt(0, header.data(), header.size());
            file.sync();
        }
        if ((hasMemoFile(format) || memoFields) && ::rename(tempMemo.c_str(), memo.c_str()) != 0) {
            throw DbfError("Memo file " + baseName(memo) + " cannot be created (" + std::strerror(errno) + ")");
        }
        if (::rename(tempTable.c_str(), path.c_str()) != 0) {
            throw DbfError("Table file " + baseName(path) + " cannot be created (" + std::strerror(errno) + ")");
        }
    } catch (...) {
        ::unlink(tempTable.c_str());
        ::unlink(tempMemo.c_str());
        throw;
    }
}

int DbfTable::findField(std::string_view name) const {
    for (std::size_t i = 0; i < m_header.fields.size(); ++i) {
        if (sameFieldName(m_header.fields[i].name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string DbfTable::blankRecord() const {
    std::string rec(m_header.recordLength, ' ');
    for (const auto& f : m_header.fields) {
        std::string b = FieldCodec::blank(f);
        std::memcpy(&rec[f.offset], b.data(), b.size());
    }
    return rec;
}

void DbfTable::loadWindow(std::uint32_t index) {
    const std::size_t length = m_header.recordLength;
    const bool inOrder = m_windowCount > 0 && (index == m_windowFirst + m_windowCount || index + 1 == m_windowFirst);
    if (inOrder)
        m_windowBytes = kWindowBytes;
    const std::uint32_t capacity = static_cast<std::uint32_t>(std::max<std::size_t>(1, m_windowBytes / length));
    std::uint32_t first = index;
    if (m_windowCount > 0 && index < m_windowFirst) {
        // Walking backwards: keep the records before index in the window.
        first = index >= capacity - 1 ? index - (capacity - 1) : 0;
    }
    const std::uint32_t count = std::min(capacity, m_recordCount - first);
    m_window.resize(static_cast<std::size_t>(count) * length);
    std::size_t got = m_file.readAt(m_header.headerLength + static_cast<std::uint64_t>(first) * length,
                                    m_window.data(), m_window.size());
    m_windowFirst = first;
    m_windowCount = static_cast<std::uint32_t>(got / length);
    if (m_unfinished) {
        const std::uint64_t unfinished = (m_unfinished->offset - m_header.headerLength) / length;
        if (unfinished >= first && unfinished < static_cast<std::uint64_t>(first) + m_windowCount) {
            std::memcpy(&m_window[static_cast<std::size_t>(unfinished - first) * length], m_unfinished->after.data(),
                        length);
        }
    }
    if (m_windowCount <= index - first) {
        m_windowCount = 0;
        throw DbfError("Table " + m_name + " is damaged: record " + std::to_string(index + 1) + " cannot be read");
    }
}

std::string_view DbfTable::record(std::uint32_t index) {
    if (index >= m_recordCount) {
        throw DbfError("Table " + m_name + ": there is no record " + std::to_string(index + 1));
    }
    if (m_windowCount == 0 || index < m_windowFirst || index >= m_windowFirst + m_windowCount) {
        loadWindow(index);
    }
    const std::size_t length = m_header.recordLength;
    return std::string_view(m_window).substr(static_cast<std::size_t>(index - m_windowFirst) * length, length);
}

std::string_view DbfTable::recordsFrom(std::uint32_t index) {
    record(index); // loads the window when needed
    const std::size_t length = m_header.recordLength;
    return std::string_view(m_window).substr(static_cast<std::size_t>(index - m_windowFirst) * length,
                                             static_cast<std::size_t>(m_windowFirst + m_windowCount - index) * length);
}

void DbfTable::writeRecord(std::uint32_t index, std::string_view rec) {
    if (m_mode == Mode::ReadOnly) {
        throw DbfError("Table " + m_name + " is open for reading only");
    }
    if (index >= m_recordCount || rec.size() != m_header.recordLength) {
        throw DbfError("Table " + m_name + ": there is no record " + std::to_string(index + 1) + " to write");
    }
    const std::uint64_t offset = m_header.headerLength + static_cast<std::uint64_t>(index) * rec.size();
    if (RecordJournal::spansPages(offset, rec.size())) {
        RecordJournal::Entry entry{offset, std::string(rec.size(), '\0'), std::string(rec)};
        m_file.readAt(offset, entry.before.data(), entry.before.size());
        m_journal.begin(entry);
        m_file.writeAt(offset, rec.data(), rec.size());
        m_journal.done();
    } else {
        m_file.writeAt(offset, rec.data(), rec.size());
    }
    if (m_windowCount > 0 && index >= m_windowFirst && index < m_windowFirst + m_windowCount) {
        std::memcpy(&m_window[static_cast<std::size_t>(index - m_windowFirst) * rec.size()], rec.data(), rec.size());
    }
    afterWrite();
}

void DbfTable::writeCount(std::uint32_t count) {
    unsigned char bytes[7];
    currentDateBytes(bytes);
    for (int i = 0; i < 4; ++i) {
        bytes[3 + i] = static_cast<unsigned char>(count >> (8 * i));
    }
    m_file.writeAt(1, bytes, sizeof bytes);
    m_header.recordCount = count;
}

std::uint32_t DbfTable::appendRecord(std::string rec) {
    if (m_mode == Mode::ReadOnly) {
        throw DbfError("Table " + m_name + " is open for reading only");
    }
    if (rec.size() != m_header.recordLength) {
        throw DbfError("Table " + m_name + ": a record of the wrong length cannot be appended");
    }
    if (m_recordCount == 0xFFFFFFFEu) {
        throw DbfError("Table " + m_name + " is full",
                       "Tabela " + m_name + " jest pełna: nie mieści więcej rekordów.");
    }
    for (auto& f : m_header.fields) {
        if (f.type == '+' && FieldCodec::isNull(f, std::string_view(rec).substr(f.offset, f.length))) {
            std::uint32_t value = std::max<std::uint32_t>(f.nextAutoIncrement, 1);
            unsigned char next[4];
            for (int i = 0; i < 4; ++i) {
                next[i] = static_cast<unsigned char>((value + 1) >> (8 * i));
            }
            // The counter moves first: a crash in between skips a number rather than giving one twice.
            m_file.writeAt(f.descriptorOffset + kNextAutoIncrementOffset, next, sizeof next);
            f.nextAutoIncrement = value + 1;
            std::string bytes = FieldCodec::fromInteger(f, value);
            std::memcpy(&rec[f.offset], bytes.data(), bytes.size());
        }
    }
    // The record goes in marked deleted, is counted, and only then marked live. A program killed before the
    // count leaves one deleted record past the count, which opening tells from damage (RecordSpan); one
    // killed after it leaves a counted deleted record. Neither shows a record that was never stored whole.
    const std::uint32_t index = m_recordCount;
    const std::uint64_t offset = m_header.headerLength + static_cast<std::uint64_t>(index) * m_header.recordLength;
    const char flag = rec[0];
    rec[0] = '*';
    rec.push_back(kEndOfFile);
    m_file.writeAt(offset, rec.data(), rec.size());
    writeCount(index + 1);
    m_recordCount = index + 1;
    if (flag != '*') {
        m_file.writeAt(offset, &flag, 1);
    }
    afterWrite();
    return index;
}

void DbfTable::setDeleted(std::uint32_t index, bool deleted) {
    if (m_mode == Mode::ReadOnly) {
        throw DbfError("Table " + m_name + " is open for reading only");
    }
    std::string rec(record(index));
    rec[0] = deleted ? '*' : ' ';
    writeRecord(index, rec);
}

std::string DbfTable::memoBytes(const FieldDef& field, std::string_view rec) const {
    if (!m_memo.isOpen()) {
        return {};
    }
    return m_memo.read(FieldCodec::memoBlock(field, rec.substr(field.offset, field.length)));
}

bool DbfTable::memoInRange(const FieldDef& field, std::string_view rec) const {
    std::uint32_t block = FieldCodec::memoBlock(field, rec.substr(field.offset, field.length));
    return block == 0 || (m_memo.isOpen() && m_memo.contains(block));
}

void DbfTable::storeMemo(const FieldDef& field, std::string& rec, std::string_view bytes) {
    if (m_mode == Mode::ReadOnly) {
        throw DbfError("Table " + m_name + " is open for reading only");
    }
    std::uint32_t block = 0;
    if (!bytes.empty()) {
        if (!m_memo.isOpen()) {
            throw DbfError("Table " + m_name + " has no memo file for field " + field.name,
                           "Tabela " + m_name + " nie ma pliku notatek dla pola " + field.name + ".");
        }
        block = m_memo.append(bytes);
    }
    std::string pointer = FieldCodec::memoPointer(field, block);
    std::memcpy(&rec[field.offset], pointer.data(), pointer.size());
}

std::string DbfTable::text(int field, std::string_view rec) const {
    const FieldDef& f = m_header.fields.at(static_cast<std::size_t>(field));
    if (f.type == 'M') {
        return m_codePage->toUtf8(memoBytes(f, rec));
    }
    if (f.type == 'B' || f.type == 'G') {
        std::string bytes = memoBytes(f, rec);
        return bytes.empty() ? std::string() : "(binary, " + std::to_string(bytes.size()) + " bytes)";
    }
    return FieldCodec::toText(f, rec.substr(f.offset, f.length), *m_codePage);
}

void DbfTable::afterWrite() {
    m_unsynced = true;
    const auto now = std::chrono::steady_clock::now();
    if (m_syncPolicy == SyncPolicy::EveryWrite ||
        (m_syncPolicy == SyncPolicy::Interval && now - m_lastSync >= std::chrono::seconds(1))) {
        sync();
    }
}

void DbfTable::sync() {
    if (m_mode == Mode::ReadOnly) {
        return;
    }
    if (m_memo.isOpen()) {
        m_memo.sync();
    }
    m_file.sync();
    m_unsynced = false;
    m_lastSync = std::chrono::steady_clock::now();
}

} // namespace talvern::dbf

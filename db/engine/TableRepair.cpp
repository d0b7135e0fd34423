#include "TableRepair.h"

#include "DbfError.h"
#include "DbfTable.h"
#include "FieldCodec.h"
#include "FileNames.h"
#include "LittleEndian.h"
#include "MemoFile.h"
#include "PosixFile.h"
#include "RecordFaults.h"
#include "TableHeader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace talvern::dbf {
namespace {

using littleEndian::put16;
using littleEndian::put32;
using littleEndian::get16;
using littleEndian::get32;

constexpr char kTerminator = 0x0D;
constexpr char kEndOfFile = 0x1A;
constexpr std::size_t kChunkBytes = 512 * 1024;
constexpr std::size_t kListedRecords = 50; // record-level changes listed one by one; the rest are counted

std::string shownByte(char c) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned char>(c));
    return text;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The header as it should be: the field list read up to its terminator, whatever the stated header length
// says, and the lengths derived from it. Throws when no field list can be read.
struct DerivedHeader {
    std::string bytes; // the header for the copy, its lengths and count still to be set by the caller
    TableFormat format = TableFormat::DBase3;
    std::uint16_t statedHeaderLength = 0;
    std::uint16_t statedRecordLength = 0;
    std::uint32_t statedCount = 0;
    std::uint16_t headerLength = 0;
    std::uint16_t recordLength = 0;
};

DerivedHeader deriveHeader(const std::string& head, const std::string& name) {
    auto cannot = [&](const std::string& why) {
        return DbfError("Table " + name + " cannot be repaired: " + why);
    };
    if (head.size() < TableHeader::kPrefixLength) {
        throw cannot("the file is shorter than a table header");
    }
    DerivedHeader d;
    const auto format = formatFromVersion(static_cast<std::uint8_t>(head[0]));
    if (!format) {
        throw cannot("its version byte " + shownByte(head[0]) + " is not one of a dBASE table");
    }
    if (head[15] != 0) {
        throw cannot("it is encrypted");
    }
    d.format = *format;
    d.statedCount = get32(head, 4);
    d.statedHeaderLength = get16(head, 8);
    d.statedRecordLength = get16(head, 10);
    const bool level7 = isLevel7(d.format);
    const std::size_t start = level7 ? 68 : 32;
    const std::size_t descLength = level7 ? 48 : 32;
    const std::size_t widthAt = level7 ? 33 : 16;

    // The terminator stands right after the last descriptor, at a descriptor boundary.
    std::size_t pos = start;
    std::size_t recordLength = 1;
    while (pos < head.size() && head[pos] != kTerminator) {
        if (pos + descLength > head.size() || pos + descLength > 0xFFFF) {
            throw cannot("the end of its field list cannot be found");
        }
        recordLength += static_cast<unsigned char>(head[pos + widthAt]);
        pos += descLength;
    }
    if (pos >= head.size()) {
        throw cannot("the end of its field list cannot be found");
    }
    const std::size_t fieldsEnd = pos + 1;
    std::size_t headerLength = fieldsEnd;
    if (d.statedHeaderLength > fieldsEnd && d.statedHeaderLength <= head.size() &&
        TableHeader::isHeaderTail(std::string_view(head).substr(fieldsEnd, d.statedHeaderLength - fieldsEnd),
                                  d.format)) {
        headerLength = d.statedHeaderLength; // padding or level 7 field properties after the list: kept
    }
    if (recordLength > 0xFFFF) {
        throw cannot("its fields are wider than a record can be");
    }
    d.headerLength = static_cast<std::uint16_t>(headerLength);
    d.recordLength = static_cast<std::uint16_t>(recordLength);
    d.bytes = head.substr(0, headerLength);
    put16(d.bytes, 8, d.headerLength);
    put16(d.bytes, 10, d.recordLength);
    try {
        TableHeader::parse(d.bytes, name); // every descriptor must make sense
    } catch (const DbfError& e) {
        throw cannot(std::string("its field list cannot be read (") + e.what() + ")");
    }
    return d;
}

// Removes the copy's files unless it was finished.
struct PendingFiles {
    std::vector<std::string> paths;
    bool kept = false;
    ~PendingFiles() {
        if (!kept) {
            for (const auto& p : paths) {
                ::unlink(p.c_str());
            }
        }
    }
};

void renameInto(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        throw DbfError("The repaired copy " + baseName(to) + " cannot be written (" + std::strerror(errno) + ")");
    }
}

} // namespace

RepairReport repairTable(const std::string& path) {
    const std::string original = findIgnoringCase(path);
    const std::string name = baseName(original);
    const PosixFile source(original, PosixFile::Access::ReadOnly, PosixFile::Lock::Shared);
    const std::uint64_t size = source.size();

    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(size, 0x10000 + 68)), '\0');
    head.resize(source.readAt(0, head.data(), head.size()));
    DerivedHeader header = deriveHeader(head, name);
    const TableHeader fields = TableHeader::parse(header.bytes, name);

    RepairReport report;
    report.copyPath = repairedCopyPath(original);
    if (exists(report.copyPath)) {
        throw DbfError("The repaired copy " + baseName(report.copyPath) +
                       " exists already; move it away (or remove it) and repair again");
    }
    auto& actions = report.actions;
    if (header.headerLength != header.statedHeaderLength) {
        actions.push_back("Header length set to " + std::to_string(header.headerLength) + ", where the field list ends (the header said " +
                          std::to_string(header.statedHeaderLength) + ")");
    }
    if (header.recordLength != header.statedRecordLength) {
        actions.push_back("Record length set to " + std::to_string(header.recordLength) + ", what the fields add up to (the header said " +
                          std::to_string(header.statedRecordLength) + ")");
    }

    // The memo file: read from the original, copied as it is; a missing one becomes an empty one.
    const std::vector<std::size_t> memoFields = memoFieldPositions(fields.fields);
    const bool needsMemo = hasMemoFile(header.format) || !memoFields.empty();
    const auto style = header.format == TableFormat::DBase3Memo ? MemoFile::Style::DBase3 : MemoFile::Style::DBase4;
    const std::string memoOriginal = findIgnoringCase(memoPath(original));
    std::optional<MemoFile> memo;
    if (needsMemo && exists(memoOriginal)) {
        memo.emplace(memoOriginal, PosixFile::Access::ReadOnly, PosixFile::Lock::Shared, style);
    } else if (!memoFields.empty()) {
        actions.push_back("The memo file " + baseName(memoOriginal) +
                          " was missing: the copy has an empty one, and every note pointer was emptied");
    }
    if (needsMemo && (memo || !memoFields.empty())) {
        report.memoCopyPath = memoPath(report.copyPath);
        if (exists(report.memoCopyPath)) {
            throw DbfError("The repaired copy's memo file " + baseName(report.memoCopyPath) +
                           " exists already; move it away (or remove it) and repair again");
        }
    }

    PendingFiles pending;
    const std::string tableTemp = report.copyPath + ".new";
    const std::string memoTemp = report.memoCopyPath + ".new";
    ::unlink(tableTemp.c_str());
    pending.paths.push_back(tableTemp);
    if (!report.memoCopyPath.empty()) {
        ::unlink(memoTemp.c_str());
        pending.paths.push_back(memoTemp);
        if (memo) {
            PosixFile from(memoOriginal, PosixFile::Access::ReadOnly, PosixFile::Lock::Shared);
            PosixFile to = PosixFile::create(memoTemp);
            std::string chunk(kChunkBytes, '\0');
            for (std::uint64_t at = 0;;) {
                const std::size_t got = from.readAt(at, chunk.data(), chunk.size());
                if (got == 0) {
                    break;
                }
                to.writeAt(at, chunk.data(), got);
                at += got;
            }
            to.sync();
        } else {
            std::string stem = baseName(report.copyPath);
            stem = stem.substr(0, stem.rfind('.'));
            MemoFile::create(memoTemp, style, stem);
        }
    }

    // The records: every whole one after the header, each mended where it disagrees with the rest.
    PosixFile to = PosixFile::create(tableTemp);
    const std::size_t length = header.recordLength;
    const std::uint64_t dataBytes = size > header.headerLength ? size - header.headerLength : 0;
    std::uint64_t whole = dataBytes / length;
    std::uint64_t rest = dataBytes % length;
    std::uint64_t unlisted = 0;
    std::vector<std::string> recordActions; // told after the file-wide ones
    auto record = [&](const std::string& action) {
        if (recordActions.size() < kListedRecords) {
            recordActions.push_back(action);
        } else {
            ++unlisted;
        }
    };
    std::string chunk;
    std::uint64_t written = 0;
    bool endMarkPastCount = false;
    for (std::uint64_t first = 0; first < whole && !endMarkPastCount;) {
        const std::uint64_t count = std::min<std::uint64_t>(whole - first, std::max<std::size_t>(1, kChunkBytes / length));
        chunk.resize(static_cast<std::size_t>(count * length));
        chunk.resize(source.readAt(header.headerLength + first * length, chunk.data(), chunk.size()));
        const std::uint64_t got = chunk.size() / length;
        if (got == 0) {
            break;
        }
        for (std::uint64_t i = 0; i < got; ++i) {
            const std::uint64_t index = first + i;
            char* rec = &chunk[static_cast<std::size_t>(i * length)];
            if (index >= header.statedCount && rec[0] == kEndOfFile) {
                // The data ends here; what follows the mark (padding, leftovers) is not records.
                endMarkPastCount = true;
                chunk.resize(static_cast<std::size_t>(i * length));
                break;
            }
            const std::string number = std::to_string(index + 1);
            const RecordFaults faults = inspectRecord(fields.fields, memoFields, std::string_view(rec, length),
                                                      memo ? &*memo : nullptr);
            if (faults.badFlag) {
                record("Record " + number + " started with " + shownByte(rec[0]) +
                       " instead of ' ' or '*': kept, marked deleted");
                rec[0] = '*';
            }
            for (const MemoFault& fault : faults.memos) {
                const FieldDef& field = fields.fields[fault.field];
                const std::string blank = FieldCodec::memoPointer(field, 0);
                std::memcpy(rec + field.offset, blank.data(), blank.size());
                if (!memo) {
                    continue; // told once, with the missing memo file
                }
                record("Record " + number + ", field " + field.name + ": " +
                       (fault.unreadable ? std::string("the note's pointer was not a block number")
                                         : "the note's pointer (block " + std::to_string(fault.block) +
                                               ") lay past the end of the memo file") +
                       "; emptied");
            }
        }
        to.writeAt(header.headerLength + written * length, chunk.data(), chunk.size());
        written += chunk.size() / length;
        first += got;
        if (got < count) {
            break; // the file shrank while being read
        }
    }
    if (endMarkPastCount) {
        actions.push_back("The data ends with an end-of-file mark after record " + std::to_string(written) +
                          "; the " + std::to_string(dataBytes - written * length) + " bytes from there on were left out");
    } else if (rest > 1 || (rest == 1 && [&] {
                   char last = 0;
                   source.readAt(size - 1, &last, 1);
                   return last != kEndOfFile;
               }())) {
        actions.push_back("The last " + std::to_string(rest) + " bytes, a record cut off, were dropped");
    }
    if (written > 0xFFFFFFFEull) {
        throw DbfError("Table " + name + " cannot be repaired: it holds more records than a table can count");
    }
    report.records = static_cast<std::uint32_t>(written);
    if (written != header.statedCount) {
        actions.push_back("Record count set to " + std::to_string(written) + ", the whole records the file holds (the header said " +
                          std::to_string(header.statedCount) + ")");
    }
    actions.insert(actions.end(), recordActions.begin(), recordActions.end());
    if (unlisted > 0) {
        actions.push_back(std::to_string(unlisted) + " more change(s) of that kind in later records");
    }
    put32(header.bytes, 4, report.records);
    to.writeAt(0, header.bytes.data(), header.bytes.size());
    const char endMark = kEndOfFile;
    to.writeAt(header.headerLength + written * length, &endMark, 1);
    to.sync();
    to.close();

    // Into place (memo file first, as the table without it would not open), then proved sound.
    if (!report.memoCopyPath.empty()) {
        renameInto(memoTemp, report.memoCopyPath);
        pending.paths.push_back(report.memoCopyPath);
    }
    renameInto(tableTemp, report.copyPath);
    pending.paths.push_back(report.copyPath);
    try {
        DbfTable check(report.copyPath, DbfTable::Mode::ReadOnly);
    } catch (const DbfError& e) {
        throw DbfError("Table " + name + " could not be repaired; the copy is still damaged (" + e.what() + ")");
    }
    pending.kept = true;
    return report;
}

} // namespace talvern::dbf

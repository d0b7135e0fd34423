#include "DbfTable.h"
#include "RecordJournal.h"
#include "StandardTables.h"
#include "TableCheck.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

// A rewrite of a record that spans two pages of the file, cut short by a kill, is finished from the journal
// at the next opening, and only when it still belongs to the record.
namespace talvern::db::test {
namespace {

using dbf::DbfTable;
using dbf::RecordJournal;

struct SpanningRecord {
    std::uint32_t index = 0;
    std::uint64_t offset = 0;
    std::string before;
    std::string after;
};

// Appends users until one record spans a page boundary that falls inside its text fields; its new image
// differs from the old one in every text byte, so that a torn record differs from both.
SpanningRecord makeUsersWithSpanningRecord(const std::string& path) {
    DbfTable table(path, DbfTable::Mode::ReadWrite);
    auto fill = [&table](std::string rec, char base, int modulus, std::uint32_t salt) {
        for (const auto& f : table.fields()) {
            if (f.type == 'C') {
                for (std::size_t b = f.offset; b < f.offset + f.length; ++b) {
                    rec[b] = static_cast<char>(base + (salt + b) % static_cast<unsigned>(modulus));
                }
            }
        }
        return rec;
    };
    for (std::uint32_t i = 0;; ++i) {
        const std::string rec = fill(table.blankRecord(), 'a', 26, i);
        table.appendRecord(rec);
        const std::uint64_t offset = table.header().headerLength + std::uint64_t{i} * table.recordLength();
        const std::uint64_t split = RecordJournal::kPageBytes - offset % RecordJournal::kPageBytes;
        if (RecordJournal::spansPages(offset, table.recordLength()) && split > 10 && split < 90) {
            return {i, offset, rec, fill(rec, '0', 10, 0)};
        }
    }
}

void writeBytesAt(const std::string& path, std::uint64_t offset, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

TEST(Journal, NextOpeningFinishesOrDropsWhatAKilledRewriteLeft) {
    enum class Record { Old, Torn, New, Foreign };
    enum class Journal { Entry, MarkedDone, CutShort };
    struct Case {
        const char* name;
        Record record;
        Journal journal;
        bool finished; // the record reads as the new image afterwards
    };
    const Case cases[] = {
        {"killed after the journal, before the record", Record::Old, Journal::Entry, true},
        {"killed between the two pages of the record", Record::Torn, Journal::Entry, true},
        {"killed after the record, before marking done", Record::New, Journal::Entry, true},
        {"killed after marking done", Record::New, Journal::MarkedDone, true},
        {"killed while writing the journal", Record::Old, Journal::CutShort, false},
        {"table replaced since", Record::Foreign, Journal::Entry, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ASSERT_TRUE(ensureStandardTables(dir.path()));
        const std::string path = dir.file("osoby.dbf");
        const SpanningRecord r = makeUsersWithSpanningRecord(path);
        const std::uint64_t boundary = (r.offset / RecordJournal::kPageBytes + 1) * RecordJournal::kPageBytes;
        std::string foreign = r.before;
        foreign[10] = '#'; // inside SURNAME
        switch (c.record) {
        case Record::Old:
            break;
        case Record::Torn:
            writeBytesAt(path, r.offset, r.after.substr(0, boundary - r.offset));
            break;
        case Record::New:
            writeBytesAt(path, r.offset, r.after);
            break;
        case Record::Foreign:
            writeBytesAt(path, r.offset, foreign);
            break;
        }
        std::string journal = RecordJournal::encode({r.offset, r.before, r.after});
        if (c.journal == Journal::MarkedDone) {
            journal.replace(0, 8, 8, '\0');
        } else if (c.journal == Journal::CutShort) {
            journal.resize(journal.size() - 10);
        }
        const std::string journalPath = RecordJournal::pathFor(path);
        writeAll(journalPath, journal);
        const std::string expected = c.finished ? r.after : c.record == Record::Foreign ? foreign : r.before;

        // Reading alone shows the record finished and leaves the journal for the program.
        const dbf::CheckReport report = dbf::checkTable(path);
        EXPECT_TRUE(report.sound());
        const bool pending = c.journal == Journal::Entry && c.record != Record::Foreign;
        EXPECT_EQ(report.notes.size(), pending ? 1u : 0u);
        {
            DbfTable reader(path, DbfTable::Mode::ReadOnly);
            EXPECT_EQ(reader.record(r.index), expected);
        }
        EXPECT_TRUE(exists(journalPath));

        {
            DbfTable writer(path, DbfTable::Mode::ReadWrite);
            EXPECT_EQ(writer.record(r.index), expected);
            EXPECT_FALSE(exists(journalPath));
        }
        DbfTable again(path, DbfTable::Mode::ReadOnly);
        EXPECT_EQ(again.record(r.index), expected);
        EXPECT_TRUE(dbf::checkTable(path).notes.empty());
    }
}

TEST(Journal, RewritesLeaveNoJournalBehindAndKeepNeighbours) {
    TempDir dir;
    ASSERT_TRUE(ensureStandardTables(dir.path()));
    const std::string path = dir.file("osoby.dbf");
    const SpanningRecord r = makeUsersWithSpanningRecord(path);
    std::string neighbour;
    {
        DbfTable table(path, DbfTable::Mode::ReadWrite);
        neighbour = table.record(r.index - 1);
        table.writeRecord(r.index, r.after);
        table.setDeleted(r.index, true);
        EXPECT_TRUE(exists(RecordJournal::pathFor(path))) << "a spanning rewrite goes through the journal";
    }
    EXPECT_FALSE(exists(RecordJournal::pathFor(path)));
    DbfTable table(path, DbfTable::Mode::ReadOnly);
    std::string expected = r.after;
    expected[0] = '*';
    EXPECT_EQ(table.record(r.index), expected);
    EXPECT_EQ(table.record(r.index - 1), neighbour);
}

TEST(Journal, NewTableIgnoresTheJournalOfADeletedOne) {
    TempDir dir;
    const std::string path = dir.file("osoby.dbf");
    ASSERT_TRUE(ensureStandardTables(dir.path()));
    const SpanningRecord r = makeUsersWithSpanningRecord(path);
    writeAll(RecordJournal::pathFor(path), RecordJournal::encode({r.offset, r.before, r.after}));
    for (const char* file : {"osoby.dbf", "osoby.dbt", "grupa.dbf", "grupa.dbt", "sprzet.dbf", "sprzet.dbt"}) {
        ASSERT_EQ(::unlink(dir.file(file).c_str()), 0) << file;
    }
    ASSERT_TRUE(ensureStandardTables(dir.path()));
    EXPECT_FALSE(exists(RecordJournal::pathFor(path)));
}

} // namespace
} // namespace talvern::db::test

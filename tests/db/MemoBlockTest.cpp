// dBASE IV memo blocks: a memo whose 8-byte head and text exactly fill its last block is followed by a
// spare block, as dBASE IV writes it, so the next memo starts one block later.
#include "DbfTable.h"
#include "FieldCodec.h"
#include "ProcessRun.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace talvern::db::test {
namespace {

using dbf::DbfTable;
using dbf::TableFormat;

const std::string kScripts = TALVERN_INTEROP_SCRIPTS;

// Memo text sizes around the 512-byte block boundaries (8 bytes of each first block are the memo's head),
// and the block each memo starts in when they are written one after another from block 1.
const struct {
    std::size_t size;
    std::uint32_t block;
} kMemos[] = {
    {503, 1},  // 511 bytes: one block
    {504, 2},  // 512 bytes: fills its block exactly, so one spare block follows
    {505, 4},  // 513 bytes: two blocks
    {1015, 6}, // 1023 bytes: two blocks
    {1016, 8}, // 1024 bytes: two full blocks and a spare one
    {1017, 11},
    {1, 14},   // the last memo, to show where the one before it ended
};

std::string memoText(std::size_t size, std::size_t seed) {
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + (i + seed) % 26);
    }
    return text;
}

class MemoBlocks : public ::testing::TestWithParam<TableFormat> {};

TEST_P(MemoBlocks, MemosThatFillTheirLastBlockAreFollowedByASpareOne) {
    TempDir dir;
    const std::string path = dir.file("notes.dbf");
    DbfTable::create(path, GetParam(), {{"ID", 'N', 4}, {"NOTE", 'M', 10}});
    {
        TTable t;
        t.open(path);
        for (std::size_t i = 0; i < std::size(kMemos); ++i) {
            t.append();
            t.fieldByName("ID").setAsInteger(static_cast<std::int64_t>(i));
            t.fieldByName("NOTE").setAsString(memoText(kMemos[i].size, i));
            t.post();
        }
    }
    const std::string dbt = readAll(dir.file("notes.dbt"));
    {
        DbfTable table(path, DbfTable::Mode::ReadOnly);
        const auto& note = table.fields()[1];
        for (std::uint32_t r = 0; r < table.recordCount(); ++r) {
            const std::string rec(table.record(r));
            const std::uint32_t block = dbf::FieldCodec::memoBlock(note, std::string_view(rec).substr(note.offset, 10));
            EXPECT_EQ(block, kMemos[r].block) << "memo of " << kMemos[r].size << " bytes";
            // Each memo's head gives its length, head included; the spare block stays zero.
            const std::string head = dbt.substr(block * 512u, 8);
            const std::uint32_t length = static_cast<unsigned char>(head[4]) | static_cast<unsigned char>(head[5]) << 8;
            EXPECT_EQ(head.substr(0, 4), std::string("\xFF\xFF\x08\x00", 4));
            EXPECT_EQ(length, kMemos[r].size + 8);
            if (r + 1 < table.recordCount() && (kMemos[r].size + 8) % 512 == 0) {
                EXPECT_EQ(dbt.substr(kMemos[r + 1].block * 512u - 512u, 512), std::string(512, '\0'))
                    << "the spare block after the memo of " << kMemos[r].size << " bytes";
            }
        }
    }
    EXPECT_EQ(dbt.size(), (kMemos[std::size(kMemos) - 1].block + 1) * 512u);
    std::uint32_t nextFree = 0;
    for (int i = 3; i >= 0; --i) {
        nextFree = nextFree << 8 | static_cast<unsigned char>(dbt[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(nextFree, kMemos[std::size(kMemos) - 1].block + 1);

    // We read every memo back whole, and so does an independent reader that follows dBASE IV (Perl's XBase).
    TTable t;
    t.open(path);
    std::string lengths;
    for (std::size_t i = 0; i < std::size(kMemos); ++i) {
        t.moveTo(static_cast<int>(i) + 1);
        EXPECT_EQ(t.fieldByName("NOTE").asString(), memoText(kMemos[i].size, i));
        lengths += std::to_string(kMemos[i].size) + "\n";
    }
    t.close();
    if (GetParam() != TableFormat::DBase4Memo) {
        return; // Perl's XBase reads no level-7 header
    }
    RunResult perl =
        runCommand("/usr/bin/perl " + quoted(kScripts + "/memo_lengths.pl") + " " + quoted(path) + " NOTE");
    ASSERT_EQ(perl.exitCode, 0) << "is the Debian package libdbd-xbase-perl installed?";
    EXPECT_EQ(perl.output, lengths);
}

INSTANTIATE_TEST_SUITE_P(DBase4Layouts, MemoBlocks, ::testing::Values(TableFormat::DBase4Memo, TableFormat::Level7Memo),
                         [](const auto& info) {
                             return info.param == TableFormat::DBase4Memo ? std::string("DBase4")
                                                                          : std::string("Level7");
                         });

} // namespace
} // namespace talvern::db::test

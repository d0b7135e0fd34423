#include "DbfError.h"
#include "DbfTable.h"
#include "TTable.h"
#include "TableCheck.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <functional>

namespace talvern::db::test {
namespace {

using dbf::DbfError;
using dbf::DbfTable;
using dbf::TableFormat;

// A damaged table either opens with what can be read safely or is refused with a message naming it, and a
// refused table is left byte for byte as it was: it never crashes, hangs, reads outside the file or gets
// written. The records past the count that an append cut short leaves are told from damage.
struct Damage {
    const char* name;
    std::function<void(std::string& dbf, std::string& dbt)> apply;
    int expectedRecords; // -1: opening must fail with a clear error
};

void PrintTo(const Damage& c, std::ostream* os) { *os << c.name; }

void put16(std::string& b, std::size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

constexpr std::size_t kHeader = 32 + 2 * 32 + 1; // two fields

class DamagedTable : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedTable, OpensSafelyOrFailsClearly) {
    TempDir dir;
    const std::string path = dir.file("grupa.dbf");
    DbfTable::create(path, TableFormat::DBase3Memo, {{"NAME", 'C', 10}, {"NOTES", 'M', 10}});
    {
        TTable t;
        t.open(path);
        for (int i = 0; i < 3; ++i) {
            t.append();
            t.fieldByName("NAME").setAsString("g" + std::to_string(i));
            t.fieldByName("NOTES").setAsString("note " + std::to_string(i));
            t.post();
        }
    }
    std::string dbf = readAll(path);
    std::string dbt = readAll(dir.file("grupa.dbt"));
    GetParam().apply(dbf, dbt);
    writeAll(path, dbf);
    if (!dbt.empty()) {
        writeAll(dir.file("grupa.dbt"), dbt);
    } else {
        std::filesystem::remove(dir.file("grupa.dbt"));
    }

    TTable t;
    if (GetParam().expectedRecords < 0) {
        // Opened as the program opens it, to add a group: refused before anything is written.
        try {
            t.open(path);
            t.append();
            t.fieldByName("NAME").setAsString("new");
            t.fieldByName("NOTES").setAsString("would land on the records");
            t.post();
            FAIL() << "a damaged table opened";
        } catch (const DbfError& e) {
            EXPECT_NE(std::string(e.what()).find("grupa"), std::string::npos) << e.what();
            EXPECT_TRUE(e.hasOperatorText()) << e.what();
        }
        EXPECT_EQ(readAll(path), dbf) << "the damaged table was written";
        EXPECT_EQ(readAll(dir.file("grupa.dbt")), dbt) << "the damaged table's memo file was written";
        return;
    }
    t.open(path);
    EXPECT_EQ(t.recordCount(), GetParam().expectedRecords);
    for (t.first(); !t.eof(); t.next()) {
        for (int f = 0; f < t.fieldCount(); ++f) {
            t.field(f).asString();
        }
    }
}

const Damage kDamages[] = {
    {"EmptyFile", [](std::string& b, std::string&) { b.clear(); }, -1},
    {"CutInsideHeader", [](std::string& b, std::string&) { b.resize(40); }, -1},
    {"Encrypted", [](std::string& b, std::string&) { b[15] = 1; }, -1},
    {"UnknownVersion", [](std::string& b, std::string&) { b[0] = 0x30; }, -1},
    {"HeaderLengthTooSmall", [](std::string& b, std::string&) { put16(b, 8, 20); }, -1},
    {"HeaderLengthPastFile", [](std::string& b, std::string&) { put16(b, 8, 60000); }, -1},
    {"DescriptorPastHeader", [](std::string& b, std::string&) { put16(b, 8, kHeader - 20); }, -1},
    {"RecordShorterThanFields", [](std::string& b, std::string&) { put16(b, 10, 5); }, -1},
    {"FieldWithoutWidth", [](std::string& b, std::string&) { b[32 + 16] = 0; }, -1},
    {"UnknownFieldType", [](std::string& b, std::string&) { b[32 + 11] = 'Q'; }, -1},
    {"MissingTerminator", [](std::string& b, std::string&) { b[kHeader - 1] = 'X'; }, -1},
    {"MissingMemoFile", [](std::string&, std::string& m) { m.clear(); }, -1},
    {"CountLargerThanFile", [](std::string& b, std::string&) { b[4] = 100; }, -1},
    {"FileCutInsideARecord", [](std::string& b, std::string&) { b.resize(kHeader + 21 * 2 + 7); }, -1},
    {"FileCutAtARecordEnd", [](std::string& b, std::string&) { b.resize(kHeader + 21 * 2); }, -1},
    {"MemoPointerPastEnd", [](std::string& b, std::string&) { b.replace(kHeader + 11, 10, "    999999"); }, -1},
    {"MemoPointerGarbage", [](std::string& b, std::string&) { b.replace(kHeader + 11, 10, "\x01\x02zzzzzz\xff "); },
     -1},
    {"MemoFileCutShort", [](std::string&, std::string& m) { m.resize(600); }, -1},
    {"MemoWithoutEndMark", [](std::string&, std::string& m) { std::fill(m.begin() + 512, m.end(), 'x'); }, 3},
    {"DeletionFlagOutOfPlace", [](std::string& b, std::string&) { b[kHeader + 21] = 'g'; }, -1},
    {"CountSmallerThanFile", [](std::string& b, std::string&) { b[4] = 1; }, -1},
    {"CountOneSmallLiveRecordPast", [](std::string& b, std::string&) { b[4] = 2; }, -1},
    {"PaddingAfterEndMark", [](std::string& b, std::string&) { b.append(64, '\0'); }, 3},
    // What an append cut short leaves: the record, still marked deleted, past the count; or a piece of it.
    {"AppendCutShortBeforeCount",
     [](std::string& b, std::string&) {
         b[4] = 2;
         b[kHeader + 2 * 21] = '*';
     },
     2},
    {"AppendCutShortInsideRecord",
     [](std::string& b, std::string&) {
         b[kHeader + 3 * 21] = '*';
         b.resize(kHeader + 3 * 21 + 9);
     },
     3},
};

INSTANTIATE_TEST_SUITE_P(Cases, DamagedTable, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

// The next append takes the place of the one that was cut short, and the table is sound again.
TEST(AppendCutShort, NextAppendTakesItsPlace) {
    TempDir dir;
    const std::string path = dir.file("grupa.dbf");
    DbfTable::create(path, TableFormat::DBase3Memo, {{"NAME", 'C', 10}, {"NOTES", 'M', 10}});
    TTable t;
    t.open(path);
    for (const char* name : {"a", "b", "cut"}) {
        t.append();
        t.fieldByName("NAME").setAsString(name);
        t.post();
    }
    t.close();
    std::string bytes = readAll(path);
    bytes[4] = 2;                  // the count not yet written
    bytes[kHeader + 2 * 21] = '*'; // nor the live mark
    writeAll(path, bytes);

    const dbf::CheckReport cut = dbf::checkTable(path);
    EXPECT_TRUE(cut.sound());
    ASSERT_EQ(cut.notes.size(), 1u);
    EXPECT_NE(cut.notes[0].find("append was cut short"), std::string::npos) << cut.notes[0];

    t.open(path);
    EXPECT_EQ(t.recordCount(), 2);
    t.append();
    t.fieldByName("NAME").setAsString("next");
    t.post();
    t.close();
    EXPECT_EQ(readAll(path).size(), kHeader + 3 * 21 + 1);
    const dbf::CheckReport after = dbf::checkTable(path);
    EXPECT_TRUE(after.sound() && after.notes.empty());
    t.open(path);
    t.last();
    EXPECT_EQ(t.fieldByName("NAME").asString(), "next");
}

} // namespace
} // namespace talvern::db::test

#include "DbfError.h"
#include "DbfTable.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <functional>

namespace talvern::db::test {
namespace {

using dbf::DbfError;
using dbf::DbfTable;
using dbf::TableFormat;

// A damaged table either opens with what can be read safely or fails with a message naming it; it never
// crashes, hangs or reads outside the file.
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
        try {
            t.open(path);
            FAIL() << "a damaged table opened";
        } catch (const DbfError& e) {
            EXPECT_NE(std::string(e.what()).find("grupa"), std::string::npos) << e.what();
        }
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
    {"CountLargerThanFile", [](std::string& b, std::string&) { b[4] = 100; }, 3},
    {"FileCutInsideARecord", [](std::string& b, std::string&) { b.resize(kHeader + 21 * 2 + 7); }, 2},
    {"MemoPointerPastEnd",
     [](std::string& b, std::string&) { b.replace(kHeader + 11, 10, "    999999"); }, 3},
    {"MemoPointerGarbage", [](std::string& b, std::string&) { b.replace(kHeader + 11, 10, "\x01\x02zzzzzz\xff "); },
     3},
    {"MemoFileCutShort", [](std::string&, std::string& m) { m.resize(600); }, 3},
    {"MemoWithoutEndMark",
     [](std::string&, std::string& m) {
         m.resize(1024);
         std::fill(m.begin() + 512, m.end(), 'x');
     },
     3},
    {"CountSmallerThanFile", [](std::string& b, std::string&) { b[4] = 1; }, 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, DamagedTable, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvern::db::test

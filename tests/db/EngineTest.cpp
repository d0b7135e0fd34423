#include "DbfError.h"
#include "DbfTable.h"
#include "FieldCodec.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace talvern::db::test {
namespace {

using dbf::DbfError;
using dbf::DbfTable;
using dbf::FieldSpec;
using dbf::TableFormat;

const std::string kPolish = "ą ć ę ł ń ó ś ź ż Ą Ć Ę Ł Ń Ó Ś Ź Ż";

std::string longNote() {
    std::string note;
    for (int line = 0; note.size() < 1800; ++line) {
        note += "Wiersz " + std::to_string(line) + ": zażółć gęślą jaźń\r\n";
    }
    return note;
}

struct FormatCase {
    TableFormat format;
    std::uint8_t version;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << dbf::formatName(c.format); }

class FormatRoundTrip : public ::testing::TestWithParam<FormatCase> {};

// Every layout stores text, numbers, logicals and (where it has a memo file) notes, reads them back after
// reopening, and keeps its own version byte.
TEST_P(FormatRoundTrip, StoresAndReadsBackEveryKindTheProgramWrites) {
    TempDir dir;
    const std::string path = dir.file("t.dbf");
    const bool memo = dbf::hasMemoFile(GetParam().format);
    std::vector<FieldSpec> fields{{"NAME", 'C', 40}, {"NUMBER", 'N', 6}, {"FLAG", 'L', 1}};
    if (memo) {
        fields.push_back({"NOTE", 'M', 10});
    }
    DbfTable::create(path, GetParam().format, fields);
    {
        TTable t;
        t.open(path);
        for (int i = 1; i <= 3; ++i) {
            t.append();
            t.fieldByName("NAME").setAsString(kPolish.substr(0, 20) + std::to_string(i));
            t.fieldByName("NUMBER").setAsInteger(i * 1000);
            t.fieldByName("FLAG").setAsBoolean(i % 2 == 0);
            if (memo) {
                t.fieldByName("NOTE").setAsString(i == 2 ? longNote() : kPolish);
            }
            t.post();
        }
        // A changed note gets new blocks; the record must point at the new text.
        t.moveTo(1);
        t.edit();
        if (memo) {
            t.fieldByName("NOTE").setAsString("nowa notatka");
        }
        t.fieldByName("NUMBER").setAsInteger(-5);
        t.post();
    }
    std::string bytes = readAll(path);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]), GetParam().version);
    EXPECT_EQ(bytes.back(), '\x1A');

    TTable t;
    t.open(path);
    ASSERT_EQ(t.recordCount(), 3);
    const std::int64_t numbers[] = {-5, 2000, 3000};
    for (int i = 1; i <= 3; ++i) {
        t.moveTo(i);
        EXPECT_EQ(t.fieldByName("name").asString(), kPolish.substr(0, 20) + std::to_string(i));
        EXPECT_EQ(t.fieldByName("number").asInteger(), numbers[i - 1]);
        EXPECT_EQ(t.fieldByName("flag").asBoolean(), i % 2 == 0);
        if (memo) {
            EXPECT_EQ(t.fieldByName("note").asString(), i == 1 ? "nowa notatka" : i == 2 ? longNote() : kPolish);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatRoundTrip,
                         ::testing::Values(FormatCase{TableFormat::DBase3, 0x03},
                                           FormatCase{TableFormat::DBase3Memo, 0x83},
                                           FormatCase{TableFormat::DBase4Memo, 0x8B},
                                           FormatCase{TableFormat::Level7, 0x04},
                                           FormatCase{TableFormat::Level7Memo, 0x8C}),
                         [](const auto& info) { return "Version" + std::to_string(info.param.version); });

// The bytes other dBASE readers rely on: header fields, descriptor, padded record, end mark, memo layout.
TEST(DbfLayout, DBase3TableWithMemoIsByteExact) {
    TempDir dir;
    const std::string path = dir.file("osoby.dbf");
    DbfTable::create(path, TableFormat::DBase3Memo, {{"NAME", 'C', 5}, {"NUMBER", 'N', 4}, {"INFO", 'M', 10}});
    {
        TTable t;
        t.open(path);
        t.append();
        t.fieldByName("NAME").setAsString("Łoś");
        t.fieldByName("NUMBER").setAsInteger(42);
        t.fieldByName("INFO").setAsString("ż");
        t.post();
    }
    std::string dbf = readAll(path);
    ASSERT_EQ(dbf.size(), 32u + 3 * 32 + 1 + 20 + 1);
    EXPECT_EQ(static_cast<std::uint8_t>(dbf[0]), 0x83);
    EXPECT_EQ(dbf.substr(4, 4), std::string("\x01\0\0\0", 4));                      // record count
    EXPECT_EQ(dbf.substr(8, 2), std::string("\x81\0", 2));                          // header length 129
    EXPECT_EQ(dbf.substr(10, 2), std::string("\x14\0", 2));                         // record length 20
    EXPECT_EQ(static_cast<std::uint8_t>(dbf[29]), 0xC8);                             // Windows-1250
    EXPECT_EQ(dbf.substr(32, 11), std::string("NAME\0\0\0\0\0\0\0", 11));
    EXPECT_EQ(dbf[43], 'C');
    EXPECT_EQ(dbf[48], 5);
    EXPECT_EQ(dbf[128], '\x0D');
    EXPECT_EQ(dbf.substr(129, 20), std::string(" \xA3o\x9C  ") + "  42" + "         1");
    EXPECT_EQ(dbf.back(), '\x1A');

    std::string dbt = readAll(dir.file("osoby.dbt"));
    ASSERT_EQ(dbt.size(), 1024u);
    EXPECT_EQ(dbt.substr(0, 4), std::string("\x02\0\0\0", 4)); // next free block
    EXPECT_EQ(dbt.substr(512, 3), "\xBF\x1A\x1A");
}

TEST(DbfLayout, DBase4MemoUsesTheBlockSizeOfItsHeader) {
    TempDir dir;
    const std::string path = dir.file("t.dbf");
    DbfTable::create(path, TableFormat::DBase4Memo, {{"NOTE", 'M', 10}});
    std::string dbt = readAll(dir.file("t.dbt"));
    dbt[20] = 64; // a 64-byte block file, as some writers make them
    dbt[21] = 0;
    writeAll(dir.file("t.dbt"), dbt);
    {
        TTable t;
        t.open(path);
        t.append();
        t.fieldByName("NOTE").setAsString(std::string(100, 'a'));
        t.post();
    }
    dbt = readAll(dir.file("t.dbt"));
    // The memo starts at the first 64-byte block past the 512-byte header and counts its 8-byte head.
    EXPECT_EQ(dbt.substr(512, 8), std::string("\xFF\xFF\x08\x00\x6C\x00\x00\x00", 8));
    EXPECT_EQ(dbt.size(), 512u + 128u);
    TTable t;
    t.open(path);
    EXPECT_EQ(t.fieldByName("NOTE").asString(), std::string(100, 'a'));
}

TEST(DbfLevel7, BinaryTypesAndAutoincrementRoundTrip) {
    TempDir dir;
    const std::string path = dir.file("l7.dbf");
    DbfTable::create(path, TableFormat::Level7Memo,
                     {{"ID", '+', 4}, {"COUNT", 'I', 4}, {"RATIO", 'O', 8}, {"STAMP", '@', 8}, {"DAY", 'D', 8},
                      {"A_LONGER_FIELD_NAME_OF_LEVEL_7", 'C', 10}, {"NOTE", 'M', 10}});
    {
        TTable t;
        t.open(path);
        const std::int64_t counts[] = {-7, 0, 2147483647};
        for (std::int64_t count : counts) {
            t.append();
            t.fieldByName("COUNT").setAsInteger(count);
            t.fieldByName("RATIO").setAsString("-2.5");
            t.fieldByName("STAMP").setAsString("2024-02-29 13:45:10");
            t.fieldByName("DAY").setAsString("1999-12-31");
            t.fieldByName("a_longer_field_name_of_level_7").setAsString("żółw");
            t.fieldByName("NOTE").setAsString(longNote());
            t.post();
        }
        EXPECT_THROW(t.fieldByName("COUNT").setAsInteger(1LL << 40), DbfError);
    }
    TTable t;
    t.open(path);
    ASSERT_EQ(t.recordCount(), 3);
    const std::int64_t counts[] = {-7, 0, 2147483647};
    for (int i = 1; i <= 3; ++i) {
        t.moveTo(i);
        EXPECT_EQ(t.fieldByName("ID").asInteger(), i);
        EXPECT_EQ(t.fieldByName("COUNT").asInteger(), counts[i - 1]);
        EXPECT_EQ(t.fieldByName("RATIO").asString(), "-2.5");
        EXPECT_EQ(t.fieldByName("STAMP").asString(), "2024-02-29 13:45:10.000");
        EXPECT_EQ(t.fieldByName("DAY").asString(), "1999-12-31");
        EXPECT_EQ(t.fieldByName("A_LONGER_FIELD_NAME_OF_LEVEL_7").asString(), "żółw");
        EXPECT_EQ(t.fieldByName("NOTE").asString(), longNote());
    }
    // Integers are big-endian with the sign bit flipped: 1 is 80 00 00 01.
    std::string bytes = readAll(path);
    const auto& id = t.file()->fields()[0];
    EXPECT_EQ(bytes.substr(t.file()->header().headerLength + id.offset, 4), std::string("\x80\0\0\x01", 4));
}

TEST(DbfLevel7, AutoincrementCounterSitsWhereTheBdeKeepsIt) {
    // The next value lives in descriptor bytes 42-45; a file whose counter says 9 there gives 9 next,
    // and bytes 40-41 stay clear.
    TempDir dir;
    const std::string path = dir.file("counter.dbf");
    DbfTable::create(path, TableFormat::Level7, {{"ID", '+', 4}, {"NAME", 'C', 10}});
    std::size_t descriptor = 0;
    {
        TTable t;
        t.open(path);
        descriptor = t.file()->fields()[0].descriptorOffset;
    }
    std::string bytes = readAll(path);
    EXPECT_EQ(bytes.substr(descriptor + 40, 6), std::string("\0\0\x01\0\0\0", 6));
    bytes.replace(descriptor + 42, 4, std::string("\x09\0\0\0", 4));
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    TTable t;
    t.open(path);
    t.append();
    t.fieldByName("NAME").setAsString("nine");
    t.post();
    EXPECT_EQ(t.fieldByName("ID").asInteger(), 9);
    t.close();
    EXPECT_EQ(readAll(path).substr(descriptor + 40, 6), std::string("\0\0\x0a\0\0\0", 6));
}

TEST(DbfText, RefusesWhatTheFieldCannotHold) {
    TempDir dir;
    const std::string path = dir.file("t.dbf");
    DbfTable::create(path, TableFormat::DBase3,
                     {{"NAME", 'C', 4}, {"NUMBER", 'N', 3}, {"FLAG", 'L', 1}, {"CODE", 'C', 1}, {"WIDE", 'C', 12}});
    TTable t;
    t.open(path);
    t.append();
    t.fieldByName("NAME").setAsString("ok");
    // Each refusal in English for logs and the table tool, and in Polish for the operator.
    const struct {
        const char* field;
        const char* value;
        const char* english;
        const char* polish;
    } refused[] = {
        {"NAME", "zbyt długi", "Field NAME: the text is longer than the field (4 characters)",
         "Tekst w polu NAME jest za długi: pole mieści najwyżej 4 znaki."},
        {"CODE", "ab", "Field CODE: the text is longer than the field (1 character)",
         "Tekst w polu CODE jest za długi: pole mieści najwyżej 1 znak."},
        {"WIDE", "trzynaście zn", "Field WIDE: the text is longer than the field (12 characters)",
         "Tekst w polu WIDE jest za długi: pole mieści najwyżej 12 znaków."},
        {"NAME", "я", "The character \"я\" cannot be stored in a WINDOWS-1250 table",
         "Znaku „я” nie można zapisać w tabeli o stronie kodowej WINDOWS-1250."},
        {"NAME", "😀", "The character \"😀\" cannot be stored in a WINDOWS-1250 table",
         "Znaku „😀” nie można zapisać w tabeli o stronie kodowej WINDOWS-1250."},
        {"NUMBER", "1234", "Field NUMBER: the number 1234 is wider than the field (3 characters)",
         "Liczba 1234 nie mieści się w polu NUMBER (pole ma 3 znaki)."},
        {"NUMBER", "12a", "Field NUMBER: \"12a\" is not a valid number",
         "Wartość „12a” w polu NUMBER nie jest poprawną liczbą."},
        {"NUMBER", "1.5", "Field NUMBER: \"1.5\" is not a whole number",
         "Wartość „1.5” w polu NUMBER nie jest liczbą całkowitą."},
        {"FLAG", "maybe", "Field FLAG: \"maybe\" is not a logical value",
         "Wartość „maybe” w polu FLAG nie jest wartością logiczną."},
    };
    for (const auto& r : refused) {
        try {
            t.fieldByName(r.field).setAsString(r.value);
            ADD_FAILURE() << r.field << " = " << r.value << " was accepted";
        } catch (const DbfError& e) {
            EXPECT_EQ(std::string(e.what()), r.english);
            EXPECT_TRUE(e.hasOperatorText()) << r.english;
            EXPECT_EQ(e.operatorText(), r.polish);
        }
    }
    EXPECT_EQ(t.fieldByName("NAME").asString(), "ok");
    EXPECT_EQ(t.state(), TTable::State::Insert);
    t.post();
    EXPECT_EQ(t.recordCount(), 1);
}

} // namespace
} // namespace talvern::db::test

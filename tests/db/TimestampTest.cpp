// Level-7 timestamps (@): a plain big-endian IEEE double of milliseconds, 0001-01-01 00:00:00 being
// 86,400,000 (day 1), with no sign flip; eight zero bytes hold no value.
#include "CodePage.h"
#include "DbfError.h"
#include "DbfTable.h"
#include "FieldCodec.h"
#include "ProcessRun.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace talvern::db::test {
namespace {

using dbf::DbfError;
using dbf::DbfTable;
using dbf::FieldCodec::fromText;
using dbf::FieldCodec::isNull;
using dbf::FieldCodec::toText;

const std::string kTool = TALVERN_DBF_TOOL;

std::string fromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

std::string toHex(std::string_view bytes) {
    std::string hex;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, hex.empty() ? "%02x" : " %02x", c);
        hex += buf;
    }
    return hex;
}

const dbf::FieldDef kStamp{"STAMP", '@', 8};

// The bytes were worked out apart from the engine (Python's datetime and struct.pack('>d')): whole days from
// 0001-01-01 plus one, times 86,400,000, plus the milliseconds of the day.
const struct {
    const char* text;
    const char* bytes;
} kVectors[] = {
    {"1970-01-01 00:00:00.000", "42 cc 41 8b a9 9a 00 00"},
    {"2000-02-29 06:30:15.250", "42 cc b0 59 af ae e9 00"},
    {"9999-12-31 23:59:59.999", "42 f1 ef ae 97 30 ff f0"},
    {"0001-01-01 00:00:00.000", "41 94 99 70 00 00 00 00"},
};

TEST(Level7Timestamp, KnownDatesGiveKnownBytesBothWays) {
    dbf::CodePage codePage;
    for (const auto& v : kVectors) {
        EXPECT_EQ(toHex(fromText(kStamp, v.text, codePage)), v.bytes) << v.text;
        EXPECT_EQ(toText(kStamp, fromHex(v.bytes), codePage), v.text) << v.bytes;
        EXPECT_FALSE(isNull(kStamp, fromHex(v.bytes))) << v.bytes;
    }
}

TEST(Level7Timestamp, OlderSignFlippedBytesStillRead) {
    // Earlier versions of this program wrote timestamps with the sign bit flipped, as for O fields.
    dbf::CodePage codePage;
    EXPECT_EQ(toText(kStamp, fromHex("c2 cc 41 8b a9 9a 00 00"), codePage), "1970-01-01 00:00:00.000");
    EXPECT_EQ(toText(kStamp, fromHex("c2 cc b0 59 af ae e9 00"), codePage), "2000-02-29 06:30:15.250");
}

TEST(Level7Timestamp, ZeroBytesHoldNoValue) {
    dbf::CodePage codePage;
    const std::string zero(8, '\0');
    EXPECT_TRUE(isNull(kStamp, zero));
    EXPECT_EQ(toText(kStamp, zero, codePage), "");
    EXPECT_EQ(fromText(kStamp, "", codePage), zero);
    EXPECT_EQ(fromText(kStamp, "  ", codePage), zero);
}

TEST(Level7Timestamp, ShorterTextsAreWrittenAndMalformedOnesRefused) {
    dbf::CodePage codePage;
    const struct {
        const char* text;
        const char* bytes;
    } accepted[] = {
        {"1970-01-01", "42 cc 41 8b a9 9a 00 00"},
        {"1970-01-01T00:00", "42 cc 41 8b a9 9a 00 00"},
        {"2000-02-29 06:30", "42 cc b0 59 af 91 20 00"},
        {"2000-02-29 06:30:15", "42 cc b0 59 af ae 6c 00"},
        {"2000-02-29 06:30:15.25", "42 cc b0 59 af ae e9 00"},
    };
    for (const auto& a : accepted) {
        EXPECT_EQ(toHex(fromText(kStamp, a.text, codePage)), a.bytes) << a.text;
    }
    const char* refused[] = {
        "2001-02-29",          "0000-12-31 00:00:00", "1970-01-01 24:00:00",     "1970-01-01 00:60",
        "1970-01-01 0:00:00",  "1970-01-01 00:00:",   "1970-01-01 00:00:00.",    "1970-01-01 00:00:00.1234",
        "1970-01-01 00:00:+1", "1970-01-01x00:00",    "yesterday",
    };
    for (const char* text : refused) {
        try {
            fromText(kStamp, text, codePage);
            ADD_FAILURE() << text << " was accepted";
        } catch (const DbfError& e) {
            EXPECT_NE(std::string(e.what()).find("is not a time stamp"), std::string::npos) << e.what();
            EXPECT_EQ(e.operatorText(), "Wartość „" + std::string(text) +
                                            "” w polu STAMP nie jest datą z godziną (RRRR-MM-DD GG:MM:SS.mmm).");
        }
    }
}

// The level-7 table php-xbase (MIT) ships among its test resources with the values its tests state: six
// deleted records, then 1900-01-01 ... 2000-01-10.
const char* const kPublishedTable =
    "0478021a0f0000007500090000000000000000000000000000000000000000004442383636525530000000000000000000000000"
    "000000000000000000000000000000005453000000000000000000000000000000000000000000000000000000000000400800"
    "000000000000000000000000000d2a42c6f5f34e6600002a42c6f5f5e19400002a42c6f5f874c200002a42cc418ba99a00002a"
    "42cc418e3cc800002a42cc4190cff600002042cb4062aa8800002042cb40653db600002042cb4067d0e400002042ccafc11170"
    "00002042ccafc3a49e00002042ccafc637cc00002042ccafc8cafa00002042ccafcb5e2800002042ccafd83e0e00001a";

const char* const kPublishedValues[] = {
    "1900-01-01 00:00:00.000", "1900-01-02 00:00:00.000", "1900-01-03 00:00:00.000",
    "2000-01-01 00:00:00.000", "2000-01-02 00:00:00.000", "2000-01-03 00:00:00.000",
    "2000-01-04 00:00:00.000", "2000-01-05 00:00:00.000", "2000-01-10 00:00:00.000",
};

TEST(Level7Timestamp, PublishedTableReadsItsStatedValues) {
    TempDir dir;
    writeAll(dir.file("ts.dbf"), fromHex(kPublishedTable));
    TTable t;
    t.open(dir.file("ts.dbf"));
    ASSERT_EQ(t.recordCount(), 9);
    for (int i = 1; i <= 9; ++i) {
        t.moveTo(i);
        EXPECT_EQ(t.fieldByName("TS").asString(), kPublishedValues[i - 1]) << i;
    }
}

// The live records' bytes, in order.
std::string liveRecords(const std::string& path) {
    DbfTable table(path, DbfTable::Mode::ReadOnly);
    std::string out;
    for (std::uint32_t r = 0; r < table.recordCount(); ++r) {
        std::string rec(table.record(r));
        if (!DbfTable::isDeleted(rec)) {
            out += rec;
        }
    }
    return out;
}

std::string dumpedStamps(const std::string& path, const std::string& field) {
    return runCommand(kTool + " dump " + quoted(path) +
                      " | /usr/bin/python3 -c 'import json,sys; [print(r[\"" + field +
                      "\"]) for r in json.load(sys.stdin)[\"records\"]]'")
        .output;
}

// Out through CSV and into a new level-7 table with talvern-dbf: the same bytes, milliseconds included.
void roundTripThroughTool(const TempDir& dir, const std::string& original, const std::string& field) {
    const std::string csv = dir.file("stamps.csv");
    ASSERT_EQ(runCommand(kTool + " export --csv " + quoted(original) + " > " + quoted(csv)).exitCode, 0);
    const std::string copy = dir.file("copy.dbf");
    DbfTable::create(copy, dbf::TableFormat::Level7, {{field, '@', 8}});
    RunResult import = runCommand(kTool + " import --csv " + quoted(csv) + " " + quoted(copy) + " 2>&1");
    ASSERT_EQ(import.exitCode, 0) << import.output;
    EXPECT_EQ(toHex(liveRecords(copy)), toHex(liveRecords(original)));
    EXPECT_EQ(dumpedStamps(copy, field), dumpedStamps(original, field));
    EXPECT_EQ(runCommand(kTool + " check " + quoted(copy)).output, "ok\n");
}

TEST(Level7Timestamp, PublishedTableRoundTripsThroughTheTool) {
    TempDir dir;
    const std::string path = dir.file("ts.dbf");
    writeAll(path, fromHex(kPublishedTable));
    std::string expected;
    for (const char* v : kPublishedValues) {
        expected += std::string(v) + "\n";
    }
    EXPECT_EQ(dumpedStamps(path, "TS"), expected);
    roundTripThroughTool(dir, path, "TS");
}

TEST(Level7Timestamp, MillisecondsAndEmptyValuesRoundTripThroughTheTool) {
    TempDir dir;
    const std::string path = dir.file("stamps.dbf");
    DbfTable::create(path, dbf::TableFormat::Level7, {{"STAMP", '@', 8}});
    {
        TTable t;
        t.open(path);
        for (const auto& v : kVectors) {
            t.append();
            t.fieldByName("STAMP").setAsString(v.text);
            t.post();
        }
        t.append();
        t.fieldByName("STAMP").setAsString("");
        t.post();
    }
    EXPECT_EQ(dumpedStamps(path, "STAMP"), "1970-01-01 00:00:00.000\n2000-02-29 06:30:15.250\n"
                                           "9999-12-31 23:59:59.999\n0001-01-01 00:00:00.000\nNone\n");
    std::string expected; // each record: its live mark, then the eight bytes
    for (const auto& v : kVectors) {
        expected += std::string(expected.empty() ? "" : " ") + "20 " + v.bytes;
    }
    EXPECT_EQ(toHex(liveRecords(path)), expected + " 20 00 00 00 00 00 00 00 00");
    roundTripThroughTool(dir, path, "STAMP");
}

} // namespace
} // namespace talvern::db::test

// talvern-dbf dump: every number a JSON number, and one rule for fields that hold nothing.
#include "DbfTable.h"
#include "FieldCodec.h"
#include "ProcessRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace talvern::db::test {
namespace {

using dbf::DbfTable;

const std::string kTool = TALVERN_DBF_TOOL;

// Puts text into a field's bytes as a foreign writer may have left them, right-aligned like dBASE numbers.
void putRaw(const dbf::FieldDef& field, std::string& rec, const std::string& text) {
    rec.replace(field.offset, field.length, std::string(field.length - text.size(), ' ') + text);
}

// Each record as Python's json module re-serialises it: a number stays bare, a string gets quotes.
std::string dumpedRecords(const std::string& path) {
    return runCommand(kTool + " dump " + quoted(path) +
                      " | /usr/bin/python3 -c 'import json,sys; "
                      "[print(json.dumps(r, ensure_ascii=False)) for r in json.load(sys.stdin)[\"records\"]]'")
        .output;
}

TEST(Dump, NumbersAreJsonNumbersAndEmptyFieldsNull) {
    TempDir dir;
    const std::string path = dir.file("numbers.dbf");
    DbfTable::create(path, dbf::TableFormat::Level7Memo,
                     {{"N", 'N', 10, 3}, {"F", 'F', 12, 0}, {"I", 'I', 4}, {"O", 'O', 8}, {"A", '+', 4},
                      {"C", 'C', 10}, {"M", 'M', 10}, {"L", 'L', 1}});
    // N and F as foreign writers spell them; O and I as the engine stores them; C and M blank or not.
    const struct {
        const char* n;
        const char* f;
        const char* o;
        const char* c;
        const char* memo;
        const char* expected;
    } rows[] = {
        {"-12.340", "1e+300", "1e300", "", "",
         R"({"N": -12.34, "F": 1e+300, "I": -7, "O": 1e+300, "A": 1, "C": null, "M": null, "L": true})"},
        {"+5", "007", "-2.5", "x", "notatka",
         R"({"N": 5, "F": 7, "I": -7, "O": -2.5, "A": 2, "C": "x", "M": "notatka", "L": true})"},
        {"-.5", "1.", "0", "  ", "",
         R"({"N": -0.5, "F": 1, "I": -7, "O": 0, "A": 3, "C": null, "M": null, "L": true})"},
        {"*****", "", "", "", "",
         R"({"N": "*****", "F": null, "I": -7, "O": null, "A": 4, "C": null, "M": null, "L": true})"},
    };
    std::string expected;
    {
        DbfTable table(path, DbfTable::Mode::ReadWrite);
        const auto& f = table.fields();
        for (const auto& row : rows) {
            std::string rec = table.blankRecord();
            putRaw(f[0], rec, row.n);
            putRaw(f[1], rec, row.f);
            rec.replace(f[2].offset, 4, dbf::FieldCodec::fromText(f[2], "-7", table.codePage()));
            rec.replace(f[3].offset, 8, dbf::FieldCodec::fromText(f[3], row.o, table.codePage()));
            rec.replace(f[5].offset, f[5].length, dbf::FieldCodec::fromText(f[5], row.c, table.codePage()));
            table.storeMemo(f[6], rec, row.memo);
            rec[f[7].offset] = 'T';
            table.appendRecord(rec);
            expected += std::string(row.expected) + "\n";
        }
    }
    EXPECT_EQ(dumpedRecords(path), expected);
}

// The digits go out as stored, so a JSON reader that keeps decimals sees what the field holds.
TEST(Dump, NumbersKeepTheirStoredDigits) {
    TempDir dir;
    const std::string path = dir.file("digits.dbf");
    DbfTable::create(path, dbf::TableFormat::DBase3, {{"AMOUNT", 'N', 20, 4}});
    {
        DbfTable table(path, DbfTable::Mode::ReadWrite);
        std::string rec = table.blankRecord();
        putRaw(table.fields()[0], rec, "12345678901234.5000");
        table.appendRecord(rec);
    }
    RunResult run = runCommand(kTool + " dump " + quoted(path));
    EXPECT_NE(run.output.find("{\"AMOUNT\": 12345678901234.5000}"), std::string::npos) << run.output;
}

} // namespace
} // namespace talvern::db::test

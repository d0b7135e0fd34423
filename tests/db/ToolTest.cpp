#include "DbfTable.h"
#include "StandardTables.h"
#include "TTable.h"
#include "ProcessRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>

// talvern-dbf, run as operators run it.
namespace talvern::db::test {
namespace {

const std::string kTool = TALVERN_DBF_TOOL;

RunResult tool(const std::string& args) { return runCommand(kTool + " " + args + " 2>&1"); }

class Tool : public ::testing::Test {
protected:
    void SetUp() override {
        ensureStandardTables(m_dir.path());
        TTable users;
        users.open(users_());
        const struct {
            int number;
            const char* surname;
            const char* info;
        } rows[] = {
            {1, "Żółkiewski", "pierwsza linia\r\ndruga, z przecinkiem i \"cudzysłowem\""},
            {2, "usunięty", ""},
            {3, "Ćwik", ""},
            {4, "Łęcki", "notatka"},
        };
        for (const auto& r : rows) {
            users.append();
            users.fieldByName("NUMBER").setAsInteger(r.number);
            users.fieldByName("SURNAME").setAsString(r.surname);
            users.fieldByName("GROUP").setAsString("Biuro");
            users.fieldByName("INDEX").setAsInteger(0);
            users.fieldByName("INFO").setAsString(r.info);
            users.post();
        }
        users.moveTo(2);
        users.deleteRecord();
    }
    std::string users_() const { return m_dir.file("osoby.dbf"); }
    TempDir m_dir;
};

// The dump is JSON that a standard parser accepts, with the format, fields, live records in order and the
// count of deleted ones.
TEST_F(Tool, DumpIsJsonWithFieldsRecordsAndDeletedCount) {
    const std::string probe =
        "/usr/bin/python3 -c 'import json,sys; d=json.load(sys.stdin); "
        "print(d[\"format\"], d[\"version\"], d[\"deleted_records\"], d[\"live_records\"]); "
        "print(\" \".join(\"%s:%s:%d\" % (f[\"name\"], f[\"type\"], f[\"width\"]) for f in d[\"fields\"])); "
        "[print(r[\"NUMBER\"], r[\"SURNAME\"], repr(r[\"INFO\"]), r[\"INDEX\"]) for r in d[\"records\"]]'";
    RunResult run = runCommand(kTool + " dump " + quoted(users_()) + " | " + probe);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "dBASE III+ with memo 0x83 1 3\n"
                          "NUMBER:N:6 SURNAME:C:30 NAME:C:30 GROUP:C:30 INDEX:N:2 INFO:M:10\n"
                          "1 Żółkiewski 'pierwsza linia\\r\\ndruga, z przecinkiem i \"cudzysłowem\"' 0\n"
                          "3 Ćwik None 0\n"
                          "4 Łęcki 'notatka' 0\n");
}

TEST_F(Tool, ExportThenImportRestoresTheRecords) {
    const std::string csv = m_dir.file("backup.csv");
    ASSERT_EQ(runCommand(kTool + " export --csv " + quoted(users_()) + " > " + quoted(csv)).exitCode, 0);
    EXPECT_EQ(readAll(csv).substr(0, 38), "NUMBER,SURNAME,NAME,GROUP,INDEX,INFO\r\n");

    TempDir other;
    ensureStandardTables(other.path());
    RunResult import = tool("import --csv " + quoted(csv) + " " + quoted(other.file("osoby.dbf")));
    ASSERT_EQ(import.exitCode, 0) << import.output;

    RunResult original = tool("export --csv " + quoted(users_()));
    RunResult restored = tool("export --csv " + quoted(other.file("osoby.dbf")));
    EXPECT_EQ(restored.output, original.output);
    EXPECT_EQ(tool("check " + quoted(other.file("osoby.dbf"))).exitCode, 0);
}

TEST_F(Tool, ImportWithABadLineAppendsNothing) {
    const struct {
        const char* name;
        const char* csv;
        const char* message;
    } cases[] = {
        {"text too long", "NUMBER,SURNAME\r\n5,ok\r\n6,\"" "0123456789012345678901234567890123\"\r\n", "line 3"},
        {"not a number", "NUMBER,SURNAME\r\n5,ok\r\nfive,x\r\n", "line 3"},
        {"unknown column", "NUMBER,PESEL\r\n5,123\r\n", "PESEL"},
        {"short line", "NUMBER,SURNAME\r\n5\r\n", "line 2"},
        {"open quote", "NUMBER,SURNAME\r\n5,\"unterminated\r\n", "quoted"},
    };
    for (const auto& c : cases) {
        const std::string before = readAll(users_());
        const std::string csv = m_dir.file("bad.csv");
        writeAll(csv, c.csv);
        RunResult run = tool("import --csv " + quoted(csv) + " " + quoted(users_()));
        EXPECT_EQ(run.exitCode, 1) << c.name;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.name << ": " << run.output;
        EXPECT_EQ(readAll(users_()), before) << c.name;
    }
}

TEST_F(Tool, CheckReportsProblemsAndFailsOnThem) {
    EXPECT_EQ(tool("check " + quoted(users_())).output, "ok\n");
    std::string bytes = readAll(users_());
    bytes[4] = 9; // the header now counts records the file does not hold
    writeAll(users_(), bytes);
    RunResult run = tool("check " + quoted(users_()));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("damage: The header counts 9 records"), std::string::npos) << run.output;

    EXPECT_EQ(tool("check " + quoted(m_dir.file("none.dbf"))).exitCode, 1);
    EXPECT_EQ(tool("frobnicate").exitCode, 2);
}

} // namespace
} // namespace talvern::db::test

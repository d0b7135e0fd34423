#include "DbfTable.h"
#include "StandardTables.h"
#include "TTable.h"
#include "ProcessRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

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
        {"not a number", "NUMBER,SURNAME\r\n5,ok\r\nfive,x\r\n",
         "line 3: Field NUMBER: \"five\" is not a valid number"},
        {"outside the code page", "NUMBER,SURNAME\r\n5,Дмитрий\r\n",
         "line 2: The character \"Д\" cannot be stored in a WINDOWS-1250 table"},
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

// repair mends a copy beside the table, lists what it did, and leaves the table (and an existing copy) alone.
TEST_F(Tool, RepairMendsACopyAndNeverTheTable) {
    const std::string memo = m_dir.file("osoby.dbt");
    const std::string copy = m_dir.file("osoby-naprawiona.dbf");
    const std::string copyMemo = m_dir.file("osoby-naprawiona.dbt");
    const std::string good = readAll(users_()), goodMemo = readAll(memo);
    const std::size_t header = 32 + 6 * 32 + 1, length = 109;
    const struct {
        const char* name;
        std::function<void()> damage;
        const char* told;     // in repair's list
        const char* exported; // the copy's live records, CSV without the header row
    } cases[] = {
        {"nothing wrong", [] {}, "nothing needed repair",
         "1,Żółkiewski,,Biuro,0,\"pierwsza linia\r\ndruga, z przecinkiem i \"\"cudzysłowem\"\"\"\r\n"
         "3,Ćwik,,Biuro,0,\r\n4,Łęcki,,Biuro,0,notatka\r\n"},
        {"a flag out of place",
         [&] {
             std::string b = good;
             b[header + 2 * length] = 'A';
             writeAll(users_(), b);
         },
         "repaired: Record 3 started with 0x41 instead of ' ' or '*': kept, marked deleted",
         "1,Żółkiewski,,Biuro,0,\"pierwsza linia\r\ndruga, z przecinkiem i \"\"cudzysłowem\"\"\"\r\n"
         "4,Łęcki,,Biuro,0,notatka\r\n"},
        {"memo file missing", [&] { std::filesystem::remove(memo); },
         "repaired: The memo file osoby.dbt was missing: the copy has an empty one, and every note pointer was emptied",
         "1,Żółkiewski,,Biuro,0,\r\n3,Ćwik,,Biuro,0,\r\n4,Łęcki,,Biuro,0,\r\n"},
    };
    for (const auto& c : cases) {
        writeAll(users_(), good);
        writeAll(memo, goodMemo);
        std::filesystem::remove(copy);
        std::filesystem::remove(copyMemo);
        c.damage();
        const std::string before = readAll(users_());
        const bool hadMemo = std::filesystem::exists(memo);

        RunResult repair = tool("repair " + quoted(users_()));
        EXPECT_EQ(repair.exitCode, 0) << c.name << ": " << repair.output;
        EXPECT_NE(repair.output.find(c.told), std::string::npos) << c.name << ": " << repair.output;
        EXPECT_EQ(tool("check " + quoted(copy)).output, "ok\n") << c.name;
        const std::string exported = tool("export --csv " + quoted(copy)).output;
        EXPECT_EQ(exported.substr(exported.find("\r\n") + 2), c.exported) << c.name;

        // A second repair does not overwrite the first one's copy.
        const std::string made = readAll(copy);
        RunResult again = tool("repair " + quoted(users_()));
        EXPECT_EQ(again.exitCode, 1) << c.name;
        EXPECT_NE(again.output.find("exists already"), std::string::npos) << c.name << ": " << again.output;
        EXPECT_EQ(readAll(copy), made) << c.name;

        EXPECT_EQ(readAll(users_()), before) << c.name << ": the table was written";
        EXPECT_EQ(std::filesystem::exists(memo), hadMemo) << c.name;
        if (hadMemo) {
            EXPECT_EQ(readAll(memo), goodMemo) << c.name << ": the memo file was written";
        }
    }
}

} // namespace
} // namespace talvern::db::test

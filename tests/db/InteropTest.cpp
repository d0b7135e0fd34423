#include "DbfTable.h"
#include "TTable.h"
#include "ProcessRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

// Round trips through independent dBASE implementations (Debian's python3-dbfread and python3-dbf), run by
// the system's own interpreter so that a different python3 on PATH cannot hide them.
namespace talvern::db::test {
namespace {

const std::string kPython = "/usr/bin/python3";
const std::string kScripts = TALVERN_INTEROP_SCRIPTS;

const std::string kPolish = "ą ć ę ł ń ó ś ź ż Ą Ć Ę Ł Ń Ó Ś Ź Ż";

std::string longNote() {
    std::string note;
    for (int n = 0; n < 60; ++n) {
        note += "Wiersz " + std::to_string(n) + ": zażółć gęślą jaźń\r\n";
    }
    return note;
}

std::string hex(const std::string& s) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// The lines read_table.py prints, made from our own reading of a table.
std::string linesFromOurEngine(const std::string& path) {
    TTable t;
    t.open(path);
    std::ostringstream out;
    int row = 0;
    for (t.first(); !t.eof(); t.next(), ++row) {
        for (int f = 0; f < t.fieldCount(); ++f) {
            std::string name = t.field(f).name();
            for (char& c : name) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            out << row << ' ' << name << ' ' << hex(t.field(f).asString()) << '\n';
        }
    }
    return out.str();
}

struct Row {
    std::string surname, name;
    int number;
    std::string group;
    int index;
    std::string info;
    const char* ok; // "True", "False" or "" for no value
};

const Row kRows[] = {
    {"Żaneta", "Kowalska", 1, "Biuro", 0, kPolish, "True"},
    {"Łukasz", "Źdźbło", 2, "Magazyn", 3, longNote(), "False"},
    {"usunięty", "", 3, "", 0, "", ""},
    {"Ósma", "Ćma", 65535, "Lack of assignment!", 15, "", ""},
};

std::string expectedLines() {
    std::ostringstream out;
    int row = 0;
    for (const auto& r : kRows) {
        if (r.surname == "usunięty") {
            continue;
        }
        out << row << " SURNAME " << hex(r.surname) << '\n'
            << row << " NAME " << hex(r.name) << '\n'
            << row << " NUMBER " << hex(std::to_string(r.number)) << '\n'
            << row << " GROUP " << hex(r.group) << '\n'
            << row << " INDEX " << hex(std::to_string(r.index)) << '\n'
            << row << " INFO " << hex(r.info) << '\n'
            << row << " OK " << hex(r.ok) << '\n';
        ++row;
    }
    return out.str();
}

class WrittenByUs : public ::testing::TestWithParam<const char*> {};

TEST_P(WrittenByUs, ReadsBackIdenticallyInAnIndependentReader) {
    TempDir dir;
    const std::string path = dir.file("osoby.dbf");
    dbf::DbfTable::create(path, dbf::TableFormat::DBase3Memo,
                          {{"SURNAME", 'C', 30}, {"NAME", 'C', 30}, {"NUMBER", 'N', 6}, {"GROUP", 'C', 30},
                           {"INDEX", 'N', 2}, {"INFO", 'M', 10}, {"OK", 'L', 1}});
    {
        TTable t;
        t.open(path);
        for (const auto& r : kRows) {
            t.append();
            t.fieldByName("SURNAME").setAsString(r.surname);
            t.fieldByName("NAME").setAsString(r.name);
            t.fieldByName("NUMBER").setAsInteger(r.number);
            t.fieldByName("GROUP").setAsString(r.group);
            t.fieldByName("INDEX").setAsInteger(r.index);
            t.fieldByName("INFO").setAsString(r.info);
            if (*r.ok) {
                t.fieldByName("OK").setAsString(r.ok);
            }
            t.post();
        }
        // A note rewritten after the fact, and a deleted record that must stay invisible.
        t.moveTo(2);
        t.edit();
        t.fieldByName("INFO").setAsString("tymczasowa");
        t.post();
        t.edit();
        t.fieldByName("INFO").setAsString(longNote());
        t.post();
        t.moveTo(3);
        t.deleteRecord();
    }
    RunResult read = runCommand(kPython + " " + quoted(kScripts + "/read_table.py") + " " + GetParam() + " " +
                                quoted(path));
    ASSERT_EQ(read.exitCode, 0) << "is the Debian package python3-" << GetParam() << " installed?";
    EXPECT_EQ(read.output, expectedLines());
}

INSTANTIATE_TEST_SUITE_P(Readers, WrittenByUs, ::testing::Values("dbfread", "dbf"));

TEST(WrittenByPythonDbf, ReadsIdenticallyAndStaysReadableAfterOurWrites) {
    TempDir dir;
    const std::string path = dir.file("osoby.dbf");
    RunResult written = runCommand(kPython + " " + quoted(kScripts + "/write_table.py") + " " + quoted(path));
    ASSERT_EQ(written.exitCode, 0) << "is the Debian package python3-dbf installed?";
    EXPECT_EQ(written.output, expectedLines());
    EXPECT_EQ(linesFromOurEngine(path), expectedLines());

    // Our writes into their file: a changed note and a new user, read back by both independent readers.
    {
        TTable t;
        t.open(path);
        t.first();
        t.edit();
        t.fieldByName("INFO").setAsString(longNote() + kPolish);
        t.post();
        t.append();
        t.fieldByName("SURNAME").setAsString("Źrebię");
        t.fieldByName("NUMBER").setAsInteger(65536);
        t.post();
    }
    const std::string ours = linesFromOurEngine(path);
    EXPECT_NE(ours.find(hex(longNote() + kPolish)), std::string::npos);
    for (const char* reader : {"dbfread", "dbf"}) {
        RunResult read = runCommand(kPython + " " + quoted(kScripts + "/read_table.py") + " " + reader + " " +
                                    quoted(path));
        ASSERT_EQ(read.exitCode, 0) << reader;
        EXPECT_EQ(read.output, ours) << reader;
    }
}

} // namespace
} // namespace talvern::db::test

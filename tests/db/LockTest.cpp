#include "DbfError.h"
#include "StandardTables.h"
#include "TTable.h"
#include "ProcessRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

// A second program on the same folder gets a clear error naming the table and writes nothing.
namespace talvern::db::test {
namespace {

struct Site {
    TempDir dir;
    TTable users{"Table1"}, readers{"Table2"}, groups{"Table3"};
    Site() {
        ensureStandardTables(dir.path());
        users.open(dir.file("osoby.dbf"));
        readers.open(dir.file("sprzet.dbf"));
        groups.open(dir.file("grupa.dbf"));
        users.append();
        users.fieldByName("NUMBER").setAsInteger(1);
        users.post();
    }
    std::string snapshot() const {
        std::string all;
        for (const char* f : {"osoby.dbf", "osoby.dbt", "sprzet.dbf", "sprzet.dbt", "grupa.dbf", "grupa.dbt"}) {
            all += readAll(dir.file(f));
        }
        return all;
    }
};

// What a second TALVERN does at start-up, in another process: prepare the folder, open the three tables.
TEST(SecondInstance, StartUpFailsNamingTheTableAndWritesNothing) {
    Site site;
    const std::string before = site.snapshot();
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string message = "opened";
        try {
            ensureStandardTables(site.dir.path());
            TTable users("Table1"), readers("Table2"), groups("Table3");
            users.open(site.dir.file("osoby.dbf"));
            readers.open(site.dir.file("sprzet.dbf"));
            groups.open(site.dir.file("grupa.dbf"));
            users.append();
            users.post();
        } catch (const std::exception& e) {
            message = e.what();
        }
        ssize_t ignored = ::write(pipeFds[1], message.data(), message.size());
        (void)ignored;
        _exit(0);
    }
    ::close(pipeFds[1]);
    std::string message;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        message.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(message, "Table osoby.dbf is in use by another program (it is locked)");
    EXPECT_EQ(site.snapshot(), before);
}

TEST(SecondInstance, ReleasedWhenTheFirstCloses) {
    Site site;
    site.users.close();
    TTable again;
    EXPECT_NO_THROW(again.open(site.dir.file("osoby.dbf")));
}

// The table tool honours the lock too: nothing is read half-written or appended behind the program's back.
TEST(SecondInstance, TableToolIsRefusedWhileTheProgramRuns) {
    Site site;
    const std::string before = site.snapshot();
    const std::string csv = site.dir.file("in.csv");
    writeAll(csv, "NUMBER,SURNAME\r\n7,Nowak\r\n");
    const std::string tool = TALVERN_DBF_TOOL;
    for (const std::string& args : {"dump " + quoted(site.dir.file("osoby.dbf")),
                                    "import --csv " + quoted(csv) + " " + quoted(site.dir.file("osoby.dbf"))}) {
        RunResult run = runCommand(tool + " " + args + " 2>&1");
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_NE(run.output.find("osoby.dbf is in use by another program"), std::string::npos) << run.output;
    }
    EXPECT_EQ(site.snapshot(), before);
}

} // namespace
} // namespace talvern::db::test

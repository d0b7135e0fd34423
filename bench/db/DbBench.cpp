// Figures for the storage layer on a large site. Printed, not asserted: compare them with the goals in
// db/README.md (users scan at least as fast as shapelib's record loop, add a user <= 10 ms, locate <= 5 ms,
// marking every user <= 1 s, memory independent of the table's size).
#include "GroupTracking.h"
#include "LargeSite.h"
#include "StandardTables.h"
#include "TTable.h"
#include "UserNumbers.h"

#include <shapefil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <fcntl.h>
#include <unistd.h>

using namespace talvern::db;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Resident memory now, in KiB (file pages mapped by the kernel's cache are not counted: we use pread).
long residentKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Evicts a file's pages from the kernel's cache, as a first opening after a reboot finds it.
void dropFromPageCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

const char* kScanFields[] = {"NUMBER", "SURNAME", "NAME", "GROUP"};

// Best of several runs, to keep the page cache and scheduler noise out of the figure.
template <typename F> double bestOf(int runs, F&& body) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        body();
        best = std::min(best, msSince(start));
    }
    return best;
}

void runSite(const std::string& dir, int users) {
    std::printf("\n== site with %d users, 96 readers, 1000 groups ==\n", users);
    auto start = Clock::now();
    talvern::db::bench::generateLargeSite(dir, {users, 96, 1000});
    std::printf("generate                         %9.1f ms\n", msSince(start));

    const long rssBefore = residentKiB();
    start = Clock::now();
    TTable users1("Table1"), readers("Table2"), groups("Table3");
    users1.open(dir + "/osoby.dbf");
    readers.open(dir + "/sprzet.dbf");
    groups.open(dir + "/grupa.dbf");
    std::printf("open the three tables            %9.2f ms\n", msSince(start));

    {
        users1.close();
        double warm = 1e300;
        for (int i = 0; i < 5; ++i) {
            auto t0 = Clock::now();
            users1.open(dir + "/osoby.dbf");
            warm = std::min(warm, msSince(t0));
            users1.close();
        }
        double cold = 1e300;
        for (int i = 0; i < 3; ++i) {
            dropFromPageCache(dir + "/osoby.dbf");
            dropFromPageCache(dir + "/osoby.dbt");
            auto t0 = Clock::now();
            users1.open(dir + "/osoby.dbf");
            cold = std::min(cold, msSince(t0));
            users1.close();
        }
        users1.open(dir + "/osoby.dbf");
        std::printf("open the users table (checks every record) %6.2f ms, not in the page cache %.2f ms\n", warm,
                    cold);
    }

    std::size_t ourBytes = 0;
    const double ourScan = bestOf(5, [&] {
        int index[4];
        for (int i = 0; i < 4; ++i) {
            index[i] = users1.fieldByName(kScanFields[i]).index();
        }
        for (users1.first(); !users1.eof(); users1.next()) {
            for (int i : index) {
                ourBytes += users1.field(i).asString().size();
            }
        }
    });
    std::printf("scan all users (4 fields, UTF-8) %9.2f ms\n", ourScan);

    std::size_t shpBytes = 0;
    const double shpScan = bestOf(5, [&] {
        DBFHandle h = DBFOpen((dir + "/osoby.dbf").c_str(), "rb");
        if (!h) {
            return;
        }
        int index[4];
        for (int i = 0; i < 4; ++i) {
            index[i] = DBFGetFieldIndex(h, kScanFields[i]);
        }
        const int count = DBFGetRecordCount(h);
        for (int r = 0; r < count; ++r) {
            for (int i : index) {
                shpBytes += std::strlen(DBFReadStringAttribute(h, r, i));
            }
        }
        DBFClose(h);
    });
    std::printf("shapelib record loop, same file  %9.2f ms\n", shpScan);
    std::printf("ratio shapelib / ours            %9.2f  (>= 1: ours at least as fast)\n", shpScan / ourScan);

    const double locate = bestOf(5, [&] {
        if (!users1.locate("NUMBER", std::to_string(users), false)) {
            std::printf("locate failed!\n");
        }
    });
    std::printf("locate NUMBER %-6d             %9.3f ms\n", users, locate);

    const double refresh = bestOf(5, [&] { users1.refresh(); });
    std::printf("refresh the users table          %9.3f ms\n", refresh);

    GroupTracking tracking(users1, groups);
    const double add = bestOf(5, [&] {
        std::int64_t number = nextUserNumber(users1);
        users1.last();
        users1.append();
        users1.fieldByName("NUMBER").setAsInteger(number);
        users1.fieldByName("INDEX").setAsInteger(0);
        users1.fieldByName("GROUP").setAsString(groups.fieldByName("NAME").asString());
        users1.post();
    });
    std::printf("add a user (max scan+append+post)%9.3f ms\n", add);

    // Each sweep writes values the previous one did not, so that every post really stores something.
    int sweepNumber = 0;
    auto sweep = [&](bool suspended) {
        ++sweepNumber;
        auto t0 = Clock::now();
        if (suspended) {
            users1.disableControls();
        }
        int marked = 0;
        for (users1.first(); !users1.eof(); users1.next()) {
            users1.edit();
            users1.fieldByName("GROUP").setAsString((marked + sweepNumber) % 2 ? kLackOfAssignment : "Grupa 7");
            users1.post();
            ++marked;
        }
        if (suspended) {
            users1.enableControls();
        }
        return msSince(t0);
    };
    std::printf("mark every user, groups following%9.1f ms\n", sweep(false));
    std::printf("mark every user, display suspended%8.1f ms\n", sweep(true));
    std::printf("resident memory after all this   %9ld KiB more than before opening\n", residentKiB() - rssBefore);
    if (ourBytes == 0 || shpBytes == 0) {
        std::printf("(no data read?)\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string base = (std::filesystem::temp_directory_path() / "talvern-db-bench-XXXXXX").string();
    if (!::mkdtemp(base.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const int users = argc > 1 ? std::atoi(argv[1]) : 65535;
    // A small site first: the memory figure must not grow with the table.
    std::filesystem::create_directory(base + "/small");
    std::filesystem::create_directory(base + "/large");
    runSite(base + "/small", 1000);
    runSite(base + "/large", users);
    std::filesystem::remove_all(base);
    return 0;
}

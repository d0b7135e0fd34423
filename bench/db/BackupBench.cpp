// Backup of a large site (65,535 users): the whole backup as the program takes it (copies forced to the
// disk, each checked, the users counted, the manifest, the rotation) beside copying the same six files with
// cp, and cp followed by sync. Goal: at most 1 s, and no more than 1.5 times cp. Also the step the start-up
// gained (looking for a restore cut short), which must cost nothing measurable.
//
//   backup_bench [--runs N] [--keep DIR]
//
// The site is generated in a temporary folder (or DIR, kept for startup_bench --site DIR).

#include "BackupFiles.h"
#include "LargeSite.h"
#include "SiteBackup.h"
#include "SiteRestore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work>
double timed(Work work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

const char* const kFiles = "osoby.dbf osoby.dbt grupa.dbf grupa.dbt sprzet.dbf sprzet.dbt";

} // namespace

int main(int argc, char** argv) {
    int runs = 7;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::string(argv[i]) == "--keep")
            keep = argv[i + 1];
    }
    const fs::path site = keep.empty() ? fs::temp_directory_path() / ("talvern-backup-bench-" + std::to_string(::getpid()))
                                       : fs::path(keep);
    fs::create_directories(site);
    if (!fs::exists(site / "osoby.dbf"))
        talvern::db::bench::generateLargeSite(site.string());
    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(site))
        if (entry.is_regular_file())
            bytes += entry.file_size();
    std::printf("site: 65535 users, %.1f MB in the six files\n", double(bytes) / 1e6);

    const fs::path cpTarget = site.parent_path() / (site.filename().string() + "-cp");
    std::vector<double> backup, cp, cpSync, finish, copies, check;
    for (int run = 0; run < runs; ++run) {
        // Takes turns, so that each meets the same state of the page cache and the disk.
        fs::remove_all(cpTarget);
        fs::create_directories(cpTarget);
        const std::string copy = "cd '" + site.string() + "' && cp " + kFiles + " '" + cpTarget.string() + "'";
        cp.push_back(timed([&] { (void)std::system(copy.c_str()); }));
        fs::remove_all(cpTarget);
        fs::create_directories(cpTarget);
        cpSync.push_back(timed([&] { (void)std::system((copy + " && sync").c_str()); }));

        talvern::backup::BackupRequest request;
        request.siteDir = site.string();
        request.root = (site / "kopie").string();
        request.createRoot = true;
        request.reason = talvern::backup::reason::kDaily;
        backup.push_back(timed([&] { talvern::backup::takeBackup(request); }));
        finish.push_back(timed([&] { talvern::backup::finishInterruptedRestore(site.string()); }));

        // Its two main steps alone.
        fs::remove_all(cpTarget);
        fs::create_directories(cpTarget);
        copies.push_back(timed([&] {
            for (const auto& file : talvern::backup::siteFiles(site.string()))
                talvern::backup::copyFileSynced(file.source, (cpTarget / file.name).string());
        }));
        check.push_back(timed([&] { talvern::backup::checkBackupFolder(cpTarget.string()); }));
    }
    fs::remove_all(cpTarget);
    const double b = median(backup), c = median(cp), cs = median(cpSync);
    std::printf("backup (copy, fdatasync, check, count, manifest, rotation): %8.1f ms (median of %d)\n", b, runs);
    std::printf("cp of the six files:                                       %8.1f ms\n", c);
    std::printf("cp of the six files, then sync:                            %8.1f ms\n", cs);
    std::printf("  of which the copies forced to disk:                      %8.1f ms\n", median(copies));
    std::printf("  of which the check of the copies:                        %8.1f ms\n", median(check));
    std::printf("backup / cp:         %.2f (goal: at most 1.5)\n", b / c);
    std::printf("backup / (cp+sync):  %.2f\n", b / cs);
    std::printf("start-up's look for a restore cut short: %.3f ms\n", median(finish));
    if (keep.empty())
        fs::remove_all(site);
    return 0;
}

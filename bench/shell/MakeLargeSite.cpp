// Writes the three tables of a large site (65,535 users, 1,000 groups, 96 readers) into a folder,
// for timing the start-up against it:
//
//   make_large_site DIR && startup_bench --site DIR
//
// DIR is created when missing and must hold none of the three tables yet.

#include "LargeSite.h"

#include <cstdio>
#include <exception>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    try {
        std::filesystem::create_directories(argv[1]);
        talvern::db::bench::generateLargeSite(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

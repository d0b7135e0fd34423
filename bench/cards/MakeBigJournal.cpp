// Writes a large card journal into a site folder, for trying the card windows on one:
//   make-big-journal FOLDER [rows] [users] [groups]     (defaults 100000, 65535, 1000)
// The folder must not hold karty.dbf yet.

#include "BigJournal.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make-big-journal FOLDER [rows] [users] [groups]\n");
        return 2;
    }
    try {
        talvern::cards::bench::generateJournal(argv[1], argc > 2 ? std::atol(argv[2]) : 100000,
                                               argc > 3 ? std::atol(argv[3]) : 65535, argc > 4 ? std::atoi(argv[4]) : 1000);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-big-journal: %s\n", error.what());
        return 1;
    }
    return 0;
}

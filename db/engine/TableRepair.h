#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvern::dbf {

// What talvern-dbf repair did.
struct RepairReport {
    std::string copyPath;             // the repaired table
    std::string memoCopyPath;         // its memo file; "" when the table has none
    std::uint32_t records = 0;        // records in the copy, deleted ones included
    std::vector<std::string> actions; // each change made in the copy, one sentence each; empty: nothing was wrong
};

// Writes a repaired copy of the table at path (and of its memo file) beside it, under repairedCopyPath(), and
// never writes the original (it is opened for reading only, with a shared lock, so not while the program has
// it). The copy differs from the original only where the original disagrees with itself:
//  - the header length is the one the field list ends at (unless the stated one leaves only padding after it),
//    and the record length the one the fields add up to;
//  - the record count is that of the whole records the file holds after the header, wherever the header's
//    count stood; a cut-off last record is dropped, and so is anything after an end-of-file mark that stands
//    where a record past the count would start;
//  - a record whose deletion flag is neither ' ' nor '*' is kept marked deleted (a record in doubt must not
//    give anyone access, and the data stays in the file for other tools);
//  - a memo pointer that is not a block number or points past the end of the memo file is emptied; a missing
//    memo file becomes an empty one.
// The copy is written under temporary names and renamed into place, then opened as the program opens a table
// to prove it sound. Throws DbfError when the copy's name is taken, the original cannot be read, or its
// field list cannot be read (then nothing can be derived from it).
RepairReport repairTable(const std::string& path);

} // namespace talvern::dbf

#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace talvern::dbf {

// Makes a rewrite of a record in place whole or absent when the program is killed during it.
//
// The kernel copies a write into the file page by page and a killed program stops between two pages, so a
// record that spans a page boundary can be left half new, half old (a user's new name beside the old note).
// Such a rewrite is first written whole to "<table>-journal", with the old bytes, the new bytes and a
// checksum, and marked done after the record is written. The next open of the table finishes an entry that
// was not marked done, but only when the record still holds, byte for byte, either the old or the new bytes
// (so an entry never lands on a table that was replaced in the meantime). A journal entry that was itself cut
// short fails its checksum and is dropped: the record was not touched yet.
//
// A record within one page is written by a single write, which a kill cannot split, and needs no entry.
class RecordJournal {
public:
    struct Entry {
        std::uint64_t offset = 0; // in the table file
        std::string before;
        std::string after; // same length as before
    };

    static constexpr std::uint64_t kPageBytes = 4096;
    static bool spansPages(std::uint64_t offset, std::size_t length);

    // The journal that belongs to the table file tablePath.
    static std::string pathFor(const std::string& tablePath);
    // The entry of the journal file at path that was not marked done; nothing when there is no file, the
    // entry was marked done, or it fails its checksum.
    static std::optional<Entry> readPending(const std::string& path);
    // True when current (the record as the table holds it now) is, at every byte, the old or the new byte.
    static bool fits(const Entry& entry, const std::string& current);

    explicit RecordJournal(std::string tablePath);
    ~RecordJournal();
    RecordJournal(const RecordJournal&) = delete;
    RecordJournal& operator=(const RecordJournal&) = delete;

    // Writes entry before the record is rewritten (the file is made on first use). Throws DbfError.
    void begin(const Entry& entry);
    // Marks the entry done once the record is written. Throws DbfError.
    void done();
    // Closes the journal file and deletes it, unless an entry was begun and never marked done (the next
    // open still needs it then). Nothing happens when it was never made.
    void close() noexcept;

    // The bytes of an entry as stored, for tests that lay down what a killed writer leaves.
    static std::string encode(const Entry& entry);

private:
    std::string m_path;
    int m_fd = -1;
    bool m_open = false; // an entry is begun and not yet marked done
};

} // namespace talvern::dbf

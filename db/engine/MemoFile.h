#pragma once

#include "PosixFile.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace talvern::dbf {

// The .dbt file beside a table with memo fields. Two block layouts:
//  - DBase3: 512-byte blocks; a memo runs from its first block to the first 0x1A byte.
//  - DBase4 (also used by level 7): the block size is in the file header (bytes 20-21); each memo starts with
//    FF FF 08 00 and a 32-bit length that counts those 8 bytes.
// Memos are only ever appended: a changed memo gets new blocks and the old ones stay unused, so a record
// that still points at the old memo after a crash still reads a whole text.
class MemoFile {
public:
    enum class Style { DBase3, DBase4 };

    MemoFile() = default;
    // Throws DbfError (naming the memo file) when it is missing or cannot be opened/locked.
    MemoFile(const std::string& path, PosixFile::Access access, PosixFile::Lock lock, Style style);

    // Writes the header block of an empty memo file.
    static void create(const std::string& path, Style style, const std::string& tableBaseName);

    bool isOpen() const { return m_file.isOpen(); }
    std::uint32_t blockSize() const { return m_blockSize; }

    // True when block lies inside the file.
    bool contains(std::uint32_t block) const;
    // The memo's bytes (in the table's code page) starting at block; "" for block 0. A block past the end
    // of the file reads as "" (check() reports it); a memo is cut at the end of the file and at 16 MiB.
    std::string read(std::uint32_t block) const;
    // Stores data in new blocks at the end of the file and returns the first block. In the dBASE IV layout a
    // memo whose head and text exactly fill its last block is followed by a spare block, as dBASE IV leaves it.
    std::uint32_t append(std::string_view data);
    void sync() { m_file.sync(); }

    static constexpr std::size_t kMaxMemoBytes = 16u << 20;

private:
    PosixFile m_file;
    Style m_style = Style::DBase3;
    std::uint32_t m_blockSize = 512;
};

} // namespace talvern::dbf

#include "MemoFile.h"

#include "DbfError.h"

#include <algorithm>
#include <cstring>

namespace talvern::dbf {
namespace {

constexpr std::uint32_t kDefaultBlockSize = 512;
constexpr char kEndOfText = 0x1A;

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

} // namespace

MemoFile::MemoFile(const std::string& path, PosixFile::Access access, PosixFile::Lock lock, Style style)
    : m_style(style) {
    try {
        m_file = PosixFile(path, access, lock);
    } catch (const DbfError& e) {
        auto slash = path.rfind('/');
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        throw DbfError(std::string(e.what()) + "; the memo file " + name + " belongs to the table",
                       e.operatorText() + " Jest to plik notatek tabeli.");
    }
    if (style == Style::DBase4) {
        unsigned char header[24] = {};
        if (m_file.readAt(0, header, sizeof header) == sizeof header) {
            std::uint32_t size = static_cast<std::uint32_t>(header[20] | header[21] << 8);
            if (size >= 16) {
                m_blockSize = size;
            }
        }
    }
}

void MemoFile::create(const std::string& path, Style style, const std::string& tableBaseName) {
    std::string header(kDefaultBlockSize, '\0');
    auto* h = reinterpret_cast<unsigned char*>(header.data());
    put32(h, 1); // the next free block: block 0 is this header
    if (style == Style::DBase3) {
        h[16] = 0x03;
    } else {
        std::string base = tableBaseName.substr(0, 8);
        std::memcpy(h + 8, base.data(), base.size());
        h[20] = static_cast<unsigned char>(kDefaultBlockSize & 0xFF);
        h[21] = static_cast<unsigned char>(kDefaultBlockSize >> 8);
    }
    PosixFile file = PosixFile::create(path);
    file.writeAt(0, header.data(), header.size());
    file.sync();
}

bool MemoFile::contains(std::uint32_t block) const {
    return block > 0 && static_cast<std::uint64_t>(block) * m_blockSize < m_file.size();
}

std::string MemoFile::read(std::uint32_t block) const {
    if (!contains(block)) {
        return {};
    }
    const std::uint64_t start = static_cast<std::uint64_t>(block) * m_blockSize;
    const std::uint64_t available = m_file.size() - start;
    if (m_style == Style::DBase4) {
        unsigned char head[8];
        if (m_file.readAt(start, head, sizeof head) == sizeof head && head[0] == 0xFF && head[1] == 0xFF &&
            head[2] == 0x08 && head[3] == 0x00) {
            std::uint64_t length = le32(head + 4);
            length = length < 8 ? 0 : length - 8;
            length = std::min<std::uint64_t>({length, available - 8, kMaxMemoBytes});
            std::string data(static_cast<std::size_t>(length), '\0');
            data.resize(m_file.readAt(start + 8, data.data(), data.size()));
            return data;
        }
        // Some writers leave dBASE III style memos in a dBASE IV file; read those to the end mark.
    }
    std::string data;
    std::uint64_t offset = start;
    const std::uint64_t limit = start + std::min<std::uint64_t>(available, kMaxMemoBytes);
    char chunk[4096];
    while (offset < limit) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, limit - offset));
        std::size_t got = m_file.readAt(offset, chunk, want);
        if (got == 0) {
            break;
        }
        const char* end = static_cast<const char*>(std::memchr(chunk, kEndOfText, got));
        if (end) {
            data.append(chunk, static_cast<std::size_t>(end - chunk));
            break;
        }
        data.append(chunk, got);
        offset += got;
    }
    return data;
}

std::uint32_t MemoFile::append(std::string_view data) {
    unsigned char head[4] = {};
    m_file.readAt(0, head, sizeof head);
    const std::uint64_t fileSize = m_file.size();
    // Never trust a next-free pointer that lies inside the data: a stale one would overwrite memos.
    std::uint64_t firstFree = (fileSize + m_blockSize - 1) / m_blockSize;
    std::uint64_t block = std::max<std::uint64_t>({le32(head), firstFree, 1});

    std::string bytes;
    if (m_style == Style::DBase4) {
        bytes.resize(8);
        auto* h = reinterpret_cast<unsigned char*>(bytes.data());
        h[0] = 0xFF;
        h[1] = 0xFF;
        h[2] = 0x08;
        h[3] = 0x00;
        put32(h + 4, static_cast<std::uint32_t>(data.size() + 8));
        bytes.append(data);
    } else {
        bytes.assign(data);
        bytes.push_back(kEndOfText);
        bytes.push_back(kEndOfText);
    }
    std::uint64_t blocks = (bytes.size() + m_blockSize - 1) / m_blockSize;
    if (m_style == Style::DBase4 && bytes.size() % m_blockSize == 0) {
        // A memo that exactly fills its last block (504, 1016, ... bytes of text in 512-byte blocks) is followed
        // by one spare block, as dBASE IV writes it: a reader written against dBASE IV's files may count on it.
        ++blocks;
    }
    bytes.resize(static_cast<std::size_t>(blocks * m_blockSize), '\0');
    if (block + blocks > 0xFFFFFFFFull) {
        throw DbfError("The memo file is full", "Plik notatek jest pełny: nie mieści już nowych notatek.");
    }
    m_file.writeAt(block * m_blockSize, bytes.data(), bytes.size());
    unsigned char next[4];
    put32(next, static_cast<std::uint32_t>(block + blocks));
    m_file.writeAt(0, next, sizeof next);
    return static_cast<std::uint32_t>(block);
}

} // namespace talvern::dbf

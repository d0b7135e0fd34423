#include "RecordJournal.h"

#include "DbfError.h"
#include "SystemErrorText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace talvern::dbf {
namespace {

// Layout: magic (8) | offset (8) | length (4) | crc32 of offset, length and both images (4) | before | after.
constexpr char kMagic[8] = {'T', 'L', 'V', 'J', 'R', 'N', '0', '1'};
constexpr std::size_t kHeadBytes = 24;
constexpr std::size_t kMaxRecordBytes = 65535;

void putLe(unsigned char* p, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

std::uint64_t getLe(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = v << 8 | p[i];
    }
    return v;
}

std::uint32_t checksum(const unsigned char* fields, const std::string& before, const std::string& after) {
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, fields, 12);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(before.data()), static_cast<uInt>(before.size()));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(after.data()), static_cast<uInt>(after.size()));
    return static_cast<std::uint32_t>(crc);
}

std::string fileName(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// what says in English what could not be done with the file, polishVerb the same in Polish ("zapisać").
[[noreturn]] void fail(const std::string& path, const char* what, const char* polishVerb, int error) {
    throw DbfError("Journal file " + fileName(path) + ": " + what + " (" + std::strerror(error) + ")",
                   std::string("Nie można ") + polishVerb + " pliku dziennika zapisów " + fileName(path) + " (" +
                       polishSystemError(error) + ").");
}

void writeAll(int fd, const std::string& path, const char* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        ssize_t n = ::pwrite(fd, data + done, length - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(path, "cannot be written", "zapisać", errno);
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

bool RecordJournal::spansPages(std::uint64_t offset, std::size_t length) {
    return length > 0 && offset / kPageBytes != (offset + length - 1) / kPageBytes;
}

std::string RecordJournal::pathFor(const std::string& tablePath) {
    return tablePath + "-journal";
}

std::string RecordJournal::encode(const Entry& entry) {
    std::string bytes(kHeadBytes, '\0');
    auto* head = reinterpret_cast<unsigned char*>(bytes.data());
    std::memcpy(head, kMagic, sizeof kMagic);
    putLe(head + 8, entry.offset, 8);
    putLe(head + 16, entry.after.size(), 4);
    putLe(head + 20, checksum(head + 8, entry.before, entry.after), 4);
    bytes += entry.before;
    bytes += entry.after;
    return bytes;
}

std::optional<RecordJournal::Entry> RecordJournal::readPending(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[8192];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || bytes.size() > kHeadBytes + 2 * kMaxRecordBytes) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (bytes.size() < kHeadBytes || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        return std::nullopt;
    }
    const auto* head = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t length = static_cast<std::size_t>(getLe(head + 16, 4));
    if (length == 0 || length > kMaxRecordBytes || bytes.size() < kHeadBytes + 2 * length) {
        return std::nullopt;
    }
    Entry entry;
    entry.offset = getLe(head + 8, 8);
    entry.before = bytes.substr(kHeadBytes, length);
    entry.after = bytes.substr(kHeadBytes + length, length);
    if (checksum(head + 8, entry.before, entry.after) != getLe(head + 20, 4)) {
        return std::nullopt;
    }
    return entry;
}

bool RecordJournal::fits(const Entry& entry, const std::string& current) {
    if (current.size() != entry.after.size()) {
        return false;
    }
    for (std::size_t i = 0; i < current.size(); ++i) {
        if (current[i] != entry.before[i] && current[i] != entry.after[i]) {
            return false;
        }
    }
    return true;
}

RecordJournal::RecordJournal(std::string tablePath) : m_path(pathFor(tablePath)) {}

RecordJournal::~RecordJournal() {
    close();
}

void RecordJournal::begin(const Entry& entry) {
    if (m_fd < 0) {
        do {
            m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        } while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0) {
            fail(m_path, "cannot be created", "utworzyć", errno);
        }
    }
    const std::string bytes = encode(entry);
    m_open = true;
    writeAll(m_fd, m_path, bytes.data(), bytes.size());
}

void RecordJournal::done() {
    if (m_fd >= 0) {
        const char cleared[sizeof kMagic] = {};
        writeAll(m_fd, m_path, cleared, sizeof cleared);
        m_open = false;
    }
}

void RecordJournal::close() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
        if (!m_open) {
            ::unlink(m_path.c_str());
        }
    }
}

} // namespace talvern::dbf

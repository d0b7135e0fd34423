#pragma once

#include <cstdint>
#include <string>

namespace talvern::dbf {

// An open file descriptor that closes itself; a moved-from file holds -1. Reads and writes are positioned
// (pread/pwrite), retried on EINTR and on short transfers, and raise DbfError naming the file on failure.
class PosixFile {
public:
    enum class Access { ReadOnly, ReadWrite };
    enum class Lock { None, Shared, Exclusive };

    PosixFile() = default;
    // Opens an existing file. With a lock, takes it without waiting on both lock kinds in use on Linux
    // (flock and open-file-description record locks), so programs using either see the table as busy.
    // Throws DbfError: missing file, no permission, or the lock is held by someone else.
    PosixFile(const std::string& path, Access access, Lock lock);
    ~PosixFile();
    PosixFile(PosixFile&& other) noexcept;
    PosixFile& operator=(PosixFile&& other) noexcept;
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    // Creates a new file (fails when it exists) with mode 0644 less the umask.
    static PosixFile create(const std::string& path);

    bool isOpen() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }
    std::uint64_t size() const;

    // Reads up to length bytes at offset; returns the count read (short only at end of file).
    std::size_t readAt(std::uint64_t offset, void* data, std::size_t length) const;
    void writeAt(std::uint64_t offset, const void* data, std::size_t length);
    // Forces written data to the disk (fdatasync).
    void sync();
    void close();

private:
    int m_fd = -1;
    std::string m_path;
};

} // namespace talvern::dbf

#include "PosixFile.h"

#include "DbfError.h"
#include "SystemErrorText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace talvern::dbf {
namespace {

std::string fileName(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// what says in English what could not be done with the file, polishVerb the same in Polish ("zapisać").
[[noreturn]] void fail(const std::string& path, const std::string& what, const std::string& polishVerb, int error) {
    throw DbfError("Table file " + fileName(path) + ": " + what + " (" + std::strerror(error) + ")",
                   "Nie można " + polishVerb + " pliku tabeli " + fileName(path) + " (" + polishSystemError(error) +
                       ").");
}

DbfError inUse(const std::string& path) {
    return DbfError("Table " + fileName(path) + " is in use by another program (it is locked)",
                    "Tabela " + fileName(path) + " jest używana przez inny program (jest zablokowana).");
}

void takeLocks(int fd, const std::string& path, PosixFile::Lock lock) {
    if (lock == PosixFile::Lock::None) {
        return;
    }
    bool exclusive = lock == PosixFile::Lock::Exclusive;
    int rc;
    do {
        rc = ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno == EWOULDBLOCK) {
            throw inUse(path);
        }
        fail(path, "cannot be locked", "zablokować", errno);
    }
    struct flock range {};
    range.l_type = exclusive ? F_WRLCK : F_RDLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 0;
    do {
        rc = ::fcntl(fd, F_OFD_SETLK, &range);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno == EAGAIN || errno == EACCES) {
            throw inUse(path);
        }
        // Some file systems refuse record locks; the flock above still keeps two of us apart.
        if (errno != ENOLCK && errno != EINVAL && errno != EOPNOTSUPP) {
            fail(path, "cannot be locked", "zablokować", errno);
        }
    }
}

} // namespace

PosixFile::PosixFile(const std::string& path, Access access, Lock lock) : m_path(path) {
    int flags = (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    do {
        m_fd = ::open(path.c_str(), flags);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        int error = errno;
        if (error == ENOENT) {
            throw DbfError("Table file " + fileName(path) + " does not exist",
                           "Plik tabeli " + fileName(path) + " nie istnieje.");
        }
        fail(path, "cannot be opened", "otworzyć", error);
    }
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        throw DbfError("Table file " + fileName(path) + " is not a regular file",
                       "Plik tabeli " + fileName(path) + " nie jest zwykłym plikiem.");
    }
    try {
        takeLocks(m_fd, path, lock);
    } catch (...) {
        ::close(m_fd);
        m_fd = -1;
        throw;
    }
}

PosixFile PosixFile::create(const std::string& path) {
    PosixFile file;
    file.m_path = path;
    do {
        file.m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    } while (file.m_fd < 0 && errno == EINTR);
    if (file.m_fd < 0) {
        fail(path, "cannot be created", "utworzyć", errno);
    }
    return file;
}

PosixFile::~PosixFile() { close(); }

PosixFile::PosixFile(PosixFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

PosixFile& PosixFile::operator=(PosixFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

std::uint64_t PosixFile::size() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        fail(m_path, "cannot be examined", "sprawdzić", errno);
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t PosixFile::readAt(std::uint64_t offset, void* data, std::size_t length) const {
    auto* out = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(m_fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(m_path, "cannot be read", "odczytać", errno);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void PosixFile::writeAt(std::uint64_t offset, const void* data, std::size_t length) {
    const auto* in = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < length) {
        ssize_t n = ::pwrite(m_fd, in + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(m_path, "cannot be written", "zapisać", errno);
        }
        done += static_cast<std::size_t>(n);
    }
}

void PosixFile::sync() {
    int rc;
    do {
        rc = ::fdatasync(m_fd);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        fail(m_path, "cannot be written to disk", "zapisać na dysk", errno);
    }
}

void PosixFile::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace talvern::dbf

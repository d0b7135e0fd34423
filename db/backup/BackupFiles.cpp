#include "BackupFiles.h"

#include "BackupError.h"
#include "FileNames.h"
#include "RecordJournal.h"
#include "SystemErrorText.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvern::backup {

namespace fs = std::filesystem;

const std::vector<SiteTable>& siteTables() {
    static const std::vector<SiteTable> tables = {
        {"osoby.dbf", true}, {"sprzet.dbf", true}, {"grupa.dbf", true}, {"karty.dbf", false}};
    return tables;
}

namespace {

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A file descriptor closed on every way out.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

std::vector<SiteFile> siteFiles(const std::string& siteDir) {
    std::vector<SiteFile> files;
    for (const SiteTable& table : siteTables()) {
        const std::string found = dbf::findIgnoringCase(siteDir + "/" + table.name);
        if (!isFile(found)) {
            if (table.required)
                throw BackupError("The site has no table " + table.name,
                                  "W folderze obiektu brak tabeli " + table.name + ".");
            continue;
        }
        files.push_back({found, table.name});
        const std::string memo = dbf::findIgnoringCase(dbf::memoPath(found));
        if (isFile(memo))
            files.push_back({memo, dbf::memoPath(table.name)});
        const std::string journal = dbf::RecordJournal::pathFor(found);
        if (isFile(journal))
            files.push_back({journal, dbf::RecordJournal::pathFor(table.name)});
    }
    return files;
}

std::string backupFolderName(TimePoint time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", &local);
    return text;
}

bool isBackupFolderName(const std::string& name) {
    static const std::string shape = "dddd-dd-dd_dd-dd-dd";
    if (name.size() < shape.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (shape[i] == 'd' ? !digit : name[i] != shape[i])
            return false;
    }
    if (name.size() == shape.size())
        return true;
    if (name[shape.size()] != '-' || name.size() == shape.size() + 1)
        return false;
    return name.find_first_not_of("0123456789", shape.size() + 1) == std::string::npos;
}

bool readSmallFile(const std::string& path, std::string& text) {
    Fd in{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat st {};
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0)
        return false;
    text.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t got = ::read(in.fd, text.data() + done, text.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    text.resize(done);
    return true;
}

void throwFileError(const std::string& doing, const std::string& polishDoing, const std::string& path, int err) {
    throw BackupError("Cannot " + doing + " " + path + ": " + std::strerror(err),
                      "Nie można " + polishDoing + " " + path + ": " + dbf::polishSystemError(err) + ".");
}

void copyFileSynced(const std::string& from, const std::string& to) {
    copyFile(from, to);
    syncFile(to);
}

void syncFile(const std::string& path) {
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0 || ::fdatasync(file.fd) != 0)
        throwFileError("write", "zapisać pliku", path, errno);
}

void startWriteBack(const std::string& path) {
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd >= 0)
        (void)::sync_file_range(file.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

SiteLocks::SiteLocks(const std::string& siteDir) {
    for (const SiteFile& file : siteFiles(siteDir)) {
        const int fd = ::open(file.source.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        m_fds.push_back(fd);
        if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
            const std::string name = dbf::baseName(file.source);
            for (int held : m_fds)
                ::close(held);
            throw BackupError("Table " + name + " is in use by another program (it is locked); close TALVERN first",
                              "Tabela " + name + " jest otwarta w innym programie.");
        }
    }
}

SiteLocks::~SiteLocks() {
    for (int fd : m_fds)
        ::close(fd);
}

void copyFile(const std::string& from, const std::string& to) {
    Fd in{::open(from.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0)
        throwFileError("read", "odczytać pliku", from, errno);
    Fd out{::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
    if (out.fd < 0)
        throwFileError("create", "utworzyć pliku", to, errno);
    // The kernel copies within itself where the file system lets it; a plain read and write loop otherwise.
    bool copied = false;
    for (;;) {
        const ssize_t moved = ::copy_file_range(in.fd, nullptr, out.fd, nullptr, 1 << 30, 0);
        if (moved > 0)
            continue;
        if (moved == 0) {
            copied = true;
            break;
        }
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            throwFileError("copy", "skopiować pliku", from, errno);
        // The loop below starts again at the beginning.
        if (::lseek(in.fd, 0, SEEK_SET) != 0 || ::lseek(out.fd, 0, SEEK_SET) != 0 || ::ftruncate(out.fd, 0) != 0)
            throwFileError("copy", "skopiować pliku", from, errno);
        break;
    }
    std::string buffer(copied ? 0 : 1 << 20, '\0');
    while (!copied) {
        const ssize_t got = ::read(in.fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throwFileError("read", "odczytać pliku", from, errno);
        }
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.fd, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                throwFileError("write", "zapisać pliku", to, errno);
            }
            done += put;
        }
    }
    const int fd = out.fd;
    out.fd = -1;
    if (::close(fd) != 0)
        throwFileError("write", "zapisać pliku", to, errno);
}

void syncFolder(const std::string& folder) {
    Fd dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0)
        throwFileError("open the folder", "otworzyć folderu", folder, errno);
    if (::fsync(dir.fd) != 0 && errno != EINVAL)
        throwFileError("write the folder", "zapisać folderu", folder, errno);
}

void writeFileAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp";
    ::unlink(temporary.c_str());
    {
        Fd out{::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
        if (out.fd < 0)
            throwFileError("create", "utworzyć pliku", temporary, errno);
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t put = ::write(out.fd, text.data() + done, text.size() - done);
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                const int err = errno;
                ::unlink(temporary.c_str());
                throwFileError("write", "zapisać pliku", temporary, err);
            }
            done += static_cast<std::size_t>(put);
        }
        if (::fdatasync(out.fd) != 0) {
            const int err = errno;
            ::unlink(temporary.c_str());
            throwFileError("write", "zapisać pliku", temporary, err);
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        throwFileError("write", "zapisać pliku", path, err);
    }
    syncFolder(fs::path(path).parent_path().string());
}

void removeFolder(const std::string& folder) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

} // namespace talvern::backup

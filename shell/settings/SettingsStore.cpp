#include "SettingsStore.h"

#include "TextCodec.h"
#include "SettingsError.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace talvern::settings {

namespace {

constexpr const char* kRoot = "HKEY_CURRENT_USER\\";
constexpr std::uintmax_t kLargestFile = 4 * 1024 * 1024;
constexpr int kExpandStringType = 2;
constexpr int kBinaryType = 3;
constexpr int kDwordType = 4;

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return std::filesystem::current_path();
}

std::string fullPath(const std::string& key) { return kRoot + key; }

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int lineOfOffset(const std::string& bytes, std::size_t offset) {
    return 1 + static_cast<int>(std::count(bytes.begin(), bytes.begin() + static_cast<long>(offset), '\n'));
}

// The line of a UTF-16LE offset: line feeds are the code units 0A 00.
int lineOfUtf16Offset(const std::string& units, std::size_t offset) {
    int line = 1;
    for (std::size_t i = 0; i + 1 < units.size() && i < offset; i += 2)
        if (units[i] == '\n' && units[i + 1] == '\0')
            ++line;
    return line;
}

constexpr char kUtf16LeMark[] = "\xFF\xFE";
constexpr char kUtf16BeMark[] = "\xFE\xFF";
constexpr int kLongestLinkChain = 40;

bool startsWith(const std::string& bytes, const char* prefix) { return bytes.rfind(prefix, 0) == 0; }

// The zero-terminated UTF-16LE text of a hex(2) value of a version 5 export.
std::optional<std::string> utf16ValueText(const std::vector<std::uint8_t>& bytes) {
    std::string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == 0 && bytes[i + 1] == 0)
            break;
        units += static_cast<char>(bytes[i]);
        units += static_cast<char>(bytes[i + 1]);
    }
    return utf16leToUtf8(units);
}

} // namespace

SettingsStore::SettingsStore(std::filesystem::path file) : m_file(std::move(file)) {}

std::filesystem::path SettingsStore::defaultFile() {
    std::filesystem::path config;
    // A relative XDG_CONFIG_HOME is ignored, as the XDG base-directory rules ask.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        config = xdg;
    else
        config = homeFolder() / ".config";
    return config / "talvern" / "settings.reg";
}

std::optional<SettingsStore::Stored> SettingsStore::load() const {
    const std::string name = m_file.string();
    std::error_code ec;
    const auto status = std::filesystem::status(m_file, ec);
    // A file that is not there is a first start; one that cannot be looked at (a loop of links, a
    // folder without permission) is not, and must not be made anew.
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
        throw SettingsFileError(name, 0, describeSystemError(ec.value()));
    if (!std::filesystem::exists(status))
        return std::nullopt;
    if (!std::filesystem::is_regular_file(status))
        throw SettingsFileError(name, 0, "to nie jest zwykły plik");
    const auto size = std::filesystem::file_size(m_file, ec);
    if (!ec && size > kLargestFile)
        throw SettingsFileError(name, 0, "plik jest zbyt duży jak na plik ustawień");

    std::ifstream in(m_file, std::ios::binary);
    if (!in)
        throw SettingsFileError(name, 0, describeSystemError(errno));
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad())
        throw SettingsFileError(name, 0, "błąd odczytu");
    const std::string bytes = buffer.str();

    Stored stored;
    std::optional<std::string> text;
    if (startsWith(bytes, kUtf16LeMark)) {
        stored.encoding = FileEncoding::Utf16LittleEndian;
        const std::string units = bytes.substr(2);
        DecodeFailure failure{};
        text = utf16leToUtf8(units, &failure);
        if (!text)
            throw SettingsFileError(name, lineOfUtf16Offset(units, failure.offset),
                                    "tekst UTF-16 jest błędny albo urwany");
    } else if (startsWith(bytes, kUtf16BeMark)) {
        throw SettingsFileError(name, 1, "tekst UTF-16 z bajtem wyższym na początku nie jest obsługiwany");
    } else {
        DecodeFailure failure{};
        text = cp1250ToUtf8(bytes, &failure);
        if (!text)
            throw SettingsFileError(name, lineOfOffset(bytes, failure.offset), "bajt, który nie jest tekstem Windows-1250");
    }
    if (const auto zero = text->find('\0'); zero != std::string::npos)
        throw SettingsFileError(name, 1 + static_cast<int>(std::count(text->begin(), text->begin() + static_cast<long>(zero), '\n')),
                                "bajt zerowy w tekście");
    stored.document = RegistryDocument::parse(*text, name);
    return stored;
}

std::filesystem::path SettingsStore::writeTarget() const {
    std::filesystem::path path = m_file;
    for (int hop = 0; hop < kLongestLinkChain; ++hop) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)))
            return path;
        const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec)
            throw SettingsWriteError(m_file.string(), describeSystemError(ec.value()));
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    throw SettingsWriteError(m_file.string(), describeSystemError(ELOOP));
}

bool SettingsStore::save(const Stored& stored) const {
    const std::string text = stored.document.serialize();
    std::optional<std::string> bytes;
    if (stored.encoding == FileEncoding::Utf16LittleEndian) {
        bytes = utf8ToUtf16le(text);
        if (bytes)
            bytes->insert(0, kUtf16LeMark);
    } else {
        bytes = utf8ToCp1250(text);
    }
    if (!bytes)
        return false;

    const std::string name = m_file.string();
    const std::filesystem::path target = writeTarget();
    const auto folder = target.parent_path();
    std::error_code ec;
    // Only the program's own folder is made; a link that leads nowhere is followed no further.
    if (target == m_file && !folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec)
            throw SettingsWriteError(name, describeSystemError(ec.value()));
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    }
    // A file without write permission was made read-only on purpose, and the rename below would
    // replace it all the same (and the superuser may write any file): it is refused here.
    if (struct stat st {}; ::stat(target.c_str(), &st) == 0) {
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throw SettingsWriteError(name, "plik jest tylko do odczytu");
        if (::access(target.c_str(), W_OK) != 0)
            throw SettingsWriteError(name, errno == EACCES ? "brak uprawnień do zapisu pliku" : describeSystemError(errno));
    }

    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    FileDescriptor fd(::mkstemp(temporary.data()));
    if (fd.get() < 0)
        throw SettingsWriteError(name, describeSystemError(errno));
    const bool written = ::fchmod(fd.get(), S_IRUSR | S_IWUSR) == 0 && writeAll(fd.get(), *bytes) &&
                         ::fsync(fd.get()) == 0 && fd.close() &&
                         ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!written) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw SettingsWriteError(name, describeSystemError(error));
    }
    // The rename itself is durable only once the folder is synced.
    FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

std::optional<SettingsKey> SettingsStore::openKey(const std::string& key, bool create) {
    const std::string path = fullPath(key);
    auto stored = load();
    if (stored && stored->document.hasKey(path))
        return SettingsKey(*this, path, std::move(*stored));
    if (!create)
        return std::nullopt;
    Stored updated = stored ? std::move(*stored) : Stored();
    updated.document.addKey(path);
    if (!save(updated))
        throw SettingsWriteError(m_file.string(), "klucza " + key + " nie można zapisać w kodowaniu pliku");
    return SettingsKey(*this, path, std::move(updated));
}

SettingsKey::SettingsKey(const SettingsStore& store, std::string path, SettingsStore::Stored snapshot)
    : m_store(store), m_path(std::move(path)), m_snapshot(std::move(snapshot)) {}

bool SettingsKey::valueExists(const std::string& name) const { return m_snapshot.document.value(m_path, name) != nullptr; }

std::int32_t SettingsKey::readInteger(const std::string& name) const {
    const RegistryValue* value = m_snapshot.document.value(m_path, name);
    if (!value)
        throw SettingsError::failedToGet(name);
    if (value->kind == ValueKind::Integer)
        return static_cast<std::int32_t>(value->integer);
    if (value->kind == ValueKind::Binary && value->hexType == kDwordType) {
        if (value->bytes.size() != 4)
            throw SettingsError::failedToGet(name);
        const auto& b = value->bytes;
        return static_cast<std::int32_t>(std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
                                         std::uint32_t(b[3]) << 24);
    }
    throw SettingsError::invalidType(name);
}

std::string SettingsKey::readString(const std::string& name) const {
    const RegistryValue* value = m_snapshot.document.value(m_path, name);
    if (!value)
        return {};
    if (value->kind == ValueKind::Text)
        return value->text;
    if (value->kind == ValueKind::Binary && value->hexType == kExpandStringType) {
        // A zero-terminated string: UTF-16LE in a version 5 export, Windows-1250 bytes in REGEDIT4.
        if (m_snapshot.document.isUnicodeExport()) {
            if (auto text = utf16ValueText(value->bytes))
                return *text;
            throw SettingsError::failedToGet(name);
        }
        std::string bytes(value->bytes.begin(), value->bytes.end());
        bytes = bytes.substr(0, bytes.find('\0'));
        if (auto text = cp1250ToUtf8(bytes))
            return *text;
        throw SettingsError::failedToGet(name);
    }
    throw SettingsError::invalidType(name);
}

std::vector<std::uint8_t> SettingsKey::readBinary(const std::string& name) const {
    const RegistryValue* value = m_snapshot.document.value(m_path, name);
    if (!value)
        throw SettingsError::failedToGet(name);
    if (value->kind == ValueKind::Binary && (value->hexType == -1 || value->hexType == kBinaryType))
        return value->bytes;
    throw SettingsError::invalidType(name);
}

void SettingsKey::writeInteger(const std::string& name, std::int32_t value) {
    write(RegistryValue::makeInteger(name, static_cast<std::uint32_t>(value)));
}

void SettingsKey::writeString(const std::string& name, const std::string& value) {
    // An export line cannot carry a line break, and the store keeps zero-terminated strings. The
    // program's text is Windows-1250 whatever the file's encoding, so a file carried back to a
    // Windows machine gives the same text there.
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos || !utf8ToCp1250(value))
        throw SettingsError::failedToSet(name);
    write(RegistryValue::makeText(name, value));
}

void SettingsKey::writeBinary(const std::string& name, const std::vector<std::uint8_t>& value) {
    write(RegistryValue::makeBinary(name, value));
}

void SettingsKey::write(const RegistryValue& value) {
    auto current = m_store.load();
    if (!current || !current->document.hasKey(m_path))
        throw SettingsError::failedToSet(value.name);
    // A value that already holds what is written needs no write, so the same value written to a
    // read-only file is no error.
    if (const RegistryValue* stored = current->document.value(m_path, value.name); stored && stored->sameData(value)) {
        m_snapshot = std::move(*current);
        return;
    }
    current->document.setValue(m_path, value);
    if (!m_store.save(*current))
        throw SettingsError::failedToSet(value.name);
    m_snapshot = std::move(*current);
}

} // namespace talvern::settings

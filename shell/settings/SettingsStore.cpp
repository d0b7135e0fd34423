#include "SettingsStore.h"

#include "Cp1250.h"
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

std::optional<RegistryDocument> SettingsStore::load() const {
    const std::string name = m_file.string();
    std::error_code ec;
    const auto status = std::filesystem::status(m_file, ec);
    if (!std::filesystem::exists(status))
        return std::nullopt;
    if (!std::filesystem::is_regular_file(status))
        throw SettingsFileError(name, 0, "it is not a regular file");
    const auto size = std::filesystem::file_size(m_file, ec);
    if (!ec && size > kLargestFile)
        throw SettingsFileError(name, 0, "it is too large to be a settings file");

    std::ifstream in(m_file, std::ios::binary);
    if (!in)
        throw SettingsFileError(name, 0, std::strerror(errno));
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad())
        throw SettingsFileError(name, 0, "it cannot be read");
    const std::string bytes = buffer.str();

    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        throw SettingsFileError(name, 1,
                                "this is a Unicode registry export; export it in the REGEDIT4 (Win9x/NT4) format instead");
    DecodeFailure failure{};
    const auto text = cp1250ToUtf8(bytes, &failure);
    if (!text)
        throw SettingsFileError(name, lineOfOffset(bytes, failure.offset), "a byte that is not Windows-1250 text");
    if (text->find('\0') != std::string::npos)
        throw SettingsFileError(name, lineOfOffset(bytes, text->find('\0')), "a zero byte in the text");
    return RegistryDocument::parse(*text, name);
}

bool SettingsStore::save(const RegistryDocument& document) const {
    const auto bytes = utf8ToCp1250(document.serialize());
    if (!bytes)
        return false;

    const auto folder = m_file.parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec)
            return false;
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    }

    std::string temporary = (folder / ("." + m_file.filename().string() + ".XXXXXX")).string();
    FileDescriptor fd(::mkstemp(temporary.data()));
    if (fd.get() < 0)
        return false;
    const bool written = ::fchmod(fd.get(), S_IRUSR | S_IWUSR) == 0 && writeAll(fd.get(), *bytes) &&
                         ::fsync(fd.get()) == 0 && fd.close() &&
                         ::rename(temporary.c_str(), m_file.c_str()) == 0;
    if (!written) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself is durable only once the folder is synced.
    FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

std::optional<SettingsKey> SettingsStore::openKey(const std::string& key, bool create) {
    const std::string path = fullPath(key);
    auto document = load();
    if (document && document->hasKey(path))
        return SettingsKey(*this, path, std::move(*document));
    if (!create)
        return std::nullopt;
    RegistryDocument updated = document ? std::move(*document) : RegistryDocument();
    updated.addKey(path);
    if (!save(updated))
        throw SettingsError("The settings file '" + m_file.string() + "' cannot be written");
    return SettingsKey(*this, path, std::move(updated));
}

SettingsKey::SettingsKey(const SettingsStore& store, std::string path, RegistryDocument snapshot)
    : m_store(store), m_path(std::move(path)), m_snapshot(std::move(snapshot)) {}

bool SettingsKey::valueExists(const std::string& name) const { return m_snapshot.value(m_path, name) != nullptr; }

std::int32_t SettingsKey::readInteger(const std::string& name) const {
    const RegistryValue* value = m_snapshot.value(m_path, name);
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
    const RegistryValue* value = m_snapshot.value(m_path, name);
    if (!value)
        return {};
    if (value->kind == ValueKind::Text)
        return value->text;
    if (value->kind == ValueKind::Binary && value->hexType == kExpandStringType) {
        // The bytes of a zero-terminated Windows-1250 string.
        std::string bytes(value->bytes.begin(), value->bytes.end());
        bytes = bytes.substr(0, bytes.find('\0'));
        if (auto text = cp1250ToUtf8(bytes))
            return *text;
        throw SettingsError::failedToGet(name);
    }
    throw SettingsError::invalidType(name);
}

std::vector<std::uint8_t> SettingsKey::readBinary(const std::string& name) const {
    const RegistryValue* value = m_snapshot.value(m_path, name);
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
    // A REGEDIT4 line cannot carry a line break, and the store keeps zero-terminated strings.
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        throw SettingsError::failedToSet(name);
    write(RegistryValue::makeText(name, value));
}

void SettingsKey::writeBinary(const std::string& name, const std::vector<std::uint8_t>& value) {
    write(RegistryValue::makeBinary(name, value));
}

void SettingsKey::write(const RegistryValue& value) {
    auto current = m_store.load();
    if (!current || !current->hasKey(m_path))
        throw SettingsError::failedToSet(value.name);
    current->setValue(m_path, value);
    if (!m_store.save(*current))
        throw SettingsError::failedToSet(value.name);
    m_snapshot = std::move(*current);
}

} // namespace talvern::settings

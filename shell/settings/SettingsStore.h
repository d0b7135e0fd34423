#pragma once
// The program's settings store: keys of typed values (text, 32-bit integer, binary) below the
// current user's root, kept in one REGEDIT4 text file so that a site can carry its settings to
// and from a Windows machine. The file holds Windows-1250 text and is replaced atomically on
// every write (temporary file, fsync, rename) with mode 0600, because it holds the passwords in
// plain text.
//
// Nothing is held open: a key is a snapshot for reading, and every write reads the file again,
// changes one value and replaces the file at once. A file that cannot be parsed is reported with
// its name and line and is never overwritten.
//
// Errors are SettingsError (SettingsFileError for a malformed file) with UTF-8 text.

#include "RegistryText.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace talvern::settings {

class SettingsKey;

class SettingsStore {
public:
    explicit SettingsStore(std::filesystem::path file);

    // $XDG_CONFIG_HOME/talvern/settings.reg, with XDG_CONFIG_HOME defaulting to ~/.config.
    static std::filesystem::path defaultFile();

    const std::filesystem::path& file() const { return m_file; }

    // Opens key (a name below the current user's root, such as "SoftwareRegQ5").
    // Without create, nullopt when the key or the whole file does not exist. With create, a
    // missing key is added to the file (which is created when missing). Throws SettingsFileError
    // when the file exists but is not a well-formed REGEDIT4 text or cannot be read, and
    // SettingsError when the new key cannot be written.
    std::optional<SettingsKey> openKey(const std::string& key, bool create);

private:
    friend class SettingsKey;

    // nullopt when the file does not exist.
    std::optional<RegistryDocument> load() const;
    // Encodes and replaces the file; false on any failure (the old file then stays as it was).
    bool save(const RegistryDocument& document) const;

    std::filesystem::path m_file;
};

class SettingsKey {
public:
    // Missing value: "Failed to get data for '<name>'"; not an integer: "Invalid data type for '<name>'".
    std::int32_t readInteger(const std::string& name) const;
    // Missing value: empty text; not text: "Invalid data type for '<name>'".
    std::string readString(const std::string& name) const;
    // Missing value: "Failed to get data for '<name>'"; not binary: "Invalid data type for '<name>'".
    std::vector<std::uint8_t> readBinary(const std::string& name) const;
    bool valueExists(const std::string& name) const;

    // Each write re-reads the file and replaces it. When the key has gone, the text cannot be
    // stored (a line break, a character Windows-1250 lacks) or the file cannot be replaced:
    // "Failed to set data for '<name>'". A file that has become malformed: SettingsFileError.
    void writeInteger(const std::string& name, std::int32_t value);
    void writeString(const std::string& name, const std::string& value);
    void writeBinary(const std::string& name, const std::vector<std::uint8_t>& value);

private:
    friend class SettingsStore;
    SettingsKey(const SettingsStore& store, std::string path, RegistryDocument snapshot);

    void write(const RegistryValue& value);

    SettingsStore m_store; // a key outlives the store object it came from
    std::string m_path;
    RegistryDocument m_snapshot;
};

} // namespace talvern::settings

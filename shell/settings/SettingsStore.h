#pragma once
// The program's settings store: keys of typed values (text, 32-bit integer, binary) below the
// current user's root, kept in one registry export text file so that a site can carry its settings
// to and from a Windows machine. The file is a REGEDIT4 export in Windows-1250 (what the program
// writes when it makes the file) or a "Windows Registry Editor Version 5.00" export in UTF-16LE with
// a byte-order mark (what today's registry editor writes). It is written back in the form it was
// read (encoding, byte-order mark, line ends, header), so a file read and written with the same
// values keeps every byte.
//
// Every write replaces the file atomically (temporary file beside it, fsync, rename) with mode
// 0600, because it holds the passwords in plain text. A settings file that is a symbolic link stays
// one: the file it leads to is replaced, from a temporary file beside that file. A file without
// write permission is never replaced: someone made it read-only on purpose.
//
// Nothing is held open: a key is a snapshot for reading, and every write reads the file again,
// changes one value and replaces the file at once. A file that cannot be parsed is reported with
// its name and line and is never overwritten.
//
// Errors are SettingsError with UTF-8 text: SettingsFileError for a file that cannot be read,
// SettingsWriteError for one that cannot be written.

#include "RegistryText.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace talvern::settings {

class SettingsKey;

// How the file's text is stored.
enum class FileEncoding {
    Windows1250,       // one byte a character, no byte-order mark
    Utf16LittleEndian, // two bytes a character, low byte first, after the byte-order mark FF FE
};

class SettingsStore {
public:
    explicit SettingsStore(std::filesystem::path file);

    // $XDG_CONFIG_HOME/talvern/settings.reg, with XDG_CONFIG_HOME defaulting to ~/.config.
    static std::filesystem::path defaultFile();

    const std::filesystem::path& file() const { return m_file; }

    // Opens key (a name below the current user's root, such as "SoftwareRegQ5").
    // Without create, nullopt when the key or the whole file does not exist. With create, a
    // missing key is added to the file (which is created when missing). Throws SettingsFileError
    // when the file exists but is not a well-formed export or cannot be read, and
    // SettingsWriteError when the new key cannot be written.
    std::optional<SettingsKey> openKey(const std::string& key, bool create);

    // The file that writes replace: file() itself, or where it leads when it is a symbolic link.
    // Throws SettingsWriteError for a loop of links.
    std::filesystem::path writeTarget() const;

private:
    friend class SettingsKey;

    struct Stored {
        RegistryDocument document;
        FileEncoding encoding = FileEncoding::Windows1250;
    };

    // nullopt when the file does not exist.
    std::optional<Stored> load() const;
    // Encodes and replaces the file. Throws SettingsWriteError; the old file then stays as it was.
    // Returns false, writing nothing, when the text has a character the file's encoding lacks.
    bool save(const Stored& stored) const;

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

    // Each write re-reads the file and replaces it. When the key has gone or the text cannot be
    // stored (a line break, a character Windows-1250 lacks): "Failed to set data for '<name>'".
    // A file that has become malformed: SettingsFileError; one that cannot be replaced (read-only,
    // no room): SettingsWriteError. The file keeps what it had in every case. A value that already
    // holds what is written is not written again.
    void writeInteger(const std::string& name, std::int32_t value);
    void writeString(const std::string& name, const std::string& value);
    void writeBinary(const std::string& name, const std::vector<std::uint8_t>& value);

private:
    friend class SettingsStore;
    SettingsKey(const SettingsStore& store, std::string path, SettingsStore::Stored snapshot);

    void write(const RegistryValue& value);

    SettingsStore m_store; // a key outlives the store object it came from
    std::string m_path;
    SettingsStore::Stored m_snapshot;
};

} // namespace talvern::settings

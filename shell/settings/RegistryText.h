#pragma once
// The text form of a registry export, the format of the settings file:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\SoftwareRegQ5]
//   "Port"=dword:00000001
//   "sys_nr"="1"
//
// The header is REGEDIT4 or, as today's registry editor writes it, "Windows Registry Editor Version
// 5.00"; the header read is the header written. A document is read from UTF-8 text (the file's bytes
// already converted) and written back the same way. Lines that are not touched keep their exact text, so comments, other keys and
// the formatting of a file carried over from another machine survive a change of one value.
// Key paths and value names compare without regard to ASCII letter case, as the registry does.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvern::settings {

enum class ValueKind { Text, Integer, Binary };

struct RegistryValue {
    std::string name; // empty for the key's default value, written as @
    ValueKind kind = ValueKind::Text;
    std::string text;                // ValueKind::Text
    std::uint32_t integer = 0;       // ValueKind::Integer (dword)
    std::vector<std::uint8_t> bytes; // ValueKind::Binary
    int hexType = -1;                // ValueKind::Binary: -1 for "hex:", N for "hex(N):"

    // Same kind and same data; the names are not compared.
    bool sameData(const RegistryValue& other) const;

    static RegistryValue makeText(std::string name, std::string text);
    static RegistryValue makeInteger(std::string name, std::uint32_t value);
    static RegistryValue makeBinary(std::string name, std::vector<std::uint8_t> bytes);
};

class RegistryDocument {
public:
    // A new document holding only the REGEDIT4 header.
    RegistryDocument();

    // Parses text; throws SettingsFileError naming fileName and the line on any malformed line.
    static RegistryDocument parse(const std::string& text, const std::string& fileName);

    // The document as text, with the line ending of the parsed text (CR LF for a new document).
    std::string serialize() const;

    // True for a "Windows Registry Editor Version 5.00" document, whose hex(2) and hex(7) data are
    // UTF-16LE text rather than Windows-1250 bytes.
    bool isUnicodeExport() const { return m_unicode; }

    bool hasKey(const std::string& path) const;
    void addKey(const std::string& path); // no-op when it exists

    // nullptr when the key or the value does not exist.
    const RegistryValue* value(const std::string& path, const std::string& name) const;

    // Sets or replaces a value of an existing key; returns false when the key does not exist. A value
    // set to what it already holds keeps its line exactly as read.
    bool setValue(const std::string& path, const RegistryValue& value);

private:
    struct Line {
        std::vector<std::string> raw; // the text as read; a value may span several lines
        std::optional<RegistryValue> value;
        bool changed = false;
    };
    struct Section {
        std::string path;
        std::string header; // the [..] line as read
        std::vector<Line> lines;
    };

    Section* findSection(const std::string& path);
    const Section* findSection(const std::string& path) const;

    std::vector<std::string> m_preamble;
    std::vector<Section> m_sections;
    std::string m_eol = "\r\n";
    bool m_endsWithEol = true; // false for a file read without a line end after its last line
    bool m_unicode = false;
};

// The line or lines of one value in export form, without line endings.
std::vector<std::string> formatValue(const RegistryValue& value);

} // namespace talvern::settings

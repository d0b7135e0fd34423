#include "RegistryText.h"

#include "SettingsError.h"

#include <algorithm>
#include <cstdio>

namespace talvern::settings {

namespace {

constexpr const char* kHeader = "REGEDIT4";
constexpr const char* kUnicodeHeader = "Windows Registry Editor Version 5.00";
constexpr std::size_t kHexLineWidth = 76;

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool isIgnorable(const std::string& line) {
    const std::string t = trim(line);
    return t.empty() || t[0] == ';';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// Reads a quoted string starting at pos (which holds the opening quote); advances pos past the
// closing quote. Only \\ and \" are escapes in REGEDIT4 text.
std::optional<std::string> readQuoted(const std::string& s, std::size_t& pos) {
    if (pos >= s.size() || s[pos] != '"')
        return std::nullopt;
    std::string out;
    for (std::size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else if (c == '"') {
            pos = i + 1;
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

class Parser {
public:
    Parser(const std::string& fileName) : m_file(fileName) {}

    [[noreturn]] void fail(int line, const std::string& reason) const { throw SettingsFileError(m_file, line, reason); }

    std::vector<std::uint8_t> parseHexBytes(const std::string& data, int line) const {
        std::vector<std::uint8_t> bytes;
        std::string compact;
        for (char c : data)
            if (c != ' ' && c != '\t')
                compact += c;
        if (compact.empty())
            return bytes;
        std::size_t pos = 0;
        while (true) {
            if (pos + 2 > compact.size() || hexDigit(compact[pos]) < 0 || hexDigit(compact[pos + 1]) < 0)
                fail(line, "błędne dane szesnastkowe");
            bytes.push_back(static_cast<std::uint8_t>(hexDigit(compact[pos]) * 16 + hexDigit(compact[pos + 1])));
            pos += 2;
            if (pos == compact.size())
                return bytes;
            if (compact[pos] != ',' || pos + 1 == compact.size())
                fail(line, "błędne dane szesnastkowe");
            ++pos;
        }
    }

    RegistryValue parseValue(const std::string& text, int line) const {
        RegistryValue value;
        std::size_t pos = 0;
        if (text[0] == '@') {
            pos = 1;
        } else {
            auto name = readQuoted(text, pos);
            if (!name)
                fail(line, "nazwa wartości musi stać w cudzysłowie");
            value.name = *name;
        }
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos >= text.size() || text[pos] != '=')
            fail(line, "po nazwie wartości brak znaku '='");
        const std::string data = trim(text.substr(pos + 1));
        if (data == "-")
            fail(line, "usuwanie wartości nie jest dozwolone w pliku ustawień");
        if (!data.empty() && data[0] == '"') {
            std::size_t end = 0;
            auto s = readQuoted(data, end);
            if (!s || !trim(data.substr(end)).empty())
                fail(line, "błędna wartość tekstowa");
            value.kind = ValueKind::Text;
            value.text = *s;
            return value;
        }
        if (data.rfind("dword:", 0) == 0) {
            const std::string digits = data.substr(6);
            if (digits.empty() || digits.size() > 8 ||
                !std::all_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) >= 0; }))
                fail(line, "wartość dword wymaga od jednej do ośmiu cyfr szesnastkowych");
            value.kind = ValueKind::Integer;
            value.integer = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
            return value;
        }
        std::size_t colon = std::string::npos;
        if (data.rfind("hex:", 0) == 0) {
            value.hexType = -1;
            colon = 3;
        } else if (data.rfind("hex(", 0) == 0) {
            const auto close = data.find("):");
            if (close == std::string::npos || close == 4)
                fail(line, "błędny typ wartości hex(..)");
            int type = 0;
            for (std::size_t i = 4; i < close; ++i) {
                const int d = hexDigit(data[i]);
                if (d < 0 || type > 0xfffffff)
                    fail(line, "błędny typ wartości hex(..)");
                type = type * 16 + d;
            }
            value.hexType = type;
            colon = close + 1;
        } else {
            fail(line, "nieznany typ wartości (oczekiwano \"tekstu\", dword: lub hex:)");
        }
        value.kind = ValueKind::Binary;
        value.bytes = parseHexBytes(data.substr(colon + 1), line);
        return value;
    }

private:
    std::string m_file;
};

} // namespace

bool RegistryValue::sameData(const RegistryValue& other) const {
    return kind == other.kind && text == other.text && integer == other.integer && bytes == other.bytes &&
           hexType == other.hexType;
}

RegistryValue RegistryValue::makeText(std::string name, std::string text) {
    RegistryValue v;
    v.name = std::move(name);
    v.kind = ValueKind::Text;
    v.text = std::move(text);
    return v;
}

RegistryValue RegistryValue::makeInteger(std::string name, std::uint32_t value) {
    RegistryValue v;
    v.name = std::move(name);
    v.kind = ValueKind::Integer;
    v.integer = value;
    return v;
}

RegistryValue RegistryValue::makeBinary(std::string name, std::vector<std::uint8_t> bytes) {
    RegistryValue v;
    v.name = std::move(name);
    v.kind = ValueKind::Binary;
    v.bytes = std::move(bytes);
    return v;
}

RegistryDocument::RegistryDocument() : m_preamble{kHeader, ""} {}

RegistryDocument RegistryDocument::parse(const std::string& text, const std::string& fileName) {
    Parser parser(fileName);
    RegistryDocument doc;
    doc.m_preamble.clear();

    std::vector<std::string> lines;
    std::size_t start = 0;
    bool sawCr = false, sawLf = false;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) {
            if (start < text.size())
                lines.push_back(text.substr(start));
            break;
        }
        sawLf = true;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            sawCr = true;
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    doc.m_eol = (sawLf && !sawCr) ? "\n" : "\r\n";
    doc.m_endsWithEol = text.empty() || text.back() == '\n';

    std::size_t i = 0;
    while (i < lines.size() && trim(lines[i]).empty())
        doc.m_preamble.push_back(lines[i++]);
    if (i == lines.size() || (trim(lines[i]) != kHeader && trim(lines[i]) != kUnicodeHeader))
        parser.fail(static_cast<int>(i + 1),
                    std::string("pierwszy wiersz musi brzmieć ") + kHeader + " lub " + kUnicodeHeader);
    doc.m_unicode = trim(lines[i]) == kUnicodeHeader;
    doc.m_preamble.push_back(lines[i++]);

    Section* current = nullptr;
    while (i < lines.size()) {
        const int lineNumber = static_cast<int>(i + 1);
        const std::string& raw = lines[i];
        const std::string t = trim(raw);
        if (isIgnorable(raw)) {
            if (current)
                current->lines.push_back({{raw}, std::nullopt, false});
            else
                doc.m_preamble.push_back(raw);
            ++i;
            continue;
        }
        if (t[0] == '[') {
            if (t.back() != ']' || t.size() < 3)
                parser.fail(lineNumber, "wiersz klucza musi kończyć się znakiem ']'");
            const std::string path = t.substr(1, t.size() - 2);
            if (path[0] == '-')
                parser.fail(lineNumber, "usuwanie klucza nie jest dozwolone w pliku ustawień");
            if (doc.findSection(path))
                parser.fail(lineNumber, "klucz [" + path + "] występuje dwa razy");
            doc.m_sections.push_back({path, raw, {}});
            current = &doc.m_sections.back();
            ++i;
            continue;
        }
        if (!current)
            parser.fail(lineNumber, "wartość przed pierwszym wierszem [klucza]");
        // A hexadecimal value may continue over the following lines, each ending in a backslash.
        Line line;
        std::string joined = t;
        line.raw.push_back(raw);
        ++i;
        while (!joined.empty() && joined.back() == '\\' && joined.find("=hex") != std::string::npos) {
            joined.pop_back();
            if (i == lines.size())
                parser.fail(lineNumber, "wartość ciągnie się poza koniec pliku");
            line.raw.push_back(lines[i]);
            joined += trim(lines[i]);
            ++i;
        }
        RegistryValue value = parser.parseValue(joined, lineNumber);
        // A later line for the same name replaces the earlier one, as an import would.
        auto same = std::find_if(current->lines.begin(), current->lines.end(), [&](const Line& l) {
            return l.value && equalsIgnoringCase(l.value->name, value.name);
        });
        if (same != current->lines.end())
            current->lines.erase(same);
        line.value = std::move(value);
        current->lines.push_back(std::move(line));
    }
    return doc;
}

std::string RegistryDocument::serialize() const {
    std::string out;
    for (const auto& l : m_preamble)
        out += l + m_eol;
    for (const auto& section : m_sections) {
        out += section.header + m_eol;
        for (const auto& line : section.lines) {
            const auto text = line.changed ? formatValue(*line.value) : line.raw;
            for (const auto& l : text)
                out += l + m_eol;
        }
    }
    // A file read without a line end after its last line is written back the same way until a
    // change; changed text always ends with one (an import may skip a last line that has none).
    if (!m_endsWithEol && out.size() >= m_eol.size())
        out.resize(out.size() - m_eol.size());
    return out;
}

RegistryDocument::Section* RegistryDocument::findSection(const std::string& path) {
    for (auto& s : m_sections)
        if (equalsIgnoringCase(s.path, path))
            return &s;
    return nullptr;
}

const RegistryDocument::Section* RegistryDocument::findSection(const std::string& path) const {
    return const_cast<RegistryDocument*>(this)->findSection(path);
}

bool RegistryDocument::hasKey(const std::string& path) const { return findSection(path) != nullptr; }

void RegistryDocument::addKey(const std::string& path) {
    if (findSection(path))
        return;
    m_endsWithEol = true;
    // Keep one blank line between keys, as an export has.
    if (m_sections.empty()) {
        if (m_preamble.empty() || !trim(m_preamble.back()).empty())
            m_preamble.push_back("");
    } else {
        auto& last = m_sections.back();
        const bool endsBlank = !last.lines.empty() && !last.lines.back().value && trim(last.lines.back().raw[0]).empty();
        if (!endsBlank)
            last.lines.push_back({{""}, std::nullopt, false});
    }
    m_sections.push_back({path, "[" + path + "]", {{{""}, std::nullopt, false}}});
}

const RegistryValue* RegistryDocument::value(const std::string& path, const std::string& name) const {
    const Section* section = findSection(path);
    if (!section)
        return nullptr;
    for (const auto& line : section->lines)
        if (line.value && equalsIgnoringCase(line.value->name, name))
            return &*line.value;
    return nullptr;
}

bool RegistryDocument::setValue(const std::string& path, const RegistryValue& value) {
    Section* section = findSection(path);
    if (!section)
        return false;
    for (auto& line : section->lines) {
        if (line.value && equalsIgnoringCase(line.value->name, value.name)) {
            // The same value again keeps its line as read, so writing back what was read changes
            // no byte of the file.
            if (line.value->sameData(value))
                return true;
            const std::string keptName = line.value->name;
            line.value = value;
            line.value->name = keptName;
            line.changed = true;
            m_endsWithEol = true;
            return true;
        }
    }
    // A new value goes after the key's last value, ahead of the blank line that closes the key.
    auto lastValue = std::find_if(section->lines.rbegin(), section->lines.rend(),
                                  [](const Line& l) { return l.value.has_value(); });
    auto at = lastValue == section->lines.rend() ? section->lines.begin() : lastValue.base();
    section->lines.insert(at, Line{{}, value, true});
    m_endsWithEol = true;
    return true;
}

std::vector<std::string> formatValue(const RegistryValue& value) {
    const std::string name = value.name.empty() ? "@" : quote(value.name);
    switch (value.kind) {
    case ValueKind::Text:
        return {name + "=" + quote(value.text)};
    case ValueKind::Integer: {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", value.integer);
        return {name + "=dword:" + digits};
    }
    case ValueKind::Binary:
        break;
    }
    std::string first = name + "=";
    if (value.hexType < 0) {
        first += "hex:";
    } else {
        char type[16];
        std::snprintf(type, sizeof type, "hex(%x):", value.hexType);
        first += type;
    }
    std::vector<std::string> lines{first};
    for (std::size_t i = 0; i < value.bytes.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", value.bytes[i]);
        const bool last = i + 1 == value.bytes.size();
        // Wrap like an export does: a trailing backslash, the next line indented by two blanks.
        if (lines.back().size() + 3 > kHexLineWidth && !last) {
            lines.back() += "\\";
            lines.push_back("  ");
        }
        lines.back() += byte;
        if (!last)
            lines.back() += ",";
    }
    return lines;
}

} // namespace talvern::settings

#include "Commands.h"

#include "DbfTable.h"
#include "FieldCodec.h"

#include <cstdio>

namespace talvern::dbftool {
namespace {

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// JSON has no place for NaN or a number like "1." that dBASE may hold; those go out as text.
bool isJsonNumber(const std::string& s) {
    std::size_t i = 0;
    if (i < s.size() && s[i] == '-') {
        ++i;
    }
    std::size_t digits = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        ++i;
    }
    if (i == digits || (s[digits] == '0' && i - digits > 1)) {
        return false;
    }
    if (i < s.size() && s[i] == '.') {
        std::size_t frac = ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            ++i;
        }
        if (i == frac) {
            return false;
        }
    }
    return i == s.size();
}

std::string jsonValue(dbf::DbfTable& table, int index, std::string_view rec) {
    const dbf::FieldDef& f = table.fields()[static_cast<std::size_t>(index)];
    std::string_view raw = rec.substr(f.offset, f.length);
    if (!dbf::FieldCodec::isMemoType(f.type) && dbf::FieldCodec::isNull(f, raw)) {
        return "null";
    }
    std::string text = table.text(index, rec);
    switch (f.type) {
    case 'L':
        return text == "True" ? "true" : text == "False" ? "false" : "null";
    case 'N': case 'F': case 'I': case '+': case 'O':
        return isJsonNumber(text) ? text : jsonString(text);
    default:
        return jsonString(text);
    }
}

} // namespace

int dumpTable(const std::string& path, std::ostream& out) {
    dbf::DbfTable table(path, dbf::DbfTable::Mode::ReadOnly);
    const auto& fields = table.fields();
    char version[8];
    std::snprintf(version, sizeof version, "0x%02X", dbf::versionByte(table.format()));
    out << "{\n  \"file\": " << jsonString(table.name()) << ",\n  \"format\": " << jsonString(dbf::formatName(table.format()))
        << ",\n  \"version\": \"" << version << "\",\n  \"code_page\": " << jsonString(table.codePage().charset())
        << ",\n  \"fields\": [";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out << (i ? ",\n" : "\n") << "    {\"name\": " << jsonString(fields[i].name) << ", \"type\": \"" << fields[i].type
            << "\", \"width\": " << int(fields[i].length) << ", \"decimals\": " << int(fields[i].decimals) << "}";
    }
    out << "\n  ],\n  \"records\": [";
    std::uint32_t deleted = 0;
    bool firstRecord = true;
    for (std::uint32_t r = 0; r < table.recordCount(); ++r) {
        std::string rec(table.record(r));
        if (dbf::DbfTable::isDeleted(rec)) {
            ++deleted;
            continue;
        }
        out << (firstRecord ? "\n" : ",\n") << "    {";
        firstRecord = false;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            out << (i ? ", " : "") << jsonString(fields[i].name) << ": " << jsonValue(table, static_cast<int>(i), rec);
        }
        out << "}";
    }
    out << "\n  ],\n  \"live_records\": " << (table.recordCount() - deleted) << ",\n  \"deleted_records\": " << deleted
        << "\n}\n";
    return 0;
}

} // namespace talvern::dbftool

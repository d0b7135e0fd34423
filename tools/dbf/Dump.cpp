#include "Commands.h"

#include "DbfTable.h"
#include "FieldCodec.h"

#include <cstdio>
#include <optional>
#include <string_view>

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

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The JSON spelling of a number as a dBASE field holds it ("+5", "-.5", "1.", "007", "1e+300"), its digits
// kept as written so that nothing is rounded; nullopt for text that is no number (the asterisks dBASE
// writes for a value too wide for its field, "nan", "inf"), which goes out as a string.
std::optional<std::string> jsonNumber(std::string_view s) {
    std::string out;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') {
            out += '-';
        }
        ++i;
    }
    const std::size_t wholeStart = i;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
    }
    std::string_view whole = s.substr(wholeStart, i - wholeStart);
    std::string_view fraction;
    if (i < s.size() && s[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
        }
        fraction = s.substr(fractionStart, i - fractionStart);
    }
    if (whole.empty() && fraction.empty()) {
        return std::nullopt;
    }
    std::string exponent;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        exponent.push_back('e'); // not = "e": g++ 12 with the sanitizers warns falsely of an overlap there
        if (++i < s.size() && (s[i] == '+' || s[i] == '-')) {
            exponent += s[i++];
        }
        const std::size_t digits = i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
        }
        if (i == digits) {
            return std::nullopt;
        }
        exponent += s.substr(digits, i - digits);
    }
    if (i != s.size()) {
        return std::nullopt;
    }
    const std::size_t significant = whole.find_first_not_of('0'); // JSON allows no leading zeros
    out += significant == std::string_view::npos ? std::string_view("0") : whole.substr(significant);
    if (!fraction.empty()) {
        out += '.';
        out += fraction;
    }
    return out + exponent;
}

// One rule for every type: a field that holds nothing (blank text, an empty memo, an empty number, date,
// logical or timestamp) is null. Numbers are JSON numbers, logicals true/false, everything else a string.
std::string jsonValue(dbf::DbfTable& table, int index, std::string_view rec) {
    const dbf::FieldDef& f = table.fields()[static_cast<std::size_t>(index)];
    std::string_view raw = rec.substr(f.offset, f.length);
    if (!dbf::FieldCodec::isMemoType(f.type) && dbf::FieldCodec::isNull(f, raw)) {
        return "null";
    }
    std::string text = table.text(index, rec);
    if (text.empty()) {
        return "null";
    }
    switch (f.type) {
    case 'L':
        return text == "True" ? "true" : text == "False" ? "false" : "null";
    case 'N': case 'F': case 'I': case '+': case 'O': {
        auto number = jsonNumber(text);
        return number ? *number : jsonString(text);
    }
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

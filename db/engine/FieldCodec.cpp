#include "FieldCodec.h"

#include "CodePage.h"
#include "DbfError.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace talvern::dbf::FieldCodec {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view trimRight(std::string_view s) {
    auto nul = s.find('\0');
    if (nul != std::string_view::npos) {
        s = s.substr(0, nul);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

[[noreturn]] void refuse(const FieldDef& field, const std::string& what) {
    throw DbfError("Field " + field.name + ": " + what);
}

std::uint64_t be64(std::string_view raw) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        v = v << 8 | static_cast<unsigned char>(raw[i]);
    }
    return v;
}

std::string putBe(std::uint64_t v, int bytes) {
    std::string out(static_cast<std::size_t>(bytes), '\0');
    for (int i = bytes - 1; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
    return out;
}

// Level 7 keeps integers big-endian with the sign bit flipped, so that byte order sorts like the numbers.
std::int32_t decodeLong(std::string_view raw) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v = v << 8 | static_cast<unsigned char>(raw[i]);
    }
    return static_cast<std::int32_t>(v ^ 0x80000000u);
}

std::string encodeLong(std::int32_t value) { return putBe(static_cast<std::uint32_t>(value) ^ 0x80000000u, 4); }

// Doubles likewise: positive values have the sign bit set, negative ones are stored complemented.
double decodeDouble(std::string_view raw) {
    std::uint64_t v = be64(raw);
    v = (v & 0x8000000000000000ull) ? (v & 0x7FFFFFFFFFFFFFFFull) : ~v;
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

std::string encodeDouble(double d) {
    std::uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    v = (v & 0x8000000000000000ull) ? ~v : (v | 0x8000000000000000ull);
    return putBe(v, 8);
}

// Timestamps count milliseconds from 0001-01-01 with that day as day 1.
constexpr double kMsPerDay = 86400000.0;

long daysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468; // days since 1970-01-01
}

void civilFromDays(long z, long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

const long kDay1 = daysFromCivil(1, 1, 1) - 1; // 1970-based day number of day 0

std::string formatTimestamp(double ms) {
    if (!std::isfinite(ms) || ms < 0 || ms > 1e15) {
        return "";
    }
    auto total = static_cast<long long>(std::llround(ms));
    long days = static_cast<long>(total / 86400000LL);
    long long rest = total % 86400000LL;
    long y;
    unsigned m, d;
    civilFromDays(days + kDay1, y, m, d);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04ld-%02u-%02u %02lld:%02lld:%02lld", y, m, d, rest / 3600000, rest / 60000 % 60,
                  rest / 1000 % 60);
    return buf;
}

bool parseDate(std::string_view s, long& y, unsigned& m, unsigned& d) {
    unsigned yy = 0;
    int n = 0;
    if (s.size() == 10 && std::sscanf(std::string(s).c_str(), "%4u-%2u-%2u%n", &yy, &m, &d, &n) == 3 && n == 10) {
    } else if (s.size() == 8 && std::sscanf(std::string(s).c_str(), "%4u%2u%2u%n", &yy, &m, &d, &n) == 3 && n == 8) {
    } else {
        return false;
    }
    y = yy;
    if (m < 1 || m > 12 || d < 1 || d > 31) {
        return false;
    }
    long cy;
    unsigned cm, cd;
    civilFromDays(daysFromCivil(y, m, d), cy, cm, cd);
    return cy == y && cm == m && cd == d;
}

bool parseWhole(std::string_view s, std::int64_t& out) {
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

bool parseDecimal(std::string_view s, double& out) {
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    std::string copy(s);
    for (char& c : copy) {
        if (c == ',') {
            c = '.';
        }
    }
    auto [p, ec] = std::from_chars(copy.data(), copy.data() + copy.size(), out);
    return ec == std::errc() && p == copy.data() + copy.size() && !copy.empty() && std::isfinite(out);
}

std::string rightAligned(const FieldDef& field, const std::string& digits) {
    if (digits.size() > field.length) {
        refuse(field, "the number " + digits + " is wider than the field (" + std::to_string(field.length) +
                          " characters)");
    }
    return std::string(field.length - digits.size(), ' ') + digits;
}

std::string formatNumber(const FieldDef& field, double value) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(field.decimals), value);
    return rightAligned(field, buf);
}

} // namespace

bool isMemoType(char type) { return type == 'M' || type == 'B' || type == 'G'; }

bool isNull(const FieldDef& field, std::string_view raw) {
    switch (field.type) {
    case 'I': case '+': case 'O': case '@':
        for (char c : raw) {
            if (c != '\0') {
                return false;
            }
        }
        return true;
    case 'L':
        return trim(raw).empty() || raw[0] == '?';
    case 'M': case 'B': case 'G':
        return memoBlock(field, raw) == 0;
    default:
        return trim(raw).empty();
    }
}

std::string toText(const FieldDef& field, std::string_view raw, const CodePage& codePage) {
    if (field.type == 'C') {
        return codePage.toUtf8(trimRight(raw)); // the commonest case, and blank text is simply ""
    }
    if (isNull(field, raw)) {
        return "";
    }
    switch (field.type) {
    case 'C':
        return codePage.toUtf8(trimRight(raw));
    case 'N': case 'F':
        return std::string(trim(raw));
    case 'L': {
        char c = raw[0];
        if (c == 'T' || c == 't' || c == 'Y' || c == 'y') {
            return "True";
        }
        if (c == 'F' || c == 'f' || c == 'N' || c == 'n') {
            return "False";
        }
        return "";
    }
    case 'D': {
        long y;
        unsigned m, d;
        std::string_view s = trim(raw);
        if (!parseDate(s, y, m, d)) {
            return codePage.toUtf8(s); // shown as found rather than hidden
        }
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04ld-%02u-%02u", y, m, d);
        return buf;
    }
    case 'I': case '+':
        return raw.size() >= 4 ? std::to_string(decodeLong(raw)) : "";
    case 'O': {
        if (raw.size() < 8) {
            return "";
        }
        char buf[64];
        auto [p, ec] = std::to_chars(buf, buf + sizeof buf, decodeDouble(raw));
        return ec == std::errc() ? std::string(buf, p) : "";
    }
    case '@':
        return raw.size() >= 8 ? formatTimestamp(decodeDouble(raw)) : "";
    default:
        return codePage.toUtf8(trimRight(raw));
    }
}

std::int64_t toInteger(const FieldDef& field, std::string_view raw, const CodePage& codePage) {
    if (isNull(field, raw)) {
        return 0;
    }
    switch (field.type) {
    case 'I': case '+':
        return raw.size() >= 4 ? decodeLong(raw) : 0;
    case 'O': {
        double d = raw.size() >= 8 ? decodeDouble(raw) : 0.0;
        if (!std::isfinite(d) || std::fabs(d) > 9.2e18) {
            refuse(field, "the value does not fit a whole number");
        }
        return std::llround(d);
    }
    case 'N': case 'F': case 'C': {
        std::string_view s = trim(raw);
        std::int64_t whole;
        if (parseWhole(s, whole)) {
            return whole;
        }
        double d;
        if (field.type != 'C' && parseDecimal(s, d) && std::fabs(d) < 9.2e18) {
            return std::llround(d);
        }
        refuse(field, "\"" + codePage.toUtf8(s) + "\" is not a whole number");
    }
    default:
        refuse(field, "does not hold a number");
    }
}

bool toBoolean(const FieldDef& field, std::string_view raw, const CodePage& codePage) {
    if (field.type == 'L') {
        char c = raw[0];
        return c == 'T' || c == 't' || c == 'Y' || c == 'y';
    }
    if (field.type == 'C') {
        std::string s = codePage.toUtf8(trim(raw));
        if (s.empty() || s == "False" || s == "F" || s == "false") {
            return false;
        }
        if (s == "True" || s == "T" || s == "true") {
            return true;
        }
        refuse(field, "\"" + s + "\" is not a logical value");
    }
    refuse(field, "does not hold a logical value");
}

std::string blank(const FieldDef& field) {
    switch (field.type) {
    case 'I': case '+': case 'O': case '@':
        return std::string(field.length, '\0');
    default:
        return std::string(field.length, ' ');
    }
}

std::string fromText(const FieldDef& field, std::string_view text, const CodePage& codePage) {
    std::string_view t = field.type == 'C' ? text : trim(text);
    if (t.empty()) {
        return blank(field);
    }
    switch (field.type) {
    case 'C': {
        std::string bytes = codePage.fromUtf8(text);
        if (bytes.size() > field.length) {
            refuse(field, "the text is longer than the field (" + std::to_string(field.length) + " characters)");
        }
        return bytes + std::string(field.length - bytes.size(), ' ');
    }
    case 'N': case 'F': {
        std::int64_t whole;
        if (parseWhole(t, whole)) {
            return fromInteger(field, whole);
        }
        double d;
        if (!parseDecimal(t, d)) {
            refuse(field, "\"" + std::string(t) + "\" is not a valid number");
        }
        if (field.decimals == 0 && d != std::floor(d)) {
            refuse(field, "\"" + std::string(t) + "\" is not a whole number");
        }
        return formatNumber(field, d);
    }
    case 'I': case '+': case 'O': {
        std::int64_t whole;
        if (parseWhole(t, whole)) {
            return fromInteger(field, whole);
        }
        double d;
        if (field.type == 'O' && parseDecimal(t, d)) {
            return encodeDouble(d);
        }
        refuse(field, "\"" + std::string(t) + "\" is not a whole number");
    }
    case 'L':
        if (t == "True" || t == "true" || t == "T" || t == "t" || t == "Y" || t == "y") {
            return "T";
        }
        if (t == "False" || t == "false" || t == "F" || t == "f" || t == "N" || t == "n") {
            return "F";
        }
        refuse(field, "\"" + std::string(t) + "\" is not a logical value");
    case 'D': {
        long y;
        unsigned m, d;
        if (!parseDate(t, y, m, d)) {
            refuse(field, "\"" + std::string(t) + "\" is not a date (YYYY-MM-DD)");
        }
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04ld%02u%02u", y, m, d);
        return buf;
    }
    case '@': {
        long y;
        unsigned m, d, hh = 0, mm = 0, ss = 0;
        std::string s(t);
        if (s.size() < 10 || !parseDate(std::string_view(s).substr(0, 10), y, m, d) ||
            (s.size() > 10 && (std::sscanf(s.c_str() + 10, " %2u:%2u:%2u", &hh, &mm, &ss) != 3 || hh > 23 ||
                               mm > 59 || ss > 59))) {
            refuse(field, "\"" + s + "\" is not a time stamp (YYYY-MM-DD HH:MM:SS)");
        }
        double days = static_cast<double>(daysFromCivil(y, m, d) - kDay1);
        return encodeDouble(days * kMsPerDay + (hh * 3600.0 + mm * 60.0 + ss) * 1000.0);
    }
    default:
        refuse(field, "this kind of field cannot be written");
    }
}

std::string fromInteger(const FieldDef& field, std::int64_t value) {
    switch (field.type) {
    case 'N': case 'F': {
        if (field.decimals > 0) {
            return formatNumber(field, static_cast<double>(value));
        }
        return rightAligned(field, std::to_string(value));
    }
    case 'I': case '+':
        if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
            refuse(field, "the number " + std::to_string(value) + " does not fit a 32-bit integer");
        }
        return encodeLong(static_cast<std::int32_t>(value));
    case 'O':
        return encodeDouble(static_cast<double>(value));
    case 'C': {
        std::string s = std::to_string(value);
        if (s.size() > field.length) {
            refuse(field, "the number " + s + " is longer than the field");
        }
        return s + std::string(field.length - s.size(), ' ');
    }
    default:
        refuse(field, "cannot hold a number");
    }
}

std::string fromBoolean(const FieldDef& field, bool value) {
    if (field.type == 'L') {
        return value ? "T" : "F";
    }
    refuse(field, "is not a logical field");
}

std::uint32_t memoBlock(const FieldDef& field, std::string_view raw) {
    std::string_view s = trim(raw);
    if (field.length == 4 && raw.size() == 4 && !s.empty() && (s.front() < '0' || s.front() > '9')) {
        // A binary pointer as some writers keep it in 4-byte memo fields.
        return static_cast<std::uint32_t>(static_cast<unsigned char>(raw[0])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(raw[1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(raw[2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(raw[3])) << 24;
    }
    std::uint32_t block = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), block);
    if (ec != std::errc() || p != s.data() + s.size()) {
        return 0;
    }
    return block;
}

std::string memoPointer(const FieldDef& field, std::uint32_t block) {
    if (block == 0) {
        return blank(field);
    }
    std::string digits = std::to_string(block);
    if (digits.size() > field.length) {
        refuse(field, "the memo file has grown past what the field can point to");
    }
    return std::string(field.length - digits.size(), ' ') + digits;
}

} // namespace talvern::dbf::FieldCodec

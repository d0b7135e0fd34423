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
    // Most of a wide text field is often blanks: skipped eight at a time, every record read goes through here.
    while (s.size() >= 8 && std::memcmp(s.data() + s.size() - 8, "        ", 8) == 0) {
        s.remove_suffix(8);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

// what is the English text for logs and the table tool; operatorText the same refusal in Polish for the
// operator's message box.
[[noreturn]] void refuse(const FieldDef& field, const std::string& what, const std::string& operatorText) {
    throw DbfError("Field " + field.name + ": " + what, operatorText);
}

// A value quoted for a Polish message.
std::string quoted(std::string_view s) { return "„" + std::string(s) + "”"; }

std::string englishCharacters(std::size_t n) { return std::to_string(n) + (n == 1 ? " character" : " characters"); }

// "1 znak", "3 znaki", "12 znaków", "22 znaki": the Polish noun agrees with the number.
std::string polishCharacters(std::size_t n) {
    const std::size_t lastTwo = n % 100;
    const std::size_t last = n % 10;
    const bool few = last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14);
    const char* noun = n == 1 ? "znak" : few ? "znaki" : "znaków";
    return std::to_string(n) + " " + noun;
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

// Timestamps are a plain big-endian IEEE double (no sign flip, unlike O: a timestamp is never negative) of
// milliseconds counted so that 0001-01-01 00:00:00 is 86,400,000, one day's worth: that day is day 1.
// All-zero bytes hold no value.
constexpr long long kMsPerDay = 86400000;

double decodeTimestamp(std::string_view raw) {
    std::uint64_t v = be64(raw);
    if (v & 0x8000000000000000ull) {
        // No timestamp is negative. A set sign bit is this program's own older writing, which flipped the sign
        // as for O: read it so, and the next write of the field stores it the standard way.
        return decodeDouble(raw);
    }
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

std::string encodeTimestamp(long long ms) {
    const double d = static_cast<double>(ms); // exact: every millisecond up to year 9999 fits 53 bits
    std::uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    return putBe(v, 8);
}

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

// The span a timestamp can show: 0001-01-01 00:00:00.000 to 9999-12-31 23:59:59.999.
const long long kFirstMs = kMsPerDay;
const long long kLastMs = (daysFromCivil(9999, 12, 31) - kDay1 + 1) * kMsPerDay - 1;

// YYYY-MM-DD HH:MM:SS.mmm, always with the milliseconds, so that text read out writes back the same bytes.
// "" for a value outside the span (or not a number), which no writer stores.
std::string formatTimestamp(double ms) {
    if (!std::isfinite(ms) || ms < static_cast<double>(kFirstMs) - 0.5 || ms > static_cast<double>(kLastMs) + 0.5) {
        return "";
    }
    const long long total = std::llround(ms);
    const long days = static_cast<long>(total / kMsPerDay);
    const long long rest = total % kMsPerDay;
    long y;
    unsigned m, d;
    civilFromDays(days + kDay1, y, m, d);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04ld-%02u-%02u %02lld:%02lld:%02lld.%03lld", y, m, d, rest / 3600000,
                  rest / 60000 % 60, rest / 1000 % 60, rest % 1000);
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

// Exactly `count` decimal digits at s[pos...]; their value in out.
bool digitsAt(std::string_view s, std::size_t pos, std::size_t count, unsigned& out) {
    if (pos + count > s.size()) {
        return false;
    }
    out = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
        out = out * 10 + static_cast<unsigned>(s[i] - '0');
    }
    return true;
}

// YYYY-MM-DD, optionally followed (after a blank or a T) by HH:MM, HH:MM:SS or HH:MM:SS.f with one to three
// digits of the second's fraction. The result counts milliseconds as the timestamp field stores them.
bool parseTimestamp(std::string_view s, long long& ms) {
    long y;
    unsigned m, d;
    if (s.size() < 10 || !parseDate(s.substr(0, 10), y, m, d) || y < 1) {
        return false;
    }
    unsigned hh = 0, mm = 0, ss = 0, fraction = 0;
    if (s.size() > 10) {
        if ((s[10] != ' ' && s[10] != 'T') || !digitsAt(s, 11, 2, hh) || s.size() < 16 || s[13] != ':' ||
            !digitsAt(s, 14, 2, mm)) {
            return false;
        }
        std::size_t pos = 16;
        if (pos < s.size()) {
            if (s[pos] != ':' || !digitsAt(s, pos + 1, 2, ss)) {
                return false;
            }
            pos += 3;
        }
        if (pos < s.size()) {
            const std::size_t digits = s.size() - pos - 1;
            if (s[pos] != '.' || digits < 1 || digits > 3 || !digitsAt(s, pos + 1, digits, fraction)) {
                return false;
            }
            for (std::size_t i = digits; i < 3; ++i) {
                fraction *= 10;
            }
        }
        if (hh > 23 || mm > 59 || ss > 59) {
            return false;
        }
    }
    const long long day = daysFromCivil(y, m, d) - kDay1;
    ms = day * kMsPerDay + ((hh * 60LL + mm) * 60LL + ss) * 1000LL + fraction;
    return true;
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
        refuse(field,
               "the number " + digits + " is wider than the field (" + englishCharacters(field.length) + ")",
               "Liczba " + digits + " nie mieści się w polu " + field.name + " (pole ma " +
                   polishCharacters(field.length) + ").");
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
        return raw.size() >= 8 ? formatTimestamp(decodeTimestamp(raw)) : "";
    default:
        return codePage.toUtf8(trimRight(raw));
    }
}

std::string_view textBytes(std::string_view raw) {
    return trimRight(raw);
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
            refuse(field, "the value does not fit a whole number",
                   "Wartość pola " + field.name + " nie mieści się w zakresie liczb całkowitych.");
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
        refuse(field, "\"" + codePage.toUtf8(s) + "\" is not a whole number",
               "Wartość " + quoted(codePage.toUtf8(s)) + " w polu " + field.name + " nie jest liczbą całkowitą.");
    }
    default:
        refuse(field, "does not hold a number", "Pole " + field.name + " nie zawiera liczby.");
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
        refuse(field, "\"" + s + "\" is not a logical value",
               "Wartość " + quoted(s) + " w polu " + field.name + " nie jest wartością logiczną.");
    }
    refuse(field, "does not hold a logical value", "Pole " + field.name + " nie zawiera wartości logicznej.");
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
            refuse(field, "the text is longer than the field (" + englishCharacters(field.length) + ")",
                   "Tekst w polu " + field.name + " jest za długi: pole mieści najwyżej " +
                       polishCharacters(field.length) + ".");
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
            refuse(field, "\"" + std::string(t) + "\" is not a valid number",
                   "Wartość " + quoted(t) + " w polu " + field.name + " nie jest poprawną liczbą.");
        }
        if (field.decimals == 0 && d != std::floor(d)) {
            refuse(field, "\"" + std::string(t) + "\" is not a whole number",
                   "Wartość " + quoted(t) + " w polu " + field.name + " nie jest liczbą całkowitą.");
        }
        return formatNumber(field, d);
    }
    case 'I': case '+': case 'O': {
        std::int64_t whole;
        if (parseWhole(t, whole)) {
            return fromInteger(field, whole);
        }
        double d;
        if (field.type == 'O') {
            if (parseDecimal(t, d)) {
                return encodeDouble(d);
            }
            refuse(field, "\"" + std::string(t) + "\" is not a valid number",
                   "Wartość " + quoted(t) + " w polu " + field.name + " nie jest poprawną liczbą.");
        }
        refuse(field, "\"" + std::string(t) + "\" is not a whole number",
               "Wartość " + quoted(t) + " w polu " + field.name + " nie jest liczbą całkowitą.");
    }
    case 'L':
        if (t == "True" || t == "true" || t == "T" || t == "t" || t == "Y" || t == "y") {
            return "T";
        }
        if (t == "False" || t == "false" || t == "F" || t == "f" || t == "N" || t == "n") {
            return "F";
        }
        refuse(field, "\"" + std::string(t) + "\" is not a logical value",
               "Wartość " + quoted(t) + " w polu " + field.name + " nie jest wartością logiczną.");
    case 'D': {
        long y;
        unsigned m, d;
        if (!parseDate(t, y, m, d)) {
            refuse(field, "\"" + std::string(t) + "\" is not a date (YYYY-MM-DD)",
                   "Wartość " + quoted(t) + " w polu " + field.name + " nie jest datą (RRRR-MM-DD).");
        }
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04ld%02u%02u", y, m, d);
        return buf;
    }
    case '@': {
        long long ms;
        if (!parseTimestamp(t, ms)) {
            refuse(field, "\"" + std::string(t) + "\" is not a time stamp (YYYY-MM-DD HH:MM:SS.mmm)",
                   "Wartość " + quoted(t) + " w polu " + field.name +
                       " nie jest datą z godziną (RRRR-MM-DD GG:MM:SS.mmm).");
        }
        return encodeTimestamp(ms);
    }
    default:
        refuse(field, "this kind of field cannot be written",
               "Pola " + field.name + " (typ " + std::string(1, field.type) + ") nie można zapisać.");
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
            refuse(field, "the number " + std::to_string(value) + " does not fit a 32-bit integer",
                   "Liczba " + std::to_string(value) + " wykracza poza zakres pola " + field.name + ".");
        }
        return encodeLong(static_cast<std::int32_t>(value));
    case 'O':
        return encodeDouble(static_cast<double>(value));
    case 'C': {
        std::string s = std::to_string(value);
        if (s.size() > field.length) {
            refuse(field, "the number " + s + " is longer than the field",
                   "Liczba " + s + " nie mieści się w polu " + field.name + " (pole ma " +
                       polishCharacters(field.length) + ").");
        }
        return s + std::string(field.length - s.size(), ' ');
    }
    default:
        refuse(field, "cannot hold a number", "Pole " + field.name + " nie może zawierać liczby.");
    }
}

std::string fromBoolean(const FieldDef& field, bool value) {
    if (field.type == 'L') {
        return value ? "T" : "F";
    }
    refuse(field, "is not a logical field", "Pole " + field.name + " nie jest polem logicznym.");
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
        refuse(field, "the memo file has grown past what the field can point to",
               "Plik notatek jest zbyt duży: pole " + field.name + " nie może wskazać nowej notatki.");
    }
    return std::string(field.length - digits.size(), ' ') + digits;
}

} // namespace talvern::dbf::FieldCodec

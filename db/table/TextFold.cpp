#include "TextFold.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace talvern::db {
namespace {

locale_t utf8Locale() {
    static locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return locale;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string foldCase(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        if (len == 0 || i + len > s.size()) {
            out += s[i++];
            continue;
        }
        char32_t c = len == 1 ? b : b & (0xFF >> (len + 1));
        bool valid = true;
        for (std::size_t k = 1; k < len; ++k) {
            auto cont = static_cast<unsigned char>(s[i + k]);
            valid = valid && (cont & 0xC0) == 0x80;
            c = c << 6 | (cont & 0x3F);
        }
        if (!valid) {
            out += s[i++];
            continue;
        }
        appendUtf8(out, static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8Locale())));
        i += len;
    }
    return out;
}

} // namespace talvern::db

#include "Utf8Letters.h"

namespace talvern::db {

Utf8Letter readUtf8Letter(std::string_view s, std::size_t at) {
    if (at >= s.size()) {
        return {};
    }
    const auto lead = static_cast<unsigned char>(s[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > s.size()) {
        return {};
    }
    char32_t code = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(s[at + k]);
        if ((next & 0xC0) != 0x80) {
            return {};
        }
        code = code << 6 | (next & 0x3F);
    }
    return {code, length};
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

std::string foldLetters(std::string_view s, char32_t (*fold)(char32_t)) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const Utf8Letter letter = readUtf8Letter(s, i);
        if (letter.length == 0) {
            out += s[i++];
            continue;
        }
        appendUtf8(out, fold(letter.code));
        i += letter.length;
    }
    return out;
}

} // namespace talvern::db

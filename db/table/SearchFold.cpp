#include "SearchFold.h"

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

// Lower-case letters with marks, as the Latin-1 and Latin Extended-A blocks hold them (all that
// Windows-1250 can carry, and the Western letters a site brought from elsewhere may have), and the letter
// each stands for. "ł" has no decomposition in Unicode, so normalising text would keep it; a table of
// our own folds it with the rest.
struct Folding {
    char32_t letter;
    char base;
};
constexpr Folding kFoldings[] = {
    {U'à', 'a'}, {U'á', 'a'}, {U'â', 'a'}, {U'ã', 'a'}, {U'ä', 'a'}, {U'å', 'a'}, {U'ă', 'a'}, {U'ą', 'a'},
    {U'ā', 'a'}, {U'ç', 'c'}, {U'ć', 'c'}, {U'č', 'c'}, {U'ĉ', 'c'}, {U'ċ', 'c'}, {U'ď', 'd'}, {U'đ', 'd'},
    {U'è', 'e'}, {U'é', 'e'}, {U'ê', 'e'}, {U'ë', 'e'}, {U'ę', 'e'}, {U'ě', 'e'}, {U'ē', 'e'}, {U'ė', 'e'},
    {U'ĝ', 'g'}, {U'ğ', 'g'}, {U'ġ', 'g'}, {U'ģ', 'g'}, {U'ĥ', 'h'}, {U'ħ', 'h'}, {U'ì', 'i'}, {U'í', 'i'},
    {U'î', 'i'}, {U'ï', 'i'}, {U'ī', 'i'}, {U'į', 'i'}, {U'ı', 'i'}, {U'ĵ', 'j'}, {U'ķ', 'k'}, {U'ĺ', 'l'},
    {U'ļ', 'l'}, {U'ľ', 'l'}, {U'ŀ', 'l'}, {U'ł', 'l'}, {U'ñ', 'n'}, {U'ń', 'n'}, {U'ņ', 'n'}, {U'ň', 'n'},
    {U'ò', 'o'}, {U'ó', 'o'}, {U'ô', 'o'}, {U'õ', 'o'}, {U'ö', 'o'}, {U'ø', 'o'}, {U'ō', 'o'}, {U'ő', 'o'},
    {U'ŕ', 'r'}, {U'ř', 'r'}, {U'ŗ', 'r'}, {U'ś', 's'}, {U'š', 's'}, {U'ş', 's'}, {U'ŝ', 's'}, {U'ţ', 't'},
    {U'ť', 't'}, {U'ŧ', 't'}, {U'ù', 'u'}, {U'ú', 'u'}, {U'û', 'u'}, {U'ü', 'u'}, {U'ů', 'u'}, {U'ű', 'u'},
    {U'ū', 'u'}, {U'ų', 'u'}, {U'ý', 'y'}, {U'ÿ', 'y'}, {U'ŷ', 'y'}, {U'ź', 'z'}, {U'ż', 'z'}, {U'ž', 'z'},
};

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

char32_t foldLetterForSearch(char32_t c) {
    if (c < 0x80) {
        return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    }
    const auto lower = static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8Locale()));
    for (const Folding& folding : kFoldings) {
        if (folding.letter == lower) {
            return static_cast<char32_t>(folding.base);
        }
    }
    return lower;
}

std::string foldForSearch(std::string_view s) {
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
        appendUtf8(out, foldLetterForSearch(c));
        i += len;
    }
    return out;
}

} // namespace talvern::db

#include "TextFold.h"

#include "Utf8Letters.h"

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

} // namespace

char32_t foldLetterCase(char32_t c) {
    // Plain ASCII, most of every name, without asking the locale: it lowers just A to Z there too.
    if (c < 0x80) {
        return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    }
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8Locale()));
}

std::string foldCase(std::string_view s) {
    return foldLetters(s, foldLetterCase);
}

} // namespace talvern::db

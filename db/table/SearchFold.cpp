#include "SearchFold.h"

#include "TextFold.h"
#include "Utf8Letters.h"

namespace talvern::db {
namespace {

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

} // namespace

char32_t foldLetterForSearch(char32_t c) {
    const char32_t lower = foldLetterCase(c);
    if (lower < 0x80) {
        return lower;
    }
    for (const Folding& folding : kFoldings) {
        if (folding.letter == lower) {
            return static_cast<char32_t>(folding.base);
        }
    }
    return lower;
}

std::string foldForSearch(std::string_view s) { return foldLetters(s, foldLetterForSearch); }

} // namespace talvern::db

#pragma once

#include <string>
#include <string_view>

namespace talvern::db {

// Folds text for searching by people's names: lower case as foldCase folds it, and Latin letters without
// their marks, so that "lukasiewicz" finds "Łukasiewicz" and "ZOLW" finds "żółw". Every letter the tables'
// Windows-1250 code page holds folds to one letter ("ß" stays "ß"), so folded text keeps its length in
// letters. Invalid UTF-8 bytes are kept as they are.
std::string foldForSearch(std::string_view utf8);

// One character folded as foldForSearch folds it.
char32_t foldLetterForSearch(char32_t c);

} // namespace talvern::db

#pragma once

#include <string>
#include <string_view>

namespace talvern::db {

// Folds UTF-8 text to lower case, letter by letter (Polish letters included), for comparisons that ignore
// letter case. Invalid bytes are kept as they are.
std::string foldCase(std::string_view utf8);

// One letter in lower case, as foldCase folds it.
char32_t foldLetterCase(char32_t c);

} // namespace talvern::db

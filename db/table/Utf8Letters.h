#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace talvern::db {

// One letter of UTF-8 text: its code point and the bytes it takes. A length of 0 means the bytes at that
// place start no letter (a stray continuation byte, a sequence cut off or broken).
struct Utf8Letter {
    char32_t code = 0;
    std::size_t length = 0;
};

// The letter that starts at byte `at` of utf8.
Utf8Letter readUtf8Letter(std::string_view utf8, std::size_t at);

// Appends one code point to out as UTF-8.
void appendUtf8(std::string& out, char32_t code);

// The text with every letter replaced by what fold makes of it. Bytes that start no letter are kept as
// they are, so text from a damaged record still folds and compares byte for byte there.
std::string foldLetters(std::string_view utf8, char32_t (*fold)(char32_t));

} // namespace talvern::db

#pragma once
// Conversion between the single-byte Windows-1250 text of the settings file and the UTF-8 text
// the program works with. Strict both ways: a byte with no character, or a character with no
// byte, is reported instead of being replaced, so nothing is silently altered.

#include <cstddef>
#include <optional>
#include <string>

namespace talvern::settings {

struct DecodeFailure {
    std::size_t offset; // offset of the first byte that has no character in Windows-1250
};

// Windows-1250 bytes to UTF-8. Returns the text, or where decoding stopped.
std::optional<std::string> cp1250ToUtf8(const std::string& bytes, DecodeFailure* failure = nullptr);

// UTF-8 to Windows-1250 bytes; nullopt when the text holds a character Windows-1250 lacks
// (or is not valid UTF-8).
std::optional<std::string> utf8ToCp1250(const std::string& text);

} // namespace talvern::settings

#pragma once
// Conversion between the text of the settings file and the UTF-8 text the program works with: the
// single-byte Windows-1250 text of a REGEDIT4 export, and the UTF-16 little-endian text of a
// "Windows Registry Editor Version 5.00" export. Strict both ways: a byte with no character, or a
// character with no byte, is reported instead of being replaced, so nothing is silently altered.

#include <cstddef>
#include <optional>
#include <string>

namespace talvern::settings {

struct DecodeFailure {
    std::size_t offset; // offset of the first byte that does not decode
};

// Windows-1250 bytes to UTF-8. Returns the text, or where decoding stopped.
std::optional<std::string> cp1250ToUtf8(const std::string& bytes, DecodeFailure* failure = nullptr);

// UTF-8 to Windows-1250 bytes; nullopt when the text holds a character Windows-1250 lacks
// (or is not valid UTF-8).
std::optional<std::string> utf8ToCp1250(const std::string& text);

// UTF-16LE bytes (no byte-order mark) to UTF-8. An odd byte at the end or a lone surrogate fails.
std::optional<std::string> utf16leToUtf8(const std::string& bytes, DecodeFailure* failure = nullptr);

// UTF-8 to UTF-16LE bytes (no byte-order mark); nullopt when the text is not valid UTF-8.
std::optional<std::string> utf8ToUtf16le(const std::string& text);

} // namespace talvern::settings

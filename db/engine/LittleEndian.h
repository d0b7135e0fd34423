#pragma once
// dBASE headers keep their counts and lengths least significant byte first, whatever the machine.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvern::dbf::littleEndian {

inline std::uint16_t get16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

inline std::uint32_t get32(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(get16(b, at)) | static_cast<std::uint32_t>(get16(b, at + 2)) << 16;
}

inline void put16(std::string& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

inline void put32(std::string& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

} // namespace talvern::dbf::littleEndian

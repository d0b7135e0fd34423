#include "CardAccessHex.h"

#include <cstdint>

namespace talvern::journal::CardAccessHex {
namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

} // namespace

std::string fromBits(const std::bitset<96>& readers) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (int byte = 0; byte < 12; ++byte) {
        unsigned value = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (readers[static_cast<std::size_t>(byte * 8 + bit)]) {
                value |= 0x80u >> bit;
            }
        }
        out += digits[value >> 4];
        out += digits[value & 15];
    }
    return out;
}

std::optional<std::bitset<96>> toBits(std::string_view text) {
    if (text.size() != 24) {
        return std::nullopt;
    }
    // Readers 1-64 and 65-96 gathered in two words and set at once: every journal row read goes through
    // here, and a bit at a time cost more than reading the row.
    std::uint64_t words[2] = {0, 0};
    for (int byte = 0; byte < 12; ++byte) {
        const int high = digitValue(text[static_cast<std::size_t>(2 * byte)]);
        const int low = digitValue(text[static_cast<std::size_t>(2 * byte + 1)]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        // Byte k's top bit stands for reader 8k+1, the lowest bit of its eight in the set: the byte's bits
        // reversed, a digit at a time.
        static constexpr std::uint8_t kReversed[16] = {0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE,
                                                       0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF};
        const std::uint64_t reversed = static_cast<std::uint64_t>(kReversed[low] << 4 | kReversed[high]);
        words[byte / 8] |= reversed << (8 * (byte % 8));
    }
    return (std::bitset<96>(words[1]) << 64) | std::bitset<96>(words[0]);
}

std::vector<int> readers(std::string_view text) {
    std::vector<int> out;
    if (const auto bits = toBits(text)) {
        for (int r = 1; r <= 96; ++r) {
            if ((*bits)[static_cast<std::size_t>(r - 1)]) {
                out.push_back(r);
            }
        }
    }
    return out;
}

std::string fromReaders(const std::vector<int>& readers) {
    std::bitset<96> bits;
    for (int r : readers) {
        if (r >= 1 && r <= 96) {
            bits[static_cast<std::size_t>(r - 1)] = true;
        }
    }
    return fromBits(bits);
}

} // namespace talvern::journal::CardAccessHex

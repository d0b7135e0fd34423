#include "CardAccessHex.h"

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
    std::bitset<96> bits;
    for (int byte = 0; byte < 12; ++byte) {
        const int high = digitValue(text[static_cast<std::size_t>(2 * byte)]);
        const int low = digitValue(text[static_cast<std::size_t>(2 * byte + 1)]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        const unsigned value = static_cast<unsigned>(high * 16 + low);
        for (int bit = 0; bit < 8; ++bit) {
            bits[static_cast<std::size_t>(byte * 8 + bit)] = (value & (0x80u >> bit)) != 0;
        }
    }
    return bits;
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

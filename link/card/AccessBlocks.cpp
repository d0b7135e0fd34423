#include "card/AccessBlocks.h"

namespace talvern::card {

std::uint8_t checkByte(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
    return static_cast<std::uint8_t>(b0 ^ b1 ^ b2 ^ 0xA5);
}

Block checkedBlock(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
    return {b0, b1, b2, checkByte(b0, b1, b2)};
}

std::array<std::uint8_t, 12> accessBytes(const ReaderAccess& access) {
    std::array<std::uint8_t, 12> bytes{};
    for (std::size_t reader = 0; reader < 96; ++reader) {
        if (access.test(reader)) {
            bytes[reader / 8] |= static_cast<std::uint8_t>(0x80 >> (reader % 8));
        }
    }
    return bytes;
}

AccessBlocks accessBlocks(const ReaderAccess& access) {
    const auto bytes = accessBytes(access);
    AccessBlocks blocks{};
    for (std::size_t b = 0; b < 4; ++b) {
        const Block block = checkedBlock(bytes[3 * b], bytes[3 * b + 1], bytes[3 * b + 2]);
        for (std::size_t i = 0; i < 4; ++i) {
            blocks[4 * b + i] = block[i];
        }
    }
    return blocks;
}

AccessBlocks noAccessBlocks() {
    return accessBlocks(ReaderAccess{});
}

} // namespace talvern::card

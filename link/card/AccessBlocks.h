#pragma once
// Blocks 3 to 6 of a user card: the access bits of readers 1 to 96, three bytes per block, each
// block closed by its check byte.

#include "card/Frame.h"

#include <array>
#include <bitset>
#include <cstdint>

namespace talvern::card {

// The contents of blocks 3, 4, 5 and 6, in order.
using AccessBlocks = std::array<std::uint8_t, 16>;

// Reader d (1..96) is bit d-1: access byte (d-1)/8, reader 8k+1 in bit 7 down to 8k+8 in bit 0.
using ReaderAccess = std::bitset<96>;

// XOR of the block's first three bytes and 0xA5.
std::uint8_t checkByte(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2);
Block checkedBlock(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2);

std::array<std::uint8_t, 12> accessBytes(const ReaderAccess& access);
AccessBlocks accessBlocks(const ReaderAccess& access);

// Every access byte 0, every check byte 0xA5: a card that opens no reader.
AccessBlocks noAccessBlocks();

} // namespace talvern::card

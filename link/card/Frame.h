#pragma once
// Programmer frames: 0x5A, L, command, parameters, checksum. L counts the bytes before the checksum
// (start byte, L itself, command and parameters); the checksum is the XOR of those L bytes.

#include "card/CardKey.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace talvern::card {

using Bytes = std::vector<std::uint8_t>;
using Block = std::array<std::uint8_t, 4>;

inline constexpr std::uint8_t kFrameStart = 0x5A;
inline constexpr std::uint8_t kWriteBlockCommand = 0x02;
inline constexpr std::uint8_t kConnectCommand = 0x07;
inline constexpr std::uint8_t kReadCardCommand = 0x08;
inline constexpr std::uint8_t kDisconnectCommand = 0x09;
// The fixed byte between the key and the data of a write-block frame; its meaning is the programmer's.
inline constexpr std::uint8_t kWriteBlockMarker = 0x4C;
inline constexpr std::size_t kWriteBlockFrameSize = 14;

// XOR of every byte.
std::uint8_t frameChecksum(const Bytes& frame);

// The frame with its checksum appended.
Bytes AppendChecksum(Bytes frame);

// The three parameterless frames, checksum included: 5A 03 07 5E, 5A 03 08 51, 5A 03 09 50.
Bytes connectFrame();
Bytes readCardFrame();
Bytes disconnectFrame();

// 5A 0D 02, key, 4C, the four data bytes, block number (1..6), checksum: 14 bytes.
Bytes writeBlockFrame(const CardKey& key, const Block& data, std::uint8_t blockNumber);

// Each byte as one blank and two upper-case hex digits, as the link trace holds it: " 5A 03 07 5E".
std::string traceText(const Bytes& frame);

} // namespace talvern::card

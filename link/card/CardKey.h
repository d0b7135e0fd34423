#pragma once
// The card key: sent with every write-block frame, and the programmer stores a block only when the
// key matches. One value for every card the program writes; the simulated programmer checks against
// this same constant.

#include <array>
#include <cstdint>

namespace talvern::card {

using CardKey = std::array<std::uint8_t, 4>;

inline constexpr CardKey kCardKey{0x3A, 0x9C, 0x51, 0xE7};

} // namespace talvern::card

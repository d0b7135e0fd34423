#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvern::journal {

// The 96 access bits of a card as the journal keeps them: 24 upper-case hex digits, two per byte. Byte k
// (0..11) is digits 2k and 2k+1; reader r (1..96) is bit 0x80 >> ((r-1) % 8) of byte (r-1) / 8, the order
// in which the card carries them.
namespace CardAccessHex {

// Bit r-1 of the set is reader r.
std::string fromBits(const std::bitset<96>& readers);
// Empty when text is not 24 hex digits (either case accepted).
std::optional<std::bitset<96>> toBits(std::string_view text);
// The readers (1..96, ascending) whose bit is set; empty for text that is not 24 hex digits.
std::vector<int> readers(std::string_view text);
std::string fromReaders(const std::vector<int>& readers); // numbers outside 1..96 are ignored

} // namespace CardAccessHex
} // namespace talvern::journal

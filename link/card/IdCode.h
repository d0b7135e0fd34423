#pragma once
// The card identity (user number, system code, duplicate index) and its ID code in the EM4100
// 64-bit layout, as blocks 1 and 2 of every card carry it.

#include <array>
#include <cstdint>
#include <optional>

namespace talvern::card {

using Identity = std::array<std::uint8_t, 5>;
using IdCode = std::array<std::uint8_t, 8>;

inline constexpr std::uint32_t kMaxUserNumber = 0xFFFF;   // 16 bits on the card
inline constexpr std::uint32_t kMaxSystemCode = 0xFFFFF;  // 20 bits on the card
inline constexpr std::uint32_t kMaxDuplicateIndex = 0x0F; // 4 bits on the card

struct CardIdentity {
    std::uint32_t userNumber = 0;
    std::uint32_t systemCode = 0;
    std::uint32_t duplicateIndex = 0;

    friend bool operator==(const CardIdentity&, const CardIdentity&) = default;
};

// D0 D1 user number, D2 D3 system code bits 15..0, D4 system code bits 19..16 over the duplicate index.
// Throws CardRangeError when a value does not fit its field: a value that is cut to fit would put
// another user's number, or another system's code, on the card.
Identity identityBytes(const CardIdentity& identity);

// The inverse of identityBytes.
CardIdentity identityFromBytes(const Identity& bytes);

// Nine 1 bits, ten rows of a nibble and its even-parity bit, four column-parity bits, one 0 bit,
// most significant bit first.
IdCode EncodeIdCode(const Identity& identity);

// The identity carried by an ID code; nothing when the header, a row parity, the column parity or the
// stop bit is wrong.
std::optional<Identity> decodeIdCode(const IdCode& code);

} // namespace talvern::card

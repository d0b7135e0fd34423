#include "card/IdCode.h"

#include "card/CardErrors.h"

#include <bit>

namespace talvern::card {

Identity identityBytes(const CardIdentity& id) {
    if (id.userNumber > kMaxUserNumber) {
        throw CardRangeError(CardRangeError::Kind::UserNumber, id.userNumber);
    }
    if (id.systemCode > kMaxSystemCode) {
        throw CardRangeError(CardRangeError::Kind::SystemCode, id.systemCode);
    }
    if (id.duplicateIndex > kMaxDuplicateIndex) {
        throw CardRangeError(CardRangeError::Kind::DuplicateIndex, id.duplicateIndex);
    }
    return {static_cast<std::uint8_t>(id.userNumber >> 8), static_cast<std::uint8_t>(id.userNumber),
            static_cast<std::uint8_t>(id.systemCode >> 8), static_cast<std::uint8_t>(id.systemCode),
            static_cast<std::uint8_t>(((id.systemCode >> 16) << 4) | id.duplicateIndex)};
}

CardIdentity identityFromBytes(const Identity& d) {
    CardIdentity id;
    id.userNumber = d[0] * 256u + d[1];
    id.systemCode = d[2] * 256u + d[3] + (static_cast<std::uint32_t>(d[4] >> 4) << 16);
    id.duplicateIndex = d[4] & 0x0Fu;
    return id;
}

namespace {
std::uint8_t nibble(const Identity& id, int i) {
    const std::uint8_t byte = id[static_cast<std::size_t>(i / 2)];
    return i % 2 == 0 ? byte >> 4 : byte & 0x0F;
}
std::uint8_t parity(std::uint8_t value) {
    return std::popcount(value) & 1;
}
} // namespace

IdCode EncodeIdCode(const Identity& identity) {
    std::uint64_t stream = 0x1FF; // the nine header bits
    std::uint8_t columns = 0;
    for (int i = 0; i < 10; ++i) {
        const std::uint8_t n = nibble(identity, i);
        stream = (stream << 5) | (static_cast<std::uint64_t>(n) << 1) | parity(n);
        columns ^= n;
    }
    stream = (stream << 4) | columns;
    stream <<= 1; // stop bit 0
    IdCode code{};
    for (int i = 0; i < 8; ++i) {
        code[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(stream >> (56 - 8 * i));
    }
    return code;
}

std::optional<Identity> decodeIdCode(const IdCode& code) {
    std::uint64_t stream = 0;
    for (std::uint8_t b : code) {
        stream = (stream << 8) | b;
    }
    if ((stream >> 55) != 0x1FF || (stream & 1) != 0) {
        return std::nullopt;
    }
    Identity identity{};
    std::uint8_t columns = 0;
    for (int i = 0; i < 10; ++i) {
        const auto row = static_cast<std::uint8_t>((stream >> (50 - 5 * i)) & 0x1F);
        const std::uint8_t n = row >> 1;
        if ((row & 1) != parity(n)) {
            return std::nullopt;
        }
        columns ^= n;
        auto& byte = identity[static_cast<std::size_t>(i / 2)];
        byte = static_cast<std::uint8_t>(i % 2 == 0 ? n << 4 : byte | n);
    }
    if (((stream >> 1) & 0x0F) != columns) {
        return std::nullopt;
    }
    return identity;
}

} // namespace talvern::card

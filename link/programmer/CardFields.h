#pragma once
// Values read from the tables before they go onto a card: a value that does not fit its field is
// refused (card::CardRangeError), never cut to fit.

#include "card/CardErrors.h"
#include "card/IdCode.h"

#include <cstdint>

namespace talvern::link {

inline std::uint32_t fitting(std::int64_t value, card::CardRangeError::Kind kind) {
    using Kind = card::CardRangeError::Kind;
    const std::int64_t max = kind == Kind::UserNumber       ? card::kMaxUserNumber
                             : kind == Kind::DuplicateIndex ? card::kMaxDuplicateIndex
                             : kind == Kind::SystemCode     ? card::kMaxSystemCode
                             : kind == Kind::RelayTime      ? 255
                                                            : 96;
    if (value < 0 || value > max) {
        throw card::CardRangeError(kind, value);
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace talvern::link

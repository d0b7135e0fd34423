#pragma once
// The programmer's raw answer to the read-card command: the five identity bytes of the card, with
// no start byte, length or checksum. Only the first five received bytes count.

#include "card/Frame.h"
#include "card/IdCode.h"

#include <cstdint>

namespace talvern::card {

struct CardAnswer {
    enum class Kind {
        NoAnswer,    // fewer than five bytes: nothing is shown
        OtherSystem, // no card, or a card of another system
        ThisSystem,  // a card of this system: look its user up
    };
    Kind kind = Kind::NoAnswer;
    CardIdentity identity; // valid unless kind is NoAnswer

    // A card of this system whose user number is 0 is a configuration card.
    bool isConfigurationCard() const { return kind == Kind::ThisSystem && identity.userNumber == 0; }
};

CardAnswer evaluateCardAnswer(const Bytes& received, std::uint32_t systemCode);

} // namespace talvern::card

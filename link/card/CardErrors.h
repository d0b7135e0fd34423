#pragma once
// A value that does not fit its field on a card. Raised before anything is sent, so a refused card is
// never half-written; what() is the operator's message (Polish, UTF-8).

#include <cstdint>
#include <stdexcept>

namespace talvern::card {

class CardRangeError : public std::runtime_error {
public:
    enum class Kind {
        UserNumber,     // above 65535: the card's user number has 16 bits
        SystemCode,     // above 1048575: the card's system code has 20 bits
        DuplicateIndex, // above 15: the card's duplicate index has 4 bits
        NoReader,       // no current reader to configure
        ReaderNumber,   // outside 1..96
        RelayTime,      // outside 0..255: one byte on the card
    };

    CardRangeError(Kind kind, std::int64_t value);

    Kind kind() const { return m_kind; }
    std::int64_t value() const { return m_value; }

private:
    Kind m_kind;
    std::int64_t m_value;
};

} // namespace talvern::card

#pragma once
// Blocks 3 to 6 of a reader-configuration card: the system code the reader adopts, where the reader
// finds its own access bit on user cards, its relay time and its options. Blocks 1 and 2 carry the ID
// code of user number 0, which is how a configuration card is told from a user card.

#include "card/AccessBlocks.h"

#include <cstdint>

namespace talvern::card {

struct ReaderPosition {
    std::uint8_t block = 0;     // 3..6
    std::uint8_t byteIndex = 0; // 1..3 within the block
    std::uint8_t mask = 0;      // the reader's bit within that byte

    friend bool operator==(const ReaderPosition&, const ReaderPosition&) = default;
};

struct ReaderOptions {
    bool prox = false;        // additional informing in standard PROX
    bool emulation = false;   // the user's ID echoed on the reader's COM port
    bool clearMemory = false; // clear the reader's memory of lost cards
};

inline constexpr int kMaxReaderNumber = 96;

// Throws CardRangeError for a reader number outside 1..96.
ReaderPosition readerPosition(std::int64_t reader);

// Block 3: system code bits 15..8, 7..0, bits 19..16 in the high nibble, check byte.
Block systemBlock(std::uint32_t systemCode);
// Block 4.
Block readerPositionBlock(std::int64_t reader);
// Block 5: relay time, options byte, 0, check byte. Throws CardRangeError for a relay time outside 0..255.
Block optionsBlock(std::int64_t relayTimeSeconds, const ReaderOptions& options);
std::uint8_t optionsByte(const ReaderOptions& options);

// Blocks 3..6 in order; block 6 is four zero bytes. Every value is checked before any block is built.
AccessBlocks configurationBlocks(std::uint32_t systemCode, std::int64_t reader, std::int64_t relayTimeSeconds,
                                 const ReaderOptions& options);

} // namespace talvern::card

#pragma once
// The card programmer's behaviour, without any line: it holds one card of six 4-byte blocks (or
// none) and answers frames.
//
// Answers (documented for the program's tests and for anyone reading a log):
//   connect (07), disconnect (09)  -> 06
//   write-block (02)               -> 06 when the block was stored; 15 when it was refused (no card,
//                                     wrong key, wrong marker byte, block number outside 1..6, wrong
//                                     length)
//   read-card (08)                 -> the card's five identity bytes, decoded from blocks 1 and 2;
//                                     15 alone when there is no card or its ID code does not decode
//   any other command              -> no answer
// Not thread-safe: the pty simulator serialises access.

#include "card/CardKey.h"
#include "card/CardWrite.h"
#include "card/Frame.h"

#include <optional>
#include <string>

namespace talvern::progsim {

using card::Bytes;
using card::CardImage;

inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;

class VirtualProgrammer {
public:
    struct Reply {
        Bytes answer;
        std::string note; // what happened, for the log
    };

    explicit VirtualProgrammer(card::CardKey key = card::kCardKey) : m_key(key) {}

    // frame: a whole frame whose checksum has been checked.
    Reply handle(const Bytes& frame);

    void placeCard(const CardImage& image) { m_card = image; }
    void placeBlankCard() { m_card = CardImage{}; }
    void removeCard() { m_card.reset(); }
    const std::optional<CardImage>& card() const { return m_card; }
    // A fault for trying what a moved card does: the next write of this block (1..6) is acknowledged
    // as usual but not stored. Once only.
    void dropNextWriteOf(std::uint8_t block) { m_dropBlock = block; }

private:
    Reply writeBlock(const Bytes& frame);
    Reply readCard() const;

    card::CardKey m_key;
    std::optional<CardImage> m_card;
    std::optional<std::uint8_t> m_dropBlock;
};

// A readable account of a card: its blocks, and the identity and readers it carries.
std::string describeCard(const std::optional<CardImage>& card);

} // namespace talvern::progsim

#pragma once
// The card-write sequence as data: six write-block frames, the pause after each and the transfer
// gauge's value after that pause. The programmer link sends the steps; the pure plan keeps the bytes
// and the pacing checkable on their own.

#include "card/AccessBlocks.h"
#include "card/CardKey.h"
#include "card/Frame.h"
#include "card/IdCode.h"

#include <array>
#include <chrono>

namespace talvern::card {

using CardImage = std::array<Block, 6>; // blocks 1..6

struct WriteStep {
    Bytes frame;
    std::chrono::milliseconds pause;
    int gaugeAfter;
};

inline constexpr int kGaugeAtStart = 10;
inline constexpr std::array<std::chrono::milliseconds, 6> kBlockPauses{
    std::chrono::milliseconds(150), std::chrono::milliseconds(150), std::chrono::milliseconds(200),
    std::chrono::milliseconds(200), std::chrono::milliseconds(200), std::chrono::milliseconds(200)};
inline constexpr std::array<int, 6> kGaugeAfterBlock{20, 30, 40, 50, 100, 0};

// Blocks 1 and 2 carry the ID code of the identity, blocks 3..6 the sixteen given bytes.
// Throws CardRangeError when the identity does not fit.
CardImage cardImage(const CardIdentity& identity, const AccessBlocks& blocks);

std::array<WriteStep, 6> planCardWrite(const CardIdentity& identity, const CardKey& key, const AccessBlocks& blocks);

} // namespace talvern::card

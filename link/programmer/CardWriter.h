#pragma once
// The one card-write sequence, used by "Program", "Delete withdrawal " and "Save to card": six
// write-block frames with the card key, each followed by its pause, and the transfer window's gauge
// moving 10, 20, 30, 40, 50, 100, 0.
//
// No answer is awaited. What the sequence does watch is the line itself: when the link is lost or a
// frame cannot be written while the card is being written, it stops there and tells the operator that
// the card was not written completely, instead of ending as if it had been.

#include "card/AccessBlocks.h"
#include "card/CardKey.h"

#include <QString>

#include <cstdint>

namespace talvern::link {

class ProgrammerLink;
struct CardWindows;

class CardWriter {
public:
    CardWriter(ProgrammerLink& link, CardWindows& windows) : m_link(link), m_windows(windows) {}

    // Returns true when all six frames went out on a live link. Throws card::CardRangeError, before
    // anything is sent or shown, when the identity does not fit the card.
    bool WriteCard(std::int64_t systemCode, std::int64_t userNumber, std::int64_t duplicateIndex,
                   const card::CardKey& key, const card::AccessBlocks& blocks);

private:
    ProgrammerLink& m_link;
    CardWindows& m_windows;
};

// The operator's message when a write broke off.
QString incompleteWriteText();
QString incompleteWriteTitle();

} // namespace talvern::link

#pragma once
// The one card-write sequence, used by "Program", "Delete withdrawal " and "Save to card": six
// write-block frames with the card key, each followed by its pause, and the transfer window's gauge
// moving 10, 20, 30, 40, 50, 100, 0.
//
// No answer to a block is awaited. What the sequence does watch is the line itself: when the link is
// lost or a frame cannot be written while the card is being written, it stops there and tells the
// operator that the card was not written completely, instead of ending as if it had been.
//
// With verification on, the written card is then read back with the read-card command and the five
// identity bytes compared with those written. The programmer reads the identity only: the access
// blocks cannot be read back through it. A card that does not read back as written never counts as
// written; the operator is asked to lay it flat on the programmer and may write it again, a bounded
// number of times.

#include "card/AccessBlocks.h"
#include "card/CardKey.h"
#include "card/IdCode.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace talvern::link {

class ProgrammerLink;
struct CardWindows;

enum class WriteOutcome {
    Verified,    // written and read back as written
    Unverified,  // written with verification off
    NotVerified, // read back wrong or not at all: not a card
    CutShort,    // the link was lost or a frame could not be written
};

// Whether the card counts as made.
inline bool counts(WriteOutcome outcome) {
    return outcome == WriteOutcome::Verified || outcome == WriteOutcome::Unverified;
}

class CardWriter {
public:
    CardWriter(ProgrammerLink& link, CardWindows& windows) : m_link(link), m_windows(windows) {}

    // Called with the outcome of every attempt, before the operator is told anything about it: the
    // card journal is written there.
    using AttemptRecorder = std::function<void(WriteOutcome)>;

    // Writes the card (and reads it back when verification is on), asking the operator to write it
    // again after a failed read-back, at most kMaxAttempts times in all. Throws card::CardRangeError,
    // before anything is sent or shown, when the identity does not fit the card.
    WriteOutcome writeCard(std::int64_t systemCode, std::int64_t userNumber, std::int64_t duplicateIndex,
                           const card::CardKey& key, const card::AccessBlocks& blocks,
                           const AttemptRecorder& record = {});

    // The same, true when the card counts as made.
    bool WriteCard(std::int64_t systemCode, std::int64_t userNumber, std::int64_t duplicateIndex,
                   const card::CardKey& key, const card::AccessBlocks& blocks) {
        return counts(writeCard(systemCode, userNumber, duplicateIndex, key, blocks));
    }

    static constexpr int kMaxAttempts = 3;

private:
    bool writeBlocks(const card::CardIdentity& identity, const card::CardKey& key, const card::AccessBlocks& blocks);
    bool readsBackAs(const card::CardIdentity& identity);

    ProgrammerLink& m_link;
    CardWindows& m_windows;
};

// The operator's message when a write broke off.
QString incompleteWriteText();
QString incompleteWriteTitle();
// The question after a card that did not read back as written, and the message once no more tries
// are offered.
QString notVerifiedQuestion();
QString notVerifiedText();
QString notVerifiedTitle();

} // namespace talvern::link

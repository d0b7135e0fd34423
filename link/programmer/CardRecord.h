#pragma once
// The card journal's side of the card operations: a row for every card written or attempted and for
// every lost card recorded, written to the disk before the operator hears how the write went.

#include "programmer/CardWriter.h"

#include "CardJournalRow.h"

namespace talvern::link {

struct CardWindows;

// The RESULT code of an outcome.
const char* journalResult(WriteOutcome outcome);

// Puts the operator mode into row and appends it to the site's journal (nothing without one). A
// journal that cannot be written does not undo the card: the operator is told that the row is missing.
void recordCard(CardWindows& windows, journal::CardJournalRow row);

} // namespace talvern::link

#pragma once
// What the program needs to know of one row of the card journal to judge the cards that are out:
// the kind of write, its result, whose card it was and what it opens. Built from the journal's rows
// (CardJournalRow) by fromJournalRow, or by hand in tests.

#include "CardJournalRow.h"

#include <bitset>
#include <string>

namespace talvern::cards {

using ReaderSet = std::bitset<96>; // bit r-1 stands for reader r

// The journal's codes for the kind of a row and for its result.
namespace kind {
using namespace journal::JournalKind;
} // namespace kind
namespace result {
using namespace journal::JournalResult;
} // namespace result

struct IssuedCard {
    long row = -1;        // the row's place in the journal, from 0; later rows are newer
    std::string written;  // date and time as the journal shows it
    std::string kind;     // one of kind::...
    std::string option;   // a configuration card's option
    long number = 0;      // user NUMBER
    int index = 0;        // card INDEX (for a lost-card row: the lost card's INDEX)
    long systemCode = 0;
    std::string surname;
    std::string name;
    std::string group;    // the holder's group when the card was written
    ReaderSet access;     // what the card opens
    std::string result;   // one of result::...
    std::string mode;     // "ADMIN" or "UZYTK"

    // A holder's card that lies in the holder's hand: user card, duplicate, no-access card or
    // withdrawal, written (verified, or with the verification off).
    bool isHolderCard() const;
    bool isLostReport() const { return kind == kind::kLost; }
};

// The Polish words for a row's kind and result, as the windows show them.
std::string kindText(const std::string& kindCode);
std::string resultText(const std::string& resultCode);

// Reader numbers of a set, "1, 5, 17"; "—" when empty.
std::string readerList(const ReaderSet& readers);

} // namespace talvern::cards

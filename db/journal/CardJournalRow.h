#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvern::journal {

// The values of the journal's KIND column.
namespace JournalKind {
inline constexpr const char* kUserCard = "UZYTKOWNIK";
inline constexpr const char* kDuplicate = "DUPLIKAT";
inline constexpr const char* kNoAccess = "BRAK DOSTEP";
inline constexpr const char* kWithdrawal = "WYCOFANIE";
inline constexpr const char* kConfiguration = "KONFIG";
inline constexpr const char* kLost = "ZGUBIONA";
} // namespace JournalKind

// The values of the RESULT column.
namespace JournalResult {
inline constexpr const char* kVerified = "ZWERYF";        // written, read back and the identity matched
inline constexpr const char* kUnverified = "NIEZWERYF";   // written with read-back turned off
inline constexpr const char* kNotVerified = "BLAD WERYF"; // read back wrong, or no answer
inline constexpr const char* kCutShort = "PRZERWANA";     // link lost or a frame not written
inline constexpr const char* kReported = "ZGLOSZONA";     // a lost card recorded
} // namespace JournalResult

// The values of the MODE column: which password opened the program.
namespace JournalMode {
inline constexpr const char* kAdministrator = "ADMIN";
inline constexpr const char* kUser = "UZYTK";
} // namespace JournalMode

// One row of the card journal. Texts are UTF-8 here; the table holds them in Windows-1250.
struct CardJournalRow {
    // Local date and time, "YYYY-MM-DD HH:MM:SS". Left empty, append() puts the current time in.
    std::string written;
    std::string kind;            // JournalKind
    std::string option;          // configuration card: its option as shown; else empty
    std::int64_t number = 0;     // user NUMBER (0 for a configuration card)
    int index = 0;               // the card INDEX written (a lost card: its INDEX)
    std::int64_t sysCode = 0;    // system code written
    std::string surname;         // holder as it was
    std::string name;
    std::string group;           // "Lack of assignment!" kept as it stands
    std::string access;          // 24 upper-case hex digits (CardAccessHex), empty when none
    int reader = 0;              // configuration card: reader number; else 0
    std::string readerSettings;  // configuration card: the settings written, as text
    std::string result;          // JournalResult
    std::string mode;            // JournalMode

    bool operator==(const CardJournalRow&) const = default;
};

// What the card windows look at in every row of a long journal (the history's filter, judging which card
// of a holder counts): the NUMBER as CardJournalRow holds it, the texts as the table's bytes in its code
// page (the kind and result codes are plain ASCII in any), trailing blanks cut. The texts are views that
// last only for the call the key is handed to.
struct CardJournalKey {
    std::int64_t number = 0;
    std::string_view kind;
    std::string_view surname;
    std::string_view name;
    std::string_view result;
};

} // namespace talvern::journal

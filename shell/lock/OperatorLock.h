#pragma once
// The decisions behind the operator lock and the Settings page, kept apart from the window so
// that they read as what they are.

#include <QString>

#include <stdexcept>

namespace talvern {

enum class LockDecision { Administrator, User, Refused };

// Exact, case-sensitive comparison of the whole entry, no trimming. An entry equal to both
// passwords opens administrator mode.
LockDecision decideLock(const QString& entry, const QString& adminPassword, const QString& userPassword);

// A text that is not a decimal integer in the 32-bit range.
class IntegerTextError : public std::runtime_error {
public:
    explicit IntegerTextError(const QString& text);
};

// Decimal text to a 32-bit integer: an optional sign and ASCII digits, nothing else.
// Throws IntegerTextError ("'<text>' is not a valid integer value").
int toInteger(const QString& text);

// The system code is kept within this range by the system code Write.
inline constexpr int kLowestSystemCode = 1;
inline constexpr int kHighestSystemCode = 1000000;

} // namespace talvern

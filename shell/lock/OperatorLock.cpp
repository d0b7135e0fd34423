#include "OperatorLock.h"

#include <limits>

namespace talvern {

LockDecision decideLock(const QString& entry, const QString& adminPassword, const QString& userPassword) {
    if (entry == adminPassword)
        return LockDecision::Administrator;
    if (entry == userPassword)
        return LockDecision::User;
    return LockDecision::Refused;
}

IntegerTextError::IntegerTextError(const QString& text)
    : std::runtime_error(("'" + text + "' is not a valid integer value").toStdString()) {}

int toInteger(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        throw IntegerTextError(text);
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(std::numeric_limits<int>::min())
                                     : std::numeric_limits<int>::max();
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            throw IntegerTextError(text);
        value = value * 10 + (c - u'0');
        if (value > limit)
            throw IntegerTextError(text);
    }
    return static_cast<int>(negative ? -value : value);
}

} // namespace talvern

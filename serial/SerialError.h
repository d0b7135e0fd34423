#pragma once
// The component's general error: raised by ReportFatalError (for instance an open failure)
// unless an OnFatalError handler cleared its RaiseException flag. what() is UTF-8 text.

#include <stdexcept>
#include <string>

namespace talvern::serial {

class SerialError : public std::runtime_error {
public:
    SerialError(const std::string& message, unsigned errorCode = 0, unsigned detail = 0)
        : std::runtime_error(message), m_errorCode(errorCode), m_detail(detail) {}
    unsigned errorCode() const { return m_errorCode; }
    unsigned detail() const { return m_detail; }

private:
    unsigned m_errorCode;
    unsigned m_detail;
};

} // namespace talvern::serial

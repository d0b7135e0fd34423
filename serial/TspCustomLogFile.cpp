#include "TspCustomLogFile.h"

#include "SerialError.h"

#include <cstdio>

namespace talvern::serial {

std::string FormatText(const char* format, va_list args) {
    char small[512];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0)
        return {};
    if (static_cast<size_t>(needed) < sizeof small)
        return std::string(small, static_cast<size_t>(needed));
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
    return text;
}

void TspCustomLogFile::WriteFormat(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteFormatV(level, format, args);
    va_end(args);
}

void TspCustomLogFile::WriteFormatV(int level, const char* format, va_list args) {
    const std::string text = FormatText(format, args);
    if (text.empty())
        WriteEmpty();
    else
        WriteLine(level, text);
}

void TspCustomLogFile::ReportFatalError(uint32_t ErrorCode, uint32_t Detail, const std::string& ErrorMsg) {
    bool raise = true;
    if (OnFatalError)
        OnFatalError(this, ErrorCode, Detail, ErrorMsg, raise);
    if (raise)
        throw SerialError(ErrorMsg, ErrorCode, Detail);
}

} // namespace talvern::serial

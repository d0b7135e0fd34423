#pragma once
// The trace log the serial component writes to. The program has no log attached; FileLog is
// the one concrete log that comes with the component.
//
// Every line the component writes is its prefix ("spComm: ") followed by one of the messages
// of TspLogMessages, at that message's level (0 the most important, 2 the chattiest).

#include <array>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>

namespace talvern::serial {

struct TspLogMessage {
    int Level;
    const char* Format;
};

// The component's messages, texts as the logs have always shown them (spelling included).
namespace logmsg {
inline constexpr TspLogMessage PortOpened{0, "The port %s is opened succesfully"};
inline constexpr TspLogMessage PortClosed{0, "The port is closed succesfully"};
inline constexpr TspLogMessage FatalError{0, "Fatal Error: %u, %u, %s"};
inline constexpr TspLogMessage CommError{1, "Communication Error %d:%d"};
inline constexpr TspLogMessage ConnectionTested{1, "The device connection was succesful tested"};
inline constexpr TspLogMessage ConfigSaved{1, "Configuration was saved"};
inline constexpr TspLogMessage ConfigLoaded{1, "Configuration was loaded"};
inline constexpr TspLogMessage SendChar{2, "Try to send char %2Xh ..."};
inline constexpr TspLogMessage SendString{2, "Try to send string %s ..."};
inline constexpr TspLogMessage SendData{2, "Try to send the data with %d length ..."};
inline constexpr TspLogMessage SendOk{2, "... the data transmittion is OK!"};
} // namespace logmsg

inline constexpr std::array<TspLogMessage, 11> TspLogMessages{
    logmsg::PortOpened, logmsg::PortClosed,       logmsg::FatalError,  logmsg::CommError,
    logmsg::ConnectionTested, logmsg::ConfigSaved, logmsg::ConfigLoaded, logmsg::SendChar,
    logmsg::SendString, logmsg::SendData,         logmsg::SendOk};

class TspCustomLogFile;
using TspLogFatalErrorEvent = std::function<void(TspCustomLogFile* Sender, uint32_t ErrorCode, uint32_t Detail,
                                                 const std::string& ErrorMsg, bool& RaiseException)>;

class TspCustomLogFile {
public:
    virtual ~TspCustomLogFile() = default;
    // One line at level.
    virtual void WriteLine(int level, const std::string& text) = 0;
    // One formatted line at level (printf rules).
    void WriteFormat(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void WriteFormatV(int level, const char* format, va_list args) __attribute__((format(printf, 3, 0)));
    // Called instead of WriteLine when an empty message is logged; the base writes nothing.
    virtual void WriteEmpty() {}

    // The log's own failures (a file that cannot be written): OnFatalError is told first and
    // may clear RaiseException; otherwise a SerialError is thrown.
    void ReportFatalError(uint32_t ErrorCode, uint32_t Detail, const std::string& ErrorMsg);
    TspLogFatalErrorEvent OnFatalError;
};

// printf into a std::string, any length.
std::string FormatText(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

} // namespace talvern::serial

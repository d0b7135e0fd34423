#pragma once
// A data processor sits between the application and the port: it sees received bytes before
// OnAfterReceive, is asked when the transmit queue ran empty, and sends for the application
// through a send filter. Processors form a chain: the base passes received bytes on to the
// next one. The program itself attaches none; a protocol layer derives from this class.

#include "MainThreadDispatcher.h"
#include "TspCustomLogFile.h"
#include "TspNotifyList.h"
#include "TspTimer.h"

#include <cstdint>
#include <functional>
#include <string>

namespace talvern::serial {

class TspBaseIO;
class TspCustomDataProcessor;

enum class TspSendKind { Data = 0, String = 1 };
// Sees every send first; Handled = true keeps the data from the port (the time-out restarts).
using TspSendFilterEvent = std::function<void(TspCustomDataProcessor* Sender, const void* Data, uint32_t Length,
                                              TspSendKind Kind, bool& Handled)>;
using TspProcessorFatalErrorEvent = std::function<void(TspCustomDataProcessor* Sender, uint32_t ErrorCode,
                                                       uint32_t Detail, const std::string& ErrorMsg,
                                                       bool& RaiseException)>;

class TspCustomDataProcessor : public TspNotifyReceiver {
public:
    explicit TspCustomDataProcessor(MainThreadDispatcher dispatcher = {});
    ~TspCustomDataProcessor() override;
    TspCustomDataProcessor(const TspCustomDataProcessor&) = delete;
    TspCustomDataProcessor& operator=(const TspCustomDataProcessor&) = delete;

    // The component this processor serves. Set by TspBaseIO::SetDataProcessor: moves the
    // processor's notify entry from the previous component to the new one.
    TspBaseIO* IO() const { return m_io; }
    void SetIO(TspBaseIO* io);
    TspCustomDataProcessor* Next() const { return m_next; }
    void SetNext(TspCustomDataProcessor* next) { m_next = next; }
    // A switch for derived processors; the base gives it no meaning.
    bool Switch() const { return m_switch; }
    void SetSwitch(bool value) { m_switch = value; }
    TspCustomLogFile* Log() const { return m_log; }
    void SetLog(TspCustomLogFile* log) { m_log = log; }
    const std::string& LogPrefix() const { return m_logPrefix; }
    void SetLogPrefix(std::string prefix) { m_logPrefix = std::move(prefix); }
    TspTimer& Timer() { return m_timer; }

    TspSendFilterEvent OnSendFilter;
    TspProcessorFatalErrorEvent OnFatalError;

    // Called by the component. Received bytes: the base passes them on along the chain.
    virtual void DoReceive(TspBaseIO* io, const uint8_t* buffer, uint32_t count, bool& handled);
    // The transmit queue ran empty, or the time-out fired; handled = true suppresses
    // OnAfterSend. The base does nothing.
    virtual void DoSend(TspBaseIO* io, bool& handled);
    // Notify codes: 1 logs "Medium Closed", 2 "Medium Opened"; others are ignored.
    virtual void Notify(TspBaseIO* io, int code);
    void SerialNotify(TspBaseIO* sender, int code) override { Notify(sender, code); }

    // For the application: the send filter first, then the component's SendData/SendString.
    // Nothing happens for no data; errors are swallowed.
    void SendData(const void* buffer, uint32_t length);
    void SendString(const std::string& text);
    // Stops the time-out and, for a non-zero value, starts it anew with that interval.
    void StartTimeOut(uint32_t milliseconds);
    // Like the component's: OnFatalError, the log line, then SerialError unless cleared.
    void ReportFatalError(uint32_t ErrorCode, uint32_t Detail, const std::string& ErrorMsg);

protected:
    // "<prefix><message>" at level through the processor's own log; nothing without a log.
    void LogLine(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

private:
    void TimerTick();

    TspBaseIO* m_io = nullptr;
    TspCustomDataProcessor* m_next = nullptr;
    bool m_switch = false;
    TspCustomLogFile* m_log = nullptr;
    TspTimer m_timer;
    std::string m_logPrefix;
};

} // namespace talvern::serial

#include "TspCustomDataProcessor.h"

#include "SerialError.h"
#include "TspBaseIO.h"

namespace talvern::serial {

TspCustomDataProcessor::TspCustomDataProcessor(MainThreadDispatcher dispatcher) : m_timer(std::move(dispatcher)) {
    m_timer.SetEnabled(false);
    m_timer.SetOnTimer([this](TspTimer*) { TimerTick(); });
}

TspCustomDataProcessor::~TspCustomDataProcessor() {
    m_timer.SetEnabled(false);
    if (m_io != nullptr) {
        TspBaseIO* io = m_io;
        SetIO(nullptr);
        io->Notification(this);
    }
}

void TspCustomDataProcessor::SetIO(TspBaseIO* io) {
    if (io == m_io)
        return;
    if (m_io != nullptr)
        m_io->RemoveNotify(this);
    m_io = io;
    if (m_io != nullptr)
        m_io->AddNotify(this);
}

void TspCustomDataProcessor::DoReceive(TspBaseIO* io, const uint8_t* buffer, uint32_t count, bool& handled) {
    if (m_next != nullptr)
        m_next->DoReceive(io, buffer, count, handled);
}

void TspCustomDataProcessor::DoSend(TspBaseIO*, bool&) {}

void TspCustomDataProcessor::Notify(TspBaseIO*, int code) {
    if (code == 1)
        LogLine(2, "Medium Closed");
    else if (code == 2)
        LogLine(2, "Medium Opened");
}

void TspCustomDataProcessor::SendData(const void* buffer, uint32_t length) {
    if (buffer == nullptr || length == 0)
        return;
    try {
        bool handled = false;
        if (OnSendFilter)
            OnSendFilter(this, buffer, length, TspSendKind::Data, handled);
        if (handled)
            StartTimeOut(m_timer.Interval());
        else if (m_io != nullptr)
            m_io->SendData(buffer, length);
        LogLine(2, "DoDataSend: %u bytes", length);
    } catch (...) {
    }
}

void TspCustomDataProcessor::SendString(const std::string& text) {
    if (text.empty())
        return;
    try {
        bool handled = false;
        if (OnSendFilter)
            OnSendFilter(this, text.data(), static_cast<uint32_t>(text.size()), TspSendKind::String, handled);
        if (handled)
            StartTimeOut(m_timer.Interval());
        else if (m_io != nullptr)
            m_io->SendString(text);
    } catch (...) {
    }
}

void TspCustomDataProcessor::StartTimeOut(uint32_t milliseconds) {
    m_timer.SetEnabled(false);
    if (milliseconds == 0)
        return;
    m_timer.SetInterval(milliseconds);
    m_timer.SetEnabled(true);
}

void TspCustomDataProcessor::TimerTick() {
    m_timer.SetEnabled(false);
    bool handled = false;
    DoSend(m_io, handled);
}

void TspCustomDataProcessor::ReportFatalError(uint32_t ErrorCode, uint32_t Detail, const std::string& ErrorMsg) {
    bool raise = true;
    if (OnFatalError)
        OnFatalError(this, ErrorCode, Detail, ErrorMsg, raise);
    LogLine(0, "Fatal Error: %u, %u, %s", ErrorCode, Detail, ErrorMsg.c_str());
    if (raise)
        throw SerialError(ErrorMsg, ErrorCode, Detail);
}

void TspCustomDataProcessor::LogLine(int level, const char* format, ...) {
    if (m_log == nullptr)
        return;
    va_list args;
    va_start(args, format);
    const std::string text = FormatText(format, args);
    va_end(args);
    m_log->WriteLine(level, m_logPrefix + text);
}

} // namespace talvern::serial

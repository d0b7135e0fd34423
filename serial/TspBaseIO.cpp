#include "TspBaseIO.h"

#include "SerialError.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <map>
#include <mutex>
#include <unistd.h>

namespace talvern::serial {

uint32_t RegisterMessageName(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, uint32_t> numbers;
    std::lock_guard lock(mutex);
    auto [it, added] = numbers.emplace(name, static_cast<uint32_t>(0xC000 + numbers.size()));
    return it->second;
}

uint32_t spCommMsgComEvent() {
    static const uint32_t number = RegisterMessageName("spCommMsgComEvent");
    return number;
}

uint32_t spCommMsgQuitComEvent() {
    static const uint32_t number = RegisterMessageName("spCommMsgQuitComEvent");
    return number;
}

TspBaseIO::TspBaseIO() : m_logPrefix("TspBaseIO") {}

TspBaseIO::~TspBaseIO() {
    m_ioThreadTerminated = true;
    if (m_ioThread.joinable())
        m_ioThread.join();
}

bool TspBaseIO::IsOpen() const { return Handle() != INVALID_HANDLE_VALUE; }

THandle TspBaseIO::CreateHandle() { return INVALID_HANDLE_VALUE; }

void TspBaseIO::ReleaseHandle(THandle handle) {
    if (handle != INVALID_HANDLE_VALUE)
        ::close(handle);
}

bool TspBaseIO::HasReceiver() const {
    return m_terminal != nullptr || static_cast<bool>(OnAfterReceive) || m_dataProcessor != nullptr;
}

void TspBaseIO::OpenPort() { m_handle = CreateHandle(); }

void TspBaseIO::ClosePort() {
    const THandle handle = m_handle.exchange(INVALID_HANDLE_VALUE);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    ReleaseHandle(handle);
    FireOnClose();
}

void TspBaseIO::StartThreads() {
    if (m_ioThread.joinable())
        return;
    m_ioThreadTerminated = false;
    m_ioThread = std::thread([this] { ThreadExecute(); });
}

void TspBaseIO::StopThreads() {
    m_ioThreadTerminated = true;
    if (m_ioThread.joinable() && m_ioThread.get_id() != std::this_thread::get_id())
        m_ioThread.join();
}

void TspBaseIO::ThreadExecute() {}

void TspBaseIO::ReportFatalError(uint32_t ErrorCode, uint32_t Detail, const std::string& ErrorMsg, bool ShowOnly) {
    bool raiseException = true;
    if (OnFatalError)
        OnFatalError(this, ErrorCode, Detail, ErrorMsg, raiseException);
    LogLine(0, "Fatal Error: %u, %u, %s", ErrorCode, Detail, ErrorMsg.c_str());
    if (!raiseException || m_loading)
        return;
    if (ShowOnly)
        ShowError(ErrorMsg);
    else
        throw SerialError(ErrorMsg, ErrorCode, Detail);
}

void TspBaseIO::NotifyClients(int code) {
    // The data processor is on the list too: SetDataProcessor added it.
    m_notifyList.NotifyClients(this, code);
}

bool TspBaseIO::DoAfterReceive(const uint8_t* Buffer, uint32_t Count) {
    bool handled = false;
    if (m_dataProcessor != nullptr)
        m_dataProcessor->DoReceive(this, Buffer, Count, handled);
    if (m_terminal != nullptr && !handled)
        TerminalOutput(Buffer, Count);
    if (OnAfterReceive)
        OnAfterReceive(this, Buffer, Count);
    return false;
}

bool TspBaseIO::DoAfterSend() {
    bool handled = false;
    if (m_dataProcessor != nullptr)
        m_dataProcessor->DoSend(this, handled);
    return handled;
}

void TspBaseIO::SelectDevice(int) { NotifyClients(notify::PortChanged); }

void TspBaseIO::AddDevice(const TspDeviceRecord& device) {
    m_devices.push_back(device);
    m_devices.back().ListIndex = static_cast<int32_t>(m_devices.size() - 1);
    m_devices.back().Owner = this;
}

void TspBaseIO::ClearDevices() { m_devices.clear(); }

void TspBaseIO::TerminalOutput(const uint8_t* Buffer, uint32_t Count) {
    if (m_terminal == nullptr || Count == 0)
        return;
    if (Count == 1) {
        m_terminal->TypeChar(Buffer[0]);
        return;
    }
    // Zero bytes split the text and are not shown themselves.
    uint32_t start = 0;
    for (uint32_t i = 0; i <= Count; ++i) {
        if (i == Count || Buffer[i] == 0) {
            if (i > start)
                m_terminal->InsertText(std::string(reinterpret_cast<const char*>(Buffer + start), i - start));
            start = i + 1;
        }
    }
}

void TspBaseIO::RefreshDevices() {
    ClearDevices();
    GetDevices(nullptr);
    NotifyClients(notify::PortChanged);
}

void TspBaseIO::AddNotify(TspNotifyReceiver* receiver) {
    m_notifyList.Add(receiver);
}

void TspBaseIO::RemoveNotify(TspNotifyReceiver* receiver) { m_notifyList.Remove(receiver); }

void TspBaseIO::GetDevices(std::vector<std::string>* names) {
    if (m_devices.empty())
        EnumerateDevices();
    if (names == nullptr)
        return;
    names->clear();
    for (const auto& device : m_devices)
        names->push_back(device.FriendlyName);
}

TMessage DeviceChangeMessage(const TDeviceChangeMessage& change) {
    TMessage message;
    message.Msg = WM_DEVICECHANGE;
    switch (change.Kind) {
    case TDeviceChangeKind::Arrival: message.WParam = DBT_DEVICEARRIVAL; break;
    case TDeviceChangeKind::Removal: message.WParam = DBT_DEVICEREMOVECOMPLETE; break;
    case TDeviceChangeKind::NodesChanged: message.WParam = DBT_DEVNODES_CHANGED; break;
    }
    message.LParam = change.Subsystem == "tty" ? DBT_DEVTYP_PORT : 0;
    return message;
}

bool TspBaseIO::HandleDeviceChange(const TMessage& message) {
    // Only port events rebuild the list; a disk or a mouse coming and going changes nothing.
    if (message.Msg != WM_DEVICECHANGE)
        return false;
    const bool nodesChanged = message.WParam == DBT_DEVNODES_CHANGED;
    const bool portEvent = (message.WParam == DBT_DEVICEARRIVAL || message.WParam == DBT_DEVICEREMOVECOMPLETE) &&
                           message.LParam == DBT_DEVTYP_PORT;
    if (!nodesChanged && !portEvent)
        return false;
    RefreshDevices();
    return true;
}

void TspBaseIO::SetDataProcessor(TspCustomDataProcessor* processor) {
    if (processor == m_dataProcessor)
        return;
    TspCustomDataProcessor* previous = m_dataProcessor;
    m_dataProcessor = processor;
    if (previous != nullptr && previous->IO() == this)
        previous->SetIO(nullptr);
    if (processor != nullptr)
        processor->SetIO(this);
}

void TspBaseIO::Loaded() { m_loading = false; }

void TspBaseIO::Notification(const void* component) {
    if (component == m_log)
        m_log = nullptr;
    if (component == m_dataProcessor)
        m_dataProcessor = nullptr;
    if (component == m_terminal)
        m_terminal = nullptr;
    m_notifyList.RemoveObject(component);
}

void TspBaseIO::LogLine(int level, const char* format, ...) {
    if (m_log == nullptr)
        return;
    va_list args;
    va_start(args, format);
    const std::string text = FormatText(format, args);
    va_end(args);
    if (text.empty())
        m_log->WriteEmpty();
    else
        m_log->WriteLine(level, m_logPrefix + text);
}

void TspBaseIO::ShowError(const std::string& text) const {
    if (m_errorDisplay)
        m_errorDisplay(text);
    else
        std::cerr << text << std::endl;
}

void TspBaseIO::FireOnClose() {
    // A failing close handler must not stop the close.
    try {
        if (OnClose)
            OnClose(this);
    } catch (...) {
    }
}

} // namespace talvern::serial

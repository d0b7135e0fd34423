#include "TspCustomComm.h"

#include "LineSettings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace talvern::serial {

TspCustomComm::TspCustomComm(SerialBackend* backend)
    : m_backend(backend != nullptr ? backend : &SerialBackend::system()) {
    m_line = DefaultLineRecord();
    // The construction order of the setters: each rebuilds the line record on its own.
    SetBaudRate(19200);
    SetByteSize(8);
    SetParity(TParity::pNone);
    SetStopBits(TStopBits::sbOne);
    SetStreamProtocol(TStreamProtocol::spHardware);
    SetEventChar('\0');
}

TspCustomComm::~TspCustomComm() {
    ShutdownForDestruction();
    if (m_doorbellFd >= 0)
        ::close(m_doorbellFd);
    if (m_doorbellRing >= 0)
        ::close(m_doorbellRing);
}

void TspCustomComm::ShutdownForDestruction() {
    // End the workers first: a watcher that is closing the port after a device loss must have
    // finished (OnClose included) before anything here changes.
    StopThreads();
    reapSessions();
    // Attachments go first so that the close below reaches only the application.
    SetTerminal(nullptr);
    SetDataProcessor(nullptr);
    OnTraceState = nullptr;
    try {
        ClosePort();
    } catch (...) {
    }
    reapSessions();
}

bool TspCustomComm::HasReceiver() const { return TspBaseIO::HasReceiver(); }

bool TspCustomComm::Active() const {
    if (m_loading)
        return m_requestedActive;
    return IsOpen();
}

void TspCustomComm::SetActive(bool value) {
    if (m_loading) {
        m_requestedActive = value;
        return;
    }
    reapSessions();
    if (value) {
        if (!IsOpen())
            OpenPort();
    } else if (IsOpen()) {
        ClosePort();
    }
}

void TspCustomComm::Loaded() {
    TspBaseIO::Loaded();
    try {
        SetActive(m_requestedActive);
    } catch (...) {
        ShowError("error");
    }
}

void TspCustomComm::Notification(const void* component) {
    TspBaseIO::Notification(component);
    for (TspCheckable** monitor : {&MonitorCTS, &MonitorDSR, &MonitorRLSD, &MonitorRing})
        if (*monitor == component)
            *monitor = nullptr;
}

// ---- opening and closing

void TspCustomComm::OpenPort() {
    ClosePort();
    reapSessions();
    const THandle handle = CreateHandle();
    if (handle == INVALID_HANDLE_VALUE)
        return; // CreateHandle reported the failure
    {
        std::lock_guard lock(m_io);
        m_readBuffer = std::make_shared<std::vector<uint8_t>>(std::max<size_t>(m_bufferInSize, 8192), 0);
        m_pendingOutput.clear();
        m_pendingOffset = 0;
        m_countersAvailable = false;
        m_countersUnsupported = false;
        ++m_generation;
        m_handle.store(handle, std::memory_order_release);
    }
    LogLine(0, "The port %s is opened succesfully", GetPortName().c_str());
    ApplyPortSettings();
    applyEventMask();
    StartThreads();
    NotifyClients(notify::Opened);
}

void TspCustomComm::ClosePort() {
    if (IsOpen()) {
        try {
            ShutdownPort(true);
            LogLine(0, "The port is closed succesfully");
        } catch (...) {
            // Whatever failed, the handle is released.
            THandle handle;
            {
                std::lock_guard lock(m_io);
                handle = m_handle.exchange(INVALID_HANDLE_VALUE);
                m_readBuffer.reset();
                if (handle != INVALID_HANDLE_VALUE)
                    ReleaseHandle(handle);
            }
            if (handle != INVALID_HANDLE_VALUE)
                FireOnClose();
        }
    }
    ReportTraceState(TTraceStates{TTraceState::tsTxEmpty});
}

void TspCustomComm::ShutdownPort(bool purge) {
    {
        std::lock_guard lock(m_io);
        if (!IsOpen())
            return;
        StopThreads();
        const THandle handle = Handle();
        if (purge) {
            readErrorWordLocked();
            if (m_comStat.cbOutQue > 0 || m_pendingOffset < m_pendingOutput.size())
                Backend().flush(handle, TCIOFLUSH);
            m_eventMask = 0;
        }
        m_pendingOutput.clear();
        m_pendingOffset = 0;
        m_readBuffer.reset();
        m_handle.store(INVALID_HANDLE_VALUE, std::memory_order_release);
        ReleaseHandle(handle);
    }
    reapSessions();
    FireOnClose();
    NotifyClients(notify::Closed);
}

void TspCustomComm::shutdownAfterDeviceLoss(uint64_t generation) {
    {
        std::lock_guard lock(m_io);
        // A close or a reopen may have come first: then this watcher's port is gone already.
        if (!IsOpen() || generation != m_generation)
            return;
        StopThreads();
        const THandle handle = Handle();
        m_pendingOutput.clear();
        m_pendingOffset = 0;
        m_readBuffer.reset();
        m_handle.store(INVALID_HANDLE_VALUE, std::memory_order_release);
        ReleaseHandle(handle);
    }
    FireOnClose();
    NotifyClients(notify::Closed);
}

void TspCustomComm::StartThreads() {
    std::lock_guard lock(m_io);
    if (m_session || !IsOpen())
        return;
    auto session = std::make_shared<PortSession>(this, Backend(), Handle(), m_generation);
    session->doorbellFd = m_doorbellRing;
    session->doorbellRang = &m_doorbellRang;
    if (m_doorbellFd >= 0 && UseMainThread()) {
        // Bytes arriving wake the main thread straight from the device, and the main thread
        // forwards them (CommThreads.h): when nothing else is being delivered it runs the
        // received-char event itself, without a hand-over from the watcher. Edge-triggered,
        // like the watcher: bytes left unread on purpose do not keep the event loop awake.
        // Opened with UseMainThread false, the port leaves arrivals to the watcher throughout.
        epoll_event deviceEvent{};
        deviceEvent.events = EPOLLIN | EPOLLET;
        deviceEvent.data.u32 = kDoorbellDevice;
        m_doorbellHasDevice = ::epoll_ctl(m_doorbellFd, EPOLL_CTL_ADD, Handle(), &deviceEvent) == 0;
        session->mainWatchesDevice = m_doorbellHasDevice;
        if (m_doorbellHasDevice && session->epollFd >= 0) {
            // The watcher leaves arrivals to the main thread from the start.
            epoll_event watcherEvent{};
            watcherEvent.events = EPOLLET;
            watcherEvent.data.u32 = 1;
            if (::epoll_ctl(session->epollFd, EPOLL_CTL_MOD, Handle(), &watcherEvent) == 0)
                session->watchedDeviceEvents = EPOLLET;
        }
    }
    // The message thread first, so the watcher always has somewhere to post.
    session->messageThread = std::thread([thread = TMsgThread(session, m_dispatcher)]() mutable { thread.Execute(); });
    session->watcher = std::thread([thread = TCommThread(session)]() mutable { thread.Execute(); });
    // Named for ps, top and debuggers, before open returns.
    ::pthread_setname_np(session->messageThread.native_handle(), "spComm messages");
    ::pthread_setname_np(session->watcher.native_handle(), "spComm watcher");
    m_session = std::move(session);
}

void TspCustomComm::StopThreads() {
    std::lock_guard lock(m_io);
    if (!m_session)
        return;
    if (m_doorbellHasDevice) {
        // Out of the set before the handle closes, so a number the system reuses is not watched.
        epoll_event unused{};
        ::epoll_ctl(m_doorbellFd, EPOLL_CTL_DEL, Handle(), &unused);
        m_doorbellHasDevice = false;
    }
    m_session->stop();
    std::lock_guard retired(m_retiredMutex);
    m_retired.push_back(std::move(m_session));
    m_session.reset();
}

void TspCustomComm::reapSessions() {
    std::vector<std::shared_ptr<PortSession>> sessions;
    {
        std::lock_guard lock(m_retiredMutex);
        sessions.swap(m_retired);
    }
    std::vector<std::shared_ptr<PortSession>> keep;
    for (auto& session : sessions)
        if (!session->join())
            keep.push_back(std::move(session)); // we are one of its threads: joined later
    if (!keep.empty()) {
        std::lock_guard lock(m_retiredMutex);
        for (auto& session : keep)
            m_retired.push_back(std::move(session));
    }
}

// ---- settings

std::string TspCustomComm::GetPortName() const { return "Unknown"; }

void TspCustomComm::ApplyPortSettings() {
    std::lock_guard lock(m_io);
    if (!IsOpen())
        return;
    readErrorWordLocked(); // read and discard: errors from before the open are not news
    // Linux sizes its tty queues itself; BufferInSize sizes the read buffer at open.
    // The time-outs are kept in the record and used by the blocking writes.
    applyLineSettingsLocked();
}

void TspCustomComm::ApplyLineSettings() {
    BuildLineRecord(m_line, m_streamProtocol, m_rs485Mode);
    std::lock_guard lock(m_io);
    if (IsOpen())
        applyLineSettingsLocked();
}

void TspCustomComm::applyLineSettingsLocked() {
    const THandle handle = Handle();
    termios tio{};
    if (Backend().getAttributes(handle, tio) < 0)
        return; // the result of applying is ignored, as with any setter
    LineRecordToTermios(m_line, tio);
    Backend().setAttributes(handle, tio);

    const ModemLineRequest lines = ModemLinesFor(m_line);
    if (lines.setDtr)
        Backend().setModemLines(handle, TIOCM_DTR, lines.dtrOn);
    if (lines.setRts)
        Backend().setModemLines(handle, TIOCM_RTS, lines.rtsOn);

    serial_rs485 rs485{};
    if (Backend().getRs485(handle, rs485) == 0) {
        m_rtsEmulation = false;
        const bool wanted = lines.rtsToggle;
        if (wanted != ((rs485.flags & SER_RS485_ENABLED) != 0)) {
            if (wanted)
                rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
            else
                rs485.flags &= ~SER_RS485_ENABLED;
            rs485.flags &= ~SER_RS485_RTS_AFTER_SEND;
            if (Backend().setRs485(handle, rs485) < 0 && wanted)
                m_rtsEmulation = true; // the driver refused: switch RTS ourselves
        }
    } else {
        m_rtsEmulation = true;
    }
    if (lines.rtsToggle && m_rtsEmulation)
        Backend().setModemLines(handle, TIOCM_RTS, false); // receive until we send
}

void TspCustomComm::SetLineRecord(const TDCB& record) {
    m_line = record;
    m_line.DCBlength = 28;
    std::lock_guard lock(m_io);
    if (IsOpen())
        applyLineSettingsLocked();
}

void TspCustomComm::SetBaudRate(uint32_t value) {
    m_line.BaudRate = value;
    ApplyLineSettings();
}

void TspCustomComm::SetParity(TParity value) {
    m_line.Parity = static_cast<uint8_t>(value);
    if (value != TParity::pNone)
        m_line.Flags |= dcb::ParityCheck;
    else
        m_line.Flags &= ~dcb::ParityCheck;
    ApplyLineSettings();
}

void TspCustomComm::SetStopBits(TStopBits value) {
    m_line.StopBits = static_cast<uint8_t>(value);
    ApplyLineSettings();
}

void TspCustomComm::SetByteSize(uint8_t value) {
    m_line.ByteSize = (value < 4 || value > 8) ? 8 : value;
    ApplyLineSettings();
}

void TspCustomComm::SetEventChar(char value) {
    m_line.EvtChar = static_cast<uint8_t>(value);
    ApplyLineSettings();
}

char TspCustomComm::EventChar() const { return static_cast<char>(m_line.EvtChar); }

void TspCustomComm::SetStreamProtocol(TStreamProtocol value) {
    m_streamProtocol = value;
    ApplyLineSettings();
}

void TspCustomComm::SetRS485Mode(bool value) {
    m_rs485Mode = value;
    ApplyLineSettings();
    if (IsOpen())
        applyEventMask(); // emulated RS-485 needs the transmit-empty event
}

void TspCustomComm::SetTraceStates(TTraceStates value) {
    m_traceStates = value.bits();
    if (IsOpen())
        applyEventMask();
}

void TspCustomComm::applyEventMask() {
    m_eventMask = EventMaskFor(TraceStates(), m_rs485Mode, m_rtsEmulation);
    std::lock_guard lock(m_io);
    if (m_session)
        m_session->wake(); // the watcher picks up the new mask
}

TModemSignals TspCustomComm::ModemSignals() const {
    std::lock_guard lock(m_io);
    TModemSignals signals;
    if (!IsOpen())
        return signals;
    const int bits = Backend().modemLines(Handle());
    if (bits < 0)
        return signals;
    if (bits & TIOCM_CTS)
        signals.insert(TModemSignal::msCTS);
    if (bits & TIOCM_DSR)
        signals.insert(TModemSignal::msDSR);
    if (bits & TIOCM_RI)
        signals.insert(TModemSignal::msRing);
    if (bits & TIOCM_CD)
        signals.insert(TModemSignal::msRLSD);
    return signals;
}

// ---- line controls, purges, errors

void TspCustomComm::setModemLine(int bit, bool on) {
    std::lock_guard lock(m_io);
    if (IsOpen())
        Backend().setModemLines(Handle(), bit, on);
}

void TspCustomComm::SetDTR(bool on) {
    if (!IsOpen())
        return;
    setModemLine(TIOCM_DTR, on);
    ReportTraceState(TTraceStates{TTraceState::tsDSR});
}

void TspCustomComm::SetRTS(bool on) {
    if (!IsOpen())
        return;
    setModemLine(TIOCM_RTS, on);
    ReportTraceState(TTraceStates{TTraceState::tsCTS});
}

void TspCustomComm::PurgeInput() {
    std::lock_guard lock(m_io);
    if (IsOpen())
        Backend().flush(Handle(), TCIFLUSH);
}

void TspCustomComm::PurgeOutput() {
    {
        std::lock_guard lock(m_io);
        if (!IsOpen())
            return;
        m_pendingOutput.clear();
        m_pendingOffset = 0;
        Backend().flush(Handle(), TCOFLUSH);
    }
    if (m_rs485Mode && m_rtsEmulation)
        SetRTS(false);
}

void TspCustomComm::PurgeAll() {
    {
        std::lock_guard lock(m_io);
        if (!IsOpen())
            return;
        m_pendingOutput.clear();
        m_pendingOffset = 0;
        Backend().flush(Handle(), TCIOFLUSH);
    }
    if (m_rs485Mode && m_rtsEmulation)
        SetRTS(false);
}

uint32_t TspCustomComm::readErrorWordLocked() {
    readQueueStatusLocked();
    return readLineErrorsLocked();
}

void TspCustomComm::readQueueStatusLocked() {
    const THandle handle = Handle();
    const int in = Backend().inputQueued(handle);
    const int out = Backend().outputQueued(handle);
    m_comStat.Flags = 0; // Linux reports no hold state
    m_comStat.cbInQue = in > 0 ? static_cast<uint32_t>(in) : 0;
    m_comStat.cbOutQue = out > 0 ? static_cast<uint32_t>(out) : 0;
}

uint32_t TspCustomComm::readLineErrorsLocked() {
    // A driver without counters (pseudo-terminals, many USB adapters) says so once per open.
    if (m_countersUnsupported)
        return 0;
    const THandle handle = Handle();
    ErrorCounters now;
    if (const int rc = Backend().errorCounters(handle, now); rc < 0) {
        m_countersAvailable = false;
        m_countersUnsupported = rc == -ENOTTY || rc == -EINVAL;
        return 0;
    }
    uint32_t word = 0;
    if (m_countersAvailable) {
        if (now.bufOverrun != m_lastCounters.bufOverrun)
            word |= ce::RxOver;
        if (now.overrun != m_lastCounters.overrun)
            word |= ce::Overrun;
        if (now.parity != m_lastCounters.parity)
            word |= ce::RxParity;
        if (now.frame != m_lastCounters.frame)
            word |= ce::Frame;
        if (now.brk != m_lastCounters.brk)
            word |= ce::Break;
    }
    m_lastCounters = now;
    m_countersAvailable = true;
    return word;
}

TComStat TspCustomComm::ComStat() {
    std::lock_guard lock(m_io);
    if (IsOpen())
        readQueueStatusLocked();
    return m_comStat;
}

void TspCustomComm::ReportCommError(uint32_t CommCode, uint32_t SysError, TComStateFlags State) {
    if (m_rs485Mode && m_rtsEmulation)
        SetRTS(false);
    LogLine(1, "Communication Error %d:%d", static_cast<int>(CommCode), static_cast<int>(SysError));
    bool flashBuffers = false;
    if (OnCommError)
        OnCommError(this, CommCode, SysError, State, flashBuffers);
    if (flashBuffers)
        PurgeAll();
}

void TspCustomComm::ReportTraceState(TTraceStates Flags) {
    const TModemSignals signals = ModemSignals();
    if (MonitorCTS != nullptr)
        MonitorCTS->SetChecked(signals.contains(TModemSignal::msCTS));
    if (MonitorDSR != nullptr)
        MonitorDSR->SetChecked(signals.contains(TModemSignal::msDSR));
    if (MonitorRLSD != nullptr)
        MonitorRLSD->SetChecked(signals.contains(TModemSignal::msRLSD));
    if (Flags.contains(TTraceState::tsRing) && MonitorRing != nullptr)
        MonitorRing->SetChecked(true);
    if (OnTraceState)
        OnTraceState(this, Flags);
}

} // namespace talvern::serial

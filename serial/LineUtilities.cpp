// The line utilities: the two polling waits, the connection test and the plug-and-play
// identification read.

#include "TspCustomSerialComm.h"

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

namespace talvern::serial {
namespace {

using Clock = std::chrono::steady_clock;

// A serial plug-and-play identification is at most 256 bytes; a device that keeps sending
// without the closing byte must not keep the read going for ever.
constexpr size_t kMaxPnPIdLength = 256;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

// ---- the waits

// The open a wait started on, 0 while closed. The pump can run a close (and even a new open)
// of this very component; the wait then ends with False instead of looking at a port that is
// not its own.
uint64_t TspCustomComm::currentOpen() const {
    std::lock_guard lock(m_io);
    return IsOpen() ? m_generation : 0;
}

bool TspCustomComm::WaitForInput(uint32_t count, uint32_t ms) {
    const uint64_t started = currentOpen();
    if (started == 0)
        return false;
    const TTraceStates saved = TraceStates();
    TTraceStates without = saved;
    without.erase(TTraceState::tsRxChar);
    SetTraceStates(without);
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    bool arrived = false;
    for (;;) {
        if (currentOpen() != started)
            break;
        if (ComStat().cbInQue >= count) {
            arrived = true;
            break;
        }
        if (Clock::now() >= deadline)
            break;
        sleepMs(1);
        if (m_messagePump)
            m_messagePump();
    }
    // Only the property: while closed it opens nothing.
    SetTraceStates(saved);
    return arrived;
}

bool TspCustomComm::WaitForModemSignal(unsigned signal, uint32_t ms) {
    const uint64_t started = currentOpen();
    if (started == 0)
        return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (currentOpen() != started)
            return false;
        if (signal <= 7 && ModemSignals().contains(static_cast<TModemSignal>(signal)))
            return true;
        if (Clock::now() >= deadline)
            return false;
        sleepMs(1);
        if (m_messagePump)
            m_messagePump();
    }
}

bool TspCustomComm::ReadQueuedByte(uint8_t& byte) {
    std::lock_guard lock(m_io);
    if (!IsOpen())
        return false;
    ssize_t n;
    do {
        n = Backend().read(Handle(), &byte, 1);
    } while (n == -EINTR);
    return n == 1;
}

// ---- connection test and identification

namespace {

// The first steps of the connection test: the device answers DTR with DSR.
bool raiseDsr(TspCustomSerialComm& comm) {
    comm.PurgeAll();
    comm.SetDTR(true);
    comm.SetRTS(false);
    return comm.WaitForModemSignal(static_cast<unsigned>(TModemSignal::msDSR), 200);
}

} // namespace

void TspCustomSerialComm::TestConnection() {
    if (!IsOpen())
        return;
    if (raiseDsr(*this)) {
        SetRTS(true);
        LogLine(1, "The device connection was succesful tested");
    } else {
        ReportFatalError(1, 0, "Device Connect Initialization Error", false);
    }
}

std::string TspCustomSerialComm::ReadPnPId() {
    std::string id;
    const bool wasActive = Active();
    SetActive(true);
    if (!Active())
        return id;
    if (!raiseDsr(*this)) {
        // Closed again first when it was closed before the call: the error may be raised, and
        // the caller must not be left holding a port it never opened.
        if (!wasActive)
            SetActive(false);
        ReportFatalError(1, 0, "Device Connect Initialization Error", false);
        return id;
    }
    ApplyLineSettings();
    const TDCB saved = LineRecord();
    TDCB work = saved;
    const TTraceStates savedTrace = TraceStates();
    work.BaudRate = 1200;
    work.ByteSize = 7;
    work.Parity = 0;
    work.StopBits = 0;
    SetLineRecord(work);
    SetTraceStates({});

    SetDTR(false);
    SetRTS(false);
    sleepMs(200);
    SetDTR(true);
    sleepMs(200);
    SetRTS(true);
    bool got = WaitForInput(1, 200);
    if (!got) {
        SetDTR(false);
        SetRTS(false);
        sleepMs(200);
        SetDTR(true);
        SetRTS(true);
        got = WaitForInput(1, 200);
    }
    uint8_t byte = 0;
    if (got && ReadQueuedByte(byte) && (byte == 0x08 || byte == '(')) {
        const uint8_t last = byte == 0x08 ? 0x09 : ')';
        id += static_cast<char>(byte);
        while (id.size() < kMaxPnPIdLength && WaitForInput(1, 200) && ReadQueuedByte(byte)) {
            id += static_cast<char>(byte);
            if (byte == last)
                break;
        }
    }

    SetLineRecord(saved);
    SetTraceStates(savedTrace);
    SetActive(false);
    SetActive(wasActive);
    return id;
}

} // namespace talvern::serial

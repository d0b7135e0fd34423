#pragma once
// TspCustomComm: a serial-style port with line settings, time-outs, sends and the two worker
// threads that deliver port events (see CommThreads.h).
//
// Thread rules:
//  - Every member function is called on the main thread (the thread the application uses the
//    component from), except IsOpen()/Active(), which any thread may read.
//  - With UseMainThread true (the default) and a dispatcher set, HandleComEvent and therefore
//    OnAfterReceive, OnAfterSend, OnTraceState and OnCommError of port events run on the main
//    thread, one at a time, in the order the events occurred. Without a dispatcher, or with
//    UseMainThread false, they run on the message thread.
//  - With the doorbell watched as well (WatchDoorbell), an event that finds the message thread
//    idle goes from the watcher straight to the main thread, and bytes that arrive while
//    nothing else is being delivered wake the main thread directly; the order and the
//    one-at-a-time rule above still hold.
//  - A device loss (hang-up: USB adapter pulled, far side of a pseudo-terminal closed) is
//    detected by the port watcher, which closes the port on its own thread: no purge, threads
//    told to stop, read buffer freed, handle closed, OnClose once, NotifyClients(1). The handle
//    and the read buffer are guarded, so the main thread may be sending or handling an event at
//    that moment: a send then fails (OnCommError) or finds the port closed, and a handler keeps
//    its buffer until it returns.
//  - Closing never deadlocks with the main thread: a wait of the message thread for the main
//    thread is cancelled, and the late call does nothing.
//  - Sends block the calling thread until the bytes are written or the write time-out ran out.
//
// Errors: an open failure throws SerialError (through ReportFatalError) unless an OnFatalError
// handler clears RaiseException; failed writes and line errors go to OnCommError; an exception
// from an event handler is shown through ReportFatalError with ShowOnly; exceptions from
// OnClose are swallowed. Operations on a closed port do nothing and report nothing.

#include "CommThreads.h"
#include "MainThreadDispatcher.h"
#include "SerialBackend.h"
#include "TspBaseIO.h"

#include <chrono>
#include <mutex>
#include <vector>

namespace talvern::serial {

using TOnSent = std::function<void(TspBaseIO* Com)>;
using TOnTraceEvent = std::function<void(TspBaseIO* Com, TTraceStates Event)>;
using TOnCommErrorEvent = std::function<void(TspBaseIO* Com, uint32_t CommCode, uint32_t SysError,
                                             TComStateFlags State, bool& flFlashBuffers)>;

class TspCustomComm : public TspBaseIO {
public:
    // backend: the system-call layer (tests inject faults through it); nullptr = the real one.
    explicit TspCustomComm(SerialBackend* backend = nullptr);
    ~TspCustomComm() override;

    bool HasReceiver() const override;
    void OpenPort() override;
    void ClosePort() override;
    void StartThreads() override;
    void StopThreads() override;
    void SendChar(uint8_t ch) override;
    void SendString(const std::string& bytes) override;
    void SendData(const void* data, uint32_t length) override;
    void PurgeInput() override;
    void PurgeOutput() override;
    void PurgeAll() override;

    // Virtual operations added here, in their slot order.
    virtual std::string GetPortName() const;       // 31: "Unknown"
    virtual void ApplyPortSettings();               // 32
    virtual void SetEventChar(char value);          // 33
    virtual char EventChar() const;                 // 34
    // 35: drops RTS under RS-485 emulation, logs, fires OnCommError and purges when asked.
    virtual void ReportCommError(uint32_t CommCode, uint32_t SysError, TComStateFlags State);

    // Runs the handling of one port event (the message thread calls it). Public because the
    // message thread reaches it through the dispatcher.
    void HandleComEvent(const TMessage& message);
    void ReportTraceState(TTraceStates Flags);
    // Builds the line record from the properties and, when open, applies it to the device.
    void ApplyLineSettings();
    // Closes the port; purge = false after a device loss.
    void ShutdownPort(bool purge);

    bool Active() const;
    // False closes; True opens when closed (an open failure throws). While loading only the
    // wanted value is recorded.
    void SetActive(bool value);
    uint32_t BaudRate() const { return m_line.BaudRate; }
    void SetBaudRate(uint32_t value);
    TParity Parity() const { return static_cast<TParity>(m_line.Parity); }
    void SetParity(TParity value);
    TStopBits StopBits() const { return static_cast<TStopBits>(m_line.StopBits); }
    void SetStopBits(TStopBits value);
    uint8_t ByteSize() const { return m_line.ByteSize; }
    void SetByteSize(uint8_t value); // outside 4..8 stores 8
    TTraceStates TraceStates() const { return TTraceStates::fromBits(m_traceStates.load()); }
    void SetTraceStates(TTraceStates value);
    TModemSignals ModemSignals() const;
    TStreamProtocol StreamProtocol() const { return m_streamProtocol; }
    void SetStreamProtocol(TStreamProtocol value);
    uint16_t BufferInSize() const { return m_bufferInSize; }
    void SetBufferInSize(uint16_t value) { m_bufferInSize = value; }
    uint16_t BufferOutSize() const { return m_bufferOutSize; }
    void SetBufferOutSize(uint16_t value) { m_bufferOutSize = value; }
    uint32_t TimeoutRead() const { return m_timeouts.ReadTotalTimeoutMultiplier; }
    void SetTimeoutRead(uint32_t value) { m_timeouts.ReadTotalTimeoutMultiplier = value; }
    uint32_t TimeoutWrite() const { return m_timeouts.WriteTotalTimeoutMultiplier; }
    void SetTimeoutWrite(uint32_t value) { m_timeouts.WriteTotalTimeoutMultiplier = value; }
    bool RS485Mode() const { return m_rs485Mode.load(); }
    void SetRS485Mode(bool value);
    bool UseMainThread() const { return m_useMainThread.load(); }
    void SetUseMainThread(bool value);
    TTerminalUsage TerminalUsage() const { return m_terminalUsage; }
    void SetTerminalUsage(TTerminalUsage value) { m_terminalUsage = value; }
    bool TerminalEcho() const { return m_terminalEcho; }
    void SetTerminalEcho(bool value) { m_terminalEcho = value; }
    // True when the driver cannot switch RTS around transmission by itself (no RS-485 mode),
    // so the component does it. Known once a device was opened; true before.
    bool RtsEmulation() const { return m_rtsEmulation.load(); }

    const TDCB& LineRecord() const { return m_line; }
    // Replaces the whole line record (a stored port setup); applied at once when open.
    void SetLineRecord(const TDCB& record);
    const TCommTimeouts& Timeouts() const { return m_timeouts; }
    // The queue status: read from the driver now while open, else as last read.
    TComStat ComStat();
    uint32_t EventMask() const { return m_eventMask.load(); }

    void SetDTR(bool on);
    void SetRTS(bool on);

    // The polling waits (LineUtilities.cpp). Each returns False at once while closed, and False
    // as soon as the port closes under it (the application may close it from an event handled
    // during the wait), without touching the port again. Every 1 ms pass runs the message pump.
    // WaitForInput: True once the driver holds count bytes; tsRxChar is off for its duration.
    bool WaitForInput(uint32_t count, uint32_t ms);
    // True once the modem signal of that ordinal (TModemSignal) is on; above 7 never matches.
    bool WaitForModemSignal(unsigned signal, uint32_t ms);
    // What the waits run on every pass so that the main thread keeps handling its events (with
    // Qt: QCoreApplication::processEvents). Without one they only sleep.
    void SetMessagePump(std::function<void()> pump) { m_messagePump = std::move(pump); }

    // The dispatcher to the main thread (MainThreadDispatcher.h). Set while closed.
    void SetMainThreadDispatcher(MainThreadDispatcher dispatcher) { m_dispatcher = std::move(dispatcher); }
    // The doorbell (CommThreads.h), the quicker way to the main thread, used beside the
    // dispatcher: returns a descriptor that the application's event loop watches for reading,
    // calling ServiceDoorbell() on the main thread whenever it is readable. It becomes readable
    // when the watcher rings and, while the port is open, when bytes arrive. Call it while
    // closed, before the port opens; the descriptor lives as long as the component. Returns -1
    // when no descriptor could be made (then the dispatcher alone delivers).
    int WatchDoorbell();
    void ServiceDoorbell();

    TspCheckable* MonitorCTS = nullptr;
    TspCheckable* MonitorDSR = nullptr;
    TspCheckable* MonitorRLSD = nullptr;
    TspCheckable* MonitorRing = nullptr;

    TOnSent OnAfterSend;
    TOnTraceEvent OnTraceState;
    TOnCommErrorEvent OnCommError;

    void Loaded() override;
    void Notification(const void* component) override;

protected:
    // Closes the port and ends the worker threads for good. The destructor of the most derived
    // class calls it first, so that no worker calls a virtual function of a half-destroyed
    // object; calling it again does nothing.
    void ShutdownForDestruction();
    SerialBackend& Backend() const { return *m_backend; }
    // Reads the error word (line errors since the last read) and refreshes ComStat. Under m_io.
    uint32_t readErrorWordLocked();
    // Its two halves: the queue status (ComStat) and the line errors since the last read. An
    // event reads only the errors before its read; the read itself tells what was queued.
    void readQueueStatusLocked();
    uint32_t readLineErrorsLocked();
    void applyLineSettingsLocked();
    void applyEventMask();
    // Writes all bytes, blocking up to the write time-out. Returns 0 or the errno of the failure.
    int writeBlocking(const uint8_t* data, size_t length);
    int flushPendingOutputLocked(const std::chrono::steady_clock::time_point* deadline);
    void setModemLine(int bit, bool on);
    // Takes one byte from the driver's input queue; false when none is there or closed.
    bool ReadQueuedByte(uint8_t& byte);
    uint64_t currentOpen() const;
    void reapSessions();

    TDCB m_line;
    TCommTimeouts m_timeouts;
    TComStat m_comStat;
    TStreamProtocol m_streamProtocol = TStreamProtocol::spHardware;
    uint16_t m_bufferInSize = 8192;
    uint16_t m_bufferOutSize = 8192;
    std::atomic<uint16_t> m_traceStates{0};
    std::atomic<uint32_t> m_eventMask{ev::RxChar};
    std::atomic<bool> m_rs485Mode{false};
    std::atomic<bool> m_useMainThread{true};
    std::atomic<bool> m_rtsEmulation{true};
    TTerminalUsage m_terminalUsage = TTerminalUsage::tuNone;
    bool m_terminalEcho = false;

private:
    friend class TCommThread;
    friend class TMsgThread;
    // Runs one event. Returns true when the read buffer filled with bytes still waiting; with
    // postMore, a received-char event for them has been posted already. readSome, when given,
    // tells whether the event took bytes from the device.
    bool handleEvent(uint32_t mask, const PortSession* session, bool postMore, bool* readSome = nullptr);
    void reportHandlerError(uint32_t systemError, const std::string& text);
    // The watcher found the device gone: close from the watcher's thread.
    void shutdownAfterDeviceLoss(uint64_t generation);
    // The watcher writes out what SendData left, as the device makes room.
    enum class PendingOutput { None, More, Busy };
    PendingOutput writePendingOutputFromWatcher();

    SerialBackend* m_backend;
    MainThreadDispatcher m_dispatcher;
    std::function<void()> m_messagePump;
    int m_doorbellFd = -1;   // what the application watches: an epoll set of the two below
    int m_doorbellRing = -1; // an eventfd the watcher writes to ring
    // Set by the watcher before it rings, cleared by the main thread before it looks at the set:
    // while clear, a wake-up of the doorbell is bytes arriving, read without asking the set.
    std::atomic<bool> m_doorbellRang{false};
    bool m_doorbellHasDevice = false; // the open port's device is in the set; under m_io

    // Guards the handle, the read buffer, the session, pending output and the device calls
    // that use the handle. Never held while an application handler runs.
    mutable std::recursive_mutex m_io;
    std::shared_ptr<std::vector<uint8_t>> m_readBuffer;
    std::shared_ptr<PortSession> m_session;
    uint64_t m_generation = 0;
    std::vector<uint8_t> m_pendingOutput; // SendData bytes not yet taken by the driver
    size_t m_pendingOffset = 0;
    ErrorCounters m_lastCounters;
    bool m_countersAvailable = false;
    bool m_countersUnsupported = false;

    std::mutex m_retiredMutex;
    std::vector<std::shared_ptr<PortSession>> m_retired;
};

} // namespace talvern::serial

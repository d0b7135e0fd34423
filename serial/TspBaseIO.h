#pragma once
// TspBaseIO: the base of the serial component. It owns the OS handle of the open device, the
// notify list and the attachments (log, data processor, terminal), and the events OnClose and
// OnAfterReceive. Derived classes add the line settings and the worker threads.
//
// Thread rules (for the whole class tree):
//  - Construct, configure, open, close, send and destroy on one thread, the application's main
//    thread. Assign event handlers while the port is closed.
//  - Port events come back through HandleComEvent on the main thread (see TspCustomComm).
//  - Exception: when the device is lost the port watcher thread closes the port and fires
//    OnClose on its own thread. An OnClose handler must therefore only do what is safe from any
//    thread (set an atomic flag, queue work for the main thread).
//  - IsOpen()/Active may be read from any thread.

#include "SerialTypes.h"
#include "TspAttachments.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace talvern::serial {

using THandle = int;
inline constexpr THandle INVALID_HANDLE_VALUE = -1;

// A thread message: number, two parameters (for a port event: the event mask and 0).
struct TMessage {
    uint32_t Msg = 0;
    uintptr_t WParam = 0;
    intptr_t LParam = 0;
};

// Process-wide message numbers in 0xC000-0xFFFF, one per name, like registered window messages.
uint32_t RegisterMessageName(const std::string& name);
uint32_t spCommMsgComEvent();
uint32_t spCommMsgQuitComEvent();

// One entry of the device list. Text fields are empty unless the source knows them.
struct TspDeviceRecord {
    std::string Name;         // the port name, "COM3"
    std::string FriendlyName; // the display name: "COM3", or "COM3 (description)"
    std::string DevicePath;   // the device node the port map names
    uint16_t PortNo = 0;
    int32_t ListIndex = -1;   // position in the device list
    TspBaseIO* Owner = nullptr;
    std::string KernelName;   // the name under which the port map lists the port
    bool Present = false;     // the device node exists
    std::string Description, Manufacturer, Driver, SerialNumber;
    std::string SymbolicLink; // the stable /dev/serial/by-id/ link
    std::string UsbId;        // USB vendor:product, "0403:6001"
    std::string BusPath;      // the device's path under /sys/devices
};

// A device-change event as the host's device monitor reports it (udev on Linux).
enum class TDeviceChangeKind : uint8_t { Arrival, Removal, NodesChanged };
struct TDeviceChangeMessage {
    TDeviceChangeKind Kind = TDeviceChangeKind::NodesChanged;
    std::string Subsystem; // udev's subsystem of the device: "tty" for a serial port
};
// The device-change message number and its parameters as HandleDeviceChange reads them:
// WParam = 0x8000 arrival, 0x8004 removal, 0x0007 nodes changed; LParam = the device type,
// 3 for a port (subsystem "tty").
inline constexpr uint32_t WM_DEVICECHANGE = 0x0219;
inline constexpr uintptr_t DBT_DEVNODES_CHANGED = 0x0007;
inline constexpr uintptr_t DBT_DEVICEARRIVAL = 0x8000;
inline constexpr uintptr_t DBT_DEVICEREMOVECOMPLETE = 0x8004;
inline constexpr intptr_t DBT_DEVTYP_PORT = 3;
TMessage DeviceChangeMessage(const TDeviceChangeMessage& change);

using TNotifyEvent = std::function<void(TspBaseIO* Sender)>;
// Buffer is the component's read buffer, valid only during the call.
using TOnReceived = std::function<void(TspBaseIO* Com, const uint8_t* Buffer, uint32_t Received)>;
using TOnFatalErrorEvent = std::function<void(TspBaseIO* Sender, uint32_t ErrorCode, uint32_t Detail,
                                              const std::string& ErrorMsg, bool& RaiseException)>;
// Shows an error's text to the user without raising it (the application's standard error display).
using TErrorDisplay = std::function<void(const std::string& text)>;

class TspBaseIO {
public:
    TspBaseIO();
    virtual ~TspBaseIO();
    TspBaseIO(const TspBaseIO&) = delete;
    TspBaseIO& operator=(const TspBaseIO&) = delete;

    // Virtual operations, in their slot order.
    virtual bool IsOpen() const;                      // 1: the handle is not -1
    virtual THandle CreateHandle();                   // 2: opens the device; base: -1
    virtual void ReleaseHandle(THandle handle);       // 3: closes the OS handle
    virtual bool HasReceiver() const;                 // 4: Terminal, OnAfterReceive or DataProcessor set
    virtual void OpenPort();                          // 5
    virtual void ClosePort();                         // 6
    virtual void StartThreads();                      // 7: base: the generic I/O thread
    virtual void StopThreads();                       // 8: base: stops and waits for it
    virtual void ThreadExecute();                     // 9: body of the generic I/O thread
    // 10: OnFatalError, the log line, then (unless the handler cleared RaiseException and
    // unless loading) shows ErrorMsg (ShowOnly) or throws SerialError(ErrorMsg).
    virtual void ReportFatalError(uint32_t ErrorCode, uint32_t Detail, const std::string& ErrorMsg, bool ShowOnly);
    virtual void NotifyClients(int code);                                 // 11
    virtual bool DoAfterReceive(const uint8_t* Buffer, uint32_t Count);   // 12
    virtual bool DoAfterSend();                                           // 13
    virtual void SelectDevice(int index);                                 // 14
    virtual int DeviceIndex() const = 0;                                  // 15
    virtual void AddDevice(const TspDeviceRecord& device);                // 16
    virtual void EnumerateDevices() = 0;                                  // 17
    virtual void ClearDevices();                                          // 18
    virtual void TerminalOutput(const uint8_t* Buffer, uint32_t Count);   // 19
    virtual void RefreshDevices();                                        // 20
    virtual void AddNotify(TspNotifyReceiver* receiver);                  // 21
    virtual void RemoveNotify(TspNotifyReceiver* receiver);               // 22
    virtual void SendChar(uint8_t ch) = 0;                                // 23
    virtual void SendString(const std::string& bytes) = 0;               // 24
    virtual void SendData(const void* data, uint32_t length) = 0;        // 25
    virtual void PurgeInput() = 0;                                        // 26
    virtual void PurgeOutput() = 0;                                       // 27
    virtual void PurgeAll() = 0;                                          // 28
    virtual void GetDevices(std::vector<std::string>* names);             // 29
    virtual bool HandleDeviceChange(const TMessage& message);             // 30

    // The same for a plain receiver routine bound to its object.
    void AddNotify(TspNotifyProc routine, void* object) { m_notifyList.Add(routine, object); }
    void RemoveNotify(TspNotifyProc routine, void* object) { m_notifyList.Remove(routine, object); }

    THandle Handle() const { return m_handle.load(std::memory_order_acquire); }
    const std::vector<TspDeviceRecord>& Devices() const { return m_devices; }
    int DeviceCount() const { return static_cast<int>(m_devices.size()); }
    // The record at index; none for an index outside the list.
    const TspDeviceRecord* Device(int index) const {
        return index >= 0 && index < DeviceCount() ? &m_devices[static_cast<size_t>(index)] : nullptr;
    }

    TspCustomLogFile* Log() const { return m_log; }
    void SetLog(TspCustomLogFile* log) { m_log = log; }
    TspCustomDataProcessor* DataProcessor() const { return m_dataProcessor; }
    void SetDataProcessor(TspCustomDataProcessor* processor);
    TspTerminalControl* Terminal() const { return m_terminal; }
    void SetTerminal(TspTerminalControl* terminal) { m_terminal = terminal; }
    const std::string& LogPrefix() const { return m_logPrefix; }

    // The standard error display used by ReportFatalError with ShowOnly. Default: standard error.
    void SetErrorDisplay(TErrorDisplay display) { m_errorDisplay = std::move(display); }

    // The framework's loading protocol: between BeginLoading and Loaded, Active only records the
    // wanted value and fatal errors neither raise nor show.
    void BeginLoading() { m_loading = true; }
    virtual void Loaded();
    bool Loading() const { return m_loading; }
    // An attached component is being destroyed: drop every reference to it.
    virtual void Notification(const void* component);

    TNotifyEvent OnClose;
    TOnReceived OnAfterReceive;
    // Published by TspCustomSerialComm; kept here because ReportFatalError fires it.
    TOnFatalErrorEvent OnFatalError;

protected:
    // A log line "<prefix><message>" at level; nothing is formatted without a log.
    void LogLine(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void ShowError(const std::string& text) const;
    void FireOnClose();

    std::atomic<THandle> m_handle{INVALID_HANDLE_VALUE};
    std::string m_logPrefix;
    bool m_loading = false;
    bool m_requestedActive = false;

private:
    TspNotifyList m_notifyList;
    std::vector<TspDeviceRecord> m_devices;
    TspCustomLogFile* m_log = nullptr;
    TspCustomDataProcessor* m_dataProcessor = nullptr;
    TspTerminalControl* m_terminal = nullptr;
    TErrorDisplay m_errorDisplay;
    std::thread m_ioThread;
    std::atomic<bool> m_ioThreadTerminated{false};
};

} // namespace talvern::serial

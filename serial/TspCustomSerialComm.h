#pragma once
// TspCustomSerialComm: the serial port selected by number, "COM<n>".
//
// COM<n> is resolved through the user's COM-port map (ComPortMap.h); without an entry it is the
// built-in port /dev/ttyS<n-1>. The port is opened read-write, non-blocking, close-on-exec,
// without becoming the controlling terminal, and for exclusive use (flock and TIOCEXCL): a
// second opener, another TALVERN or another program, gets the open error.
//
// The open error's text is "Device \"COM<n>\" Open Error !!!\r<device path>: <system error text>".

#include "ComPortMap.h"
#include "ConfigStore.h"
#include "TspCustomComm.h"

#include <optional>

namespace talvern::serial {

class TspCustomSerialComm : public TspCustomComm {
public:
    explicit TspCustomSerialComm(SerialBackend* backend = nullptr);
    ~TspCustomSerialComm() override { ShutdownForDestruction(); }

    THandle CreateHandle() override;
    void SelectDevice(int index) override;
    int DeviceIndex() const override;
    void EnumerateDevices() override;
    void RefreshDevices() override;
    std::string GetPortName() const override; // "COM%u" of ComPortNo

    // Virtual operations added here, in their slot order.
    // 36, 37: the stored port setup as one 49-byte value (StoredConfig.h) in the configuration
    // store. Without a store, or when it fails: "Error on save/load config information from
    // registry". Load ignores a value of any other length, and logs "Configuration was loaded".
    virtual void SaveConfig(const std::string& rootKey, const std::string& keyPath, const std::string& valueName);
    virtual void LoadConfig(const std::string& rootKey, const std::string& keyPath, const std::string& valueName);
    // 38: the serial plug-and-play identification ("(...)" or 0x08 ... 0x09), empty when the
    // device sends none. The line record, TraceStates and Active are as before the call, also
    // when it ends with "Device Connect Initialization Error".
    virtual std::string ReadPnPId();
    // 39: DTR on, RTS off, up to 200 ms for DSR; then RTS on, or "Device Connect Initialization
    // Error". Does nothing while closed.
    virtual void TestConnection();

    // Where SaveConfig and LoadConfig keep the value; the application owns it.
    void SetConfigStore(ConfigStore* store) { m_configStore = store; }

    uint16_t ComPortNo() const { return m_comPortNo; }
    // Closes an open port, changes the number and reopens (which can throw like an open).
    void SetComPortNo(uint16_t value);
    TComPort ComPort() const;
    void SetComPort(TComPort value); // cpCOMxx changes nothing
    TspEnumPorts EnumPorts() const { return m_enumPorts; }
    void SetEnumPorts(TspEnumPorts value) { m_enumPorts = value; }

    // The device path the port number resolves to now.
    std::string DevicePath() const;
    // A map other than the user's (tests, tools).
    void SetPortMap(ComPortMap map) { m_portMap = std::move(map); }

    // errno of the last failed open, 0 after a successful one.
    int LastOpenError() const { return m_lastOpenError; }

private:
    uint16_t m_comPortNo = 1;
    TspEnumPorts m_enumPorts = TspEnumPorts::epQuickAll;
    ComPortMap m_portMap;
    int m_lastOpenError = 0;
    ConfigStore* m_configStore = nullptr;
};

} // namespace talvern::serial

#include "TspCustomSerialComm.h"

#include "PortEnumeration.h"

#include "SerialError.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>
#include <thread>

namespace talvern::serial {
namespace {

std::string systemErrorText(int error) {
    char text[256];
    // GNU strerror_r returns the text, which may or may not be in our buffer.
    return ::strerror_r(error, text, sizeof text);
}

} // namespace

TspCustomSerialComm::TspCustomSerialComm(SerialBackend* backend) : TspCustomComm(backend) {
    m_logPrefix = "spComm: ";
}

std::string TspCustomSerialComm::GetPortName() const { return "COM" + std::to_string(m_comPortNo); }

std::string TspCustomSerialComm::DevicePath() const { return m_portMap.resolve(m_comPortNo); }

THandle TspCustomSerialComm::CreateHandle() {
    const std::string path = DevicePath();
    const int fd = path.empty() ? -ENOENT : Backend().openExclusive(path);
    if (fd >= 0) {
        m_lastOpenError = 0;
        return fd;
    }
    m_lastOpenError = -fd;
    // The second line names the device tried, so that the operator can tell which adapter of the
    // user's port map is missing or busy: "/dev/ttyUSB0: No such file or directory".
    const std::string tried = path.empty() ? std::string() : path + ": ";
    ReportFatalError(1, 0, "Device \"" + GetPortName() + "\" Open Error !!!\r" + tried + systemErrorText(-fd), false);
    return INVALID_HANDLE_VALUE;
}

void TspCustomSerialComm::SetComPortNo(uint16_t value) {
    const bool wasActive = Active();
    SetActive(false);
    m_comPortNo = value;
    SetActive(wasActive);
    NotifyClients(notify::PortChanged);
}

TComPort TspCustomSerialComm::ComPort() const {
    if (m_comPortNo >= 1 && m_comPortNo <= 8)
        return static_cast<TComPort>(m_comPortNo - 1);
    return TComPort::cpCOMxx;
}

void TspCustomSerialComm::SetComPort(TComPort value) {
    if (value == TComPort::cpCOMxx)
        return;
    SetComPortNo(static_cast<uint16_t>(static_cast<unsigned>(value) + 1));
}

void TspCustomSerialComm::EnumerateDevices() {
    ClearDevices();
    for (const auto& record : DeviceSources(m_deviceRoot).BuildDeviceList(m_portMap, m_enumPorts))
        AddDevice(record);
}

int TspCustomSerialComm::DeviceIndex() const {
    const auto& devices = Devices();
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].PortNo == m_comPortNo)
            return static_cast<int>(i);
    return -1;
}

void TspCustomSerialComm::SelectDevice(int index) {
    const auto& devices = Devices();
    if (index >= 0 && static_cast<size_t>(index) < devices.size())
        SetComPortNo(devices[static_cast<size_t>(index)].PortNo);
}

// ---- stored configuration: 49 bytes, port number, line record, time-outs

namespace {

std::filesystem::path configValuePath(const std::string& rootKey, const std::string& keyPath,
                                      const std::string& valueName) {
    std::filesystem::path folder = std::filesystem::path(ComPortMap::defaultFilePath()).parent_path() / "config";
    for (const std::string& part : {rootKey, keyPath}) {
        std::string clean;
        for (char c : part)
            clean += (c == '\\') ? '/' : c;
        folder /= std::filesystem::path(clean).relative_path();
    }
    return folder / valueName;
}

void putU32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t getU32(const uint8_t* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

} // namespace

void TspCustomSerialComm::SaveConfig(const std::string& rootKey, const std::string& keyPath,
                                     const std::string& valueName) {
    uint8_t value[49];
    value[0] = static_cast<uint8_t>(m_comPortNo & 0xFF);
    std::memcpy(value + 1, &LineRecord(), sizeof(TDCB));
    const TCommTimeouts& t = Timeouts();
    const uint32_t times[5] = {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                               t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
    for (int i = 0; i < 5; ++i)
        putU32(value + 29 + 4 * i, times[i]);
    try {
        const auto path = configValuePath(rootKey, keyPath, valueName);
        std::filesystem::create_directories(path.parent_path());
        const auto temp = path.string() + ".new";
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(value), sizeof value);
            out.close();
            if (!out)
                throw std::runtime_error("write failed");
        }
        std::filesystem::rename(temp, path);
    } catch (const std::exception&) {
        ReportFatalError(1, 0, "Error on save config information from registry", false);
        return;
    }
    LogLine(1, "Configuration was saved");
}

void TspCustomSerialComm::LoadConfig(const std::string& rootKey, const std::string& keyPath,
                                     const std::string& valueName) {
    std::vector<char> bytes;
    try {
        const auto path = configValuePath(rootKey, keyPath, valueName);
        std::filesystem::create_directories(path.parent_path());
        std::ifstream in(path, std::ios::binary);
        if (in)
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        ReportFatalError(1, 0, "Error on load config information from registry", false);
        return;
    }
    if (bytes.size() == 49) {
        const auto* value = reinterpret_cast<const uint8_t*>(bytes.data());
        SetComPortNo(value[0]);
        TDCB record;
        std::memcpy(&record, value + 1, sizeof record);
        SetLineRecord(record);
        m_timeouts.ReadIntervalTimeout = getU32(value + 29);
        m_timeouts.ReadTotalTimeoutMultiplier = getU32(value + 33);
        m_timeouts.ReadTotalTimeoutConstant = getU32(value + 37);
        m_timeouts.WriteTotalTimeoutMultiplier = getU32(value + 41);
        m_timeouts.WriteTotalTimeoutConstant = getU32(value + 45);
    }
    LogLine(1, "Configuration was loaded");
}

// ---- line utilities

void TspCustomSerialComm::TestConnection() {
    if (!IsOpen())
        return;
    PurgeAll();
    SetDTR(true);
    SetRTS(false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    bool dsr = false;
    while (IsOpen() && std::chrono::steady_clock::now() < deadline) {
        if (ModemSignals().contains(TModemSignal::msDSR)) {
            dsr = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (dsr) {
        SetRTS(true);
        LogLine(1, "The device connection was succesful tested");
    } else {
        ReportFatalError(1, 0, "Device Connect Initialization Error", false);
    }
}

std::string TspCustomSerialComm::ReadPnPId() {
    // Plug-and-play identification of modems and mice is not offered on this platform: Linux
    // identifies USB adapters itself (see /dev/serial/by-id).
    return {};
}

} // namespace talvern::serial

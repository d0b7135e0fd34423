#include "TspCustomSerialComm.h"

#include "SerialError.h"
#include "StoredConfig.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
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
    // The ports the map names, then the built-in ones that exist.
    for (uint16_t n = 1; n <= 64; ++n) {
        const std::string path = m_portMap.resolve(n);
        std::error_code error;
        if (!std::filesystem::exists(path, error))
            continue;
        TspDeviceRecord record;
        record.Name = "COM" + std::to_string(n);
        record.DevicePath = path;
        record.FriendlyName = std::filesystem::path(path).filename().string();
        record.PortNo = n;
        AddDevice(record);
    }
}

void TspCustomSerialComm::RefreshDevices() {
    EnumerateDevices();
    NotifyClients(notify::PortChanged);
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
    else
        NotifyClients(notify::PortChanged);
}

// ---- stored configuration: 49 bytes, port number, line record, time-outs

void TspCustomSerialComm::SaveConfig(const std::string& rootKey, const std::string& keyPath,
                                     const std::string& valueName) {
    StoredConfig config;
    config.comPortNo = static_cast<uint8_t>(m_comPortNo & 0xFF);
    config.line = LineRecord();
    config.timeouts = Timeouts();
    try {
        if (!m_configStore)
            throw std::runtime_error("no configuration store");
        m_configStore->writeBinary(rootKey, keyPath, valueName, EncodeStoredConfig(config));
    } catch (const std::exception&) {
        ReportFatalError(1, 0, "Error on save config information from registry", false);
        return;
    }
    LogLine(1, "Configuration was saved");
}

void TspCustomSerialComm::LoadConfig(const std::string& rootKey, const std::string& keyPath,
                                     const std::string& valueName) {
    std::optional<std::vector<uint8_t>> bytes;
    try {
        if (!m_configStore)
            throw std::runtime_error("no configuration store");
        bytes = m_configStore->readBinary(rootKey, keyPath, valueName);
    } catch (const std::exception&) {
        ReportFatalError(1, 0, "Error on load config information from registry", false);
        return;
    }
    // A value of any other length is not a port setup of ours: ignored without a message.
    if (const auto config = bytes ? DecodeStoredConfig(*bytes) : std::nullopt) {
        SetComPortNo(config->comPortNo);
        SetLineRecord(config->line);
        // The time-outs take effect with the next transfer, open or not.
        m_timeouts = config->timeouts;
    }
    LogLine(1, "Configuration was loaded");
}

} // namespace talvern::serial

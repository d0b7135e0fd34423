#pragma once
// The device list's sources on Linux.
//
// The port map is the user's COM-port map (ComPortMap.h) plus the built-in UARTs the kernel has
// found hardware behind: /dev/ttyS<k> is COM<k+1> when /sys/class/tty/ttyS<k>/type is not 0
// (the kernel's "unknown" port type; most of ttyS0..31 exist without a chip behind them). A map
// entry wins over the built-in port of the same number. A map key that is not "COM" followed by a
// decimal number cannot be given a number and is skipped; two entries for one number give one
// port, the later line winning as it does when the port is opened.
//
// The device details (description, manufacturer, driver, serial number, the stable
// /dev/serial/by-id/ link, USB vendor:product, bus path) are read from sysfs and, on the machine
// itself, from the udev database over them (UdevDetails.h).
//
// Every path is taken under a root folder: "" for the real machine; tests point it at a fake
// /dev + /sys tree in a temporary folder.

#include "ComPortMap.h"
#include "SerialTypes.h"
#include "TspBaseIO.h"

#include <cstdint>
#include <string>
#include <vector>

namespace talvern::serial {

// One port of the port map: its number and the device path the map names for it.
struct PortMapEntry {
    uint16_t PortNo = 0;
    std::string KernelName; // the device path, e.g. /dev/ttyS0 or a /dev/serial/by-id/ link
};

// What sysfs knows of the device behind a path; all text empty for a device it does not know
// (a pseudo-terminal, a missing node).
struct DeviceDetails {
    bool Present = false; // the device node exists
    std::string Description, Manufacturer, Driver, SerialNumber, ByIdLink, UsbId, BusPath;
};

class DeviceSources {
public:
    explicit DeviceSources(std::string root = {}) : m_root(std::move(root)) {}

    // The port map, sorted by port number, one entry per number.
    std::vector<PortMapEntry> PortMap(const ComPortMap& map) const;
    DeviceDetails Details(const std::string& devicePath) const;
    // The device list as the component builds it in the given mode.
    std::vector<TspDeviceRecord> BuildDeviceList(const ComPortMap& map, TspEnumPorts mode) const;

private:
    std::string under(const std::string& absolutePath) const { return m_root + absolutePath; }
    std::string m_root;
};

} // namespace talvern::serial

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

// A serial device of the machine, mapped to a COM number or not: a tty the kernel has a device
// behind (a USB adapter, a modem, a built-in UART with a chip).
struct MachineDevice {
    std::string Node;  // /dev/ttyUSB0
    DeviceDetails Details;
    // The name a COM-port map should hold for it: the by-id link, which stays when the adapter
    // is plugged in elsewhere or after another one, or the node where udev made no link.
    const std::string& StableName() const { return Details.ByIdLink.empty() ? Node : Details.ByIdLink; }
};

class DeviceSources {
public:
    explicit DeviceSources(std::string root = {}) : m_root(std::move(root)) {}

    // The port map, sorted by port number, one entry per number.
    std::vector<PortMapEntry> PortMap(const ComPortMap& map) const;
    DeviceDetails Details(const std::string& devicePath) const;
    // Every serial device of the machine whose node exists, sorted by node name (ttyS2 before
    // ttyS10); built-in UARTs without a chip behind them and pseudo-terminals are not devices.
    std::vector<MachineDevice> MachineDevices() const;
    // The device list as the component builds it in the given mode.
    std::vector<TspDeviceRecord> BuildDeviceList(const ComPortMap& map, TspEnumPorts mode) const;

private:
    std::string under(const std::string& absolutePath) const { return m_root + absolutePath; }
    std::string m_root;
};

} // namespace talvern::serial

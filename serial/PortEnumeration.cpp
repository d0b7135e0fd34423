#include "PortEnumeration.h"

#include "UdevDetails.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace fs = std::filesystem;

namespace talvern::serial {

namespace {

// The first line of a sysfs attribute, without its line break; "" when it cannot be read.
// Plain open/read: a sysfs attribute is one short read, and the list is built often enough
// (every hot-plug event) that a stream per attribute shows in its time.
std::string attribute(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buffer[256];
    ssize_t got;
    do
        got = ::read(fd, buffer, sizeof buffer);
    while (got < 0 && errno == EINTR);
    ::close(fd);
    std::string line(buffer, got > 0 ? static_cast<size_t>(got) : 0);
    if (const auto end = line.find('\n'); end != std::string::npos)
        line.erase(end);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// The number k of a tty named "ttyS<k>", or -1 for any other name.
long builtInUartNumber(const char* name) {
    if (std::strncmp(name, "ttyS", 4) != 0 || name[4] == '\0' || (name[4] == '0' && name[5] != '\0'))
        return -1; // the kernel writes no leading zeros
    long number = 0;
    for (const char* c = name + 4; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || number > 0xFFFF)
            return -1;
        number = number * 10 + (*c - '0');
    }
    return number;
}

fs::path canonicalOrEmpty(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    return error ? fs::path() : resolved;
}

} // namespace

std::vector<PortMapEntry> DeviceSources::PortMap(const ComPortMap& map) const {
    std::map<unsigned, std::string> ports;
    // Built-in UARTs with hardware behind them: type 0 is the kernel's "unknown" port. One
    // listing of the tty class finds them however many the kernel was configured with, and
    // costs far less than probing every possible ttyS<k> by name.
    if (DIR* ttys = ::opendir(under("/sys/class/tty").c_str())) {
        while (const dirent* entry = ::readdir(ttys)) {
            const long k = builtInUartNumber(entry->d_name);
            if (k < 0 || k + 1 > 0xFFFF)
                continue;
            const std::string value = attribute(under("/sys/class/tty/") + entry->d_name + "/type");
            if (!value.empty() && value != "0")
                ports[static_cast<unsigned>(k) + 1] = "/dev/ttyS" + std::to_string(k);
        }
        ::closedir(ttys);
    }
    for (const auto& [portNo, path] : map.entries())
        ports[portNo] = path; // the user's map names what COM<n> is, over the built-in port
    std::vector<PortMapEntry> result;
    result.reserve(ports.size());
    for (const auto& [portNo, path] : ports)
        result.push_back({static_cast<uint16_t>(portNo), path});
    return result;
}

DeviceDetails DeviceSources::Details(const std::string& devicePath) const {
    DeviceDetails details;
    const fs::path node = canonicalOrEmpty(under(devicePath));
    if (node.empty())
        return details;
    details.Present = true;

    // The tty's sysfs entry; a pseudo-terminal has none with a device behind it.
    const fs::path ttyClass = under("/sys/class/tty/" + node.filename().string());
    const fs::path device = canonicalOrEmpty(ttyClass / "device");
    if (device.empty())
        return details;
    details.Driver = canonicalOrEmpty(device / "driver").filename().string();
    const fs::path devices = canonicalOrEmpty(under("/sys/devices"));
    if (!devices.empty()) {
        const fs::path relative = device.lexically_relative(devices);
        if (!relative.empty() && *relative.begin() != "..")
            details.BusPath = relative.string();
    }
    // The USB device is the nearest folder above the interface that has a vendor id.
    for (fs::path folder = device; !folder.empty() && folder != folder.root_path(); folder = folder.parent_path()) {
        std::error_code error;
        if (!fs::exists(folder / "idVendor", error))
            continue;
        details.UsbId = attribute(folder / "idVendor") + ":" + attribute(folder / "idProduct");
        details.Manufacturer = attribute(folder / "manufacturer");
        details.Description = attribute(folder / "product");
        details.SerialNumber = attribute(folder / "serial");
        break;
    }
    // The stable name: the by-id link that leads to the same node.
    std::error_code error;
    for (const auto& link : fs::directory_iterator(under("/dev/serial/by-id"), error)) {
        if (canonicalOrEmpty(link.path()) == node) {
            details.ByIdLink = "/dev/serial/by-id/" + link.path().filename().string();
            break;
        }
    }
    // On the machine itself udev knows more (names from the hardware database); a fake tree has
    // only its sysfs.
    if (m_root.empty())
        AddUdevDetails(node.filename().string(), details);
    return details;
}

std::vector<TspDeviceRecord> DeviceSources::BuildDeviceList(const ComPortMap& map, TspEnumPorts mode) const {
    std::vector<TspDeviceRecord> records;
    for (const auto& port : PortMap(map)) {
        TspDeviceRecord record;
        record.PortNo = port.PortNo;
        record.Name = "COM" + std::to_string(port.PortNo);
        record.FriendlyName = record.Name;
        record.KernelName = port.KernelName;
        record.DevicePath = port.KernelName;
        if (mode != TspEnumPorts::epQuickAll) {
            const DeviceDetails details = Details(port.KernelName);
            if (mode == TspEnumPorts::epFullPresent && !details.Present)
                continue;
            record.Present = details.Present;
            record.Description = details.Description;
            record.Manufacturer = details.Manufacturer;
            record.Driver = details.Driver;
            record.SerialNumber = details.SerialNumber;
            record.SymbolicLink = details.ByIdLink;
            record.UsbId = details.UsbId;
            record.BusPath = details.BusPath;
            if (!details.Description.empty())
                record.FriendlyName = record.Name + " (" + details.Description + ")";
        } else {
            std::error_code error;
            record.Present = fs::exists(under(port.KernelName), error);
        }
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace talvern::serial

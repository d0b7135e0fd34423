// The machine's own serial devices, mapped to a COM number or not (DeviceSources::MachineDevices).

#include "PortEnumeration.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace talvern::serial {

namespace {

// Whether a built-in UART has a chip behind it: its type is not the kernel's "unknown" (0).
bool uartHasHardware(const fs::path& ttyClassEntry) {
    std::ifstream in(ttyClassEntry / "type");
    std::string value;
    in >> value;
    return !value.empty() && value != "0";
}

// "ttyS10" after "ttyS2": names compared with their trailing numbers as numbers.
bool nodeNameLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& name) {
        size_t digits = name.size();
        while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
            --digits;
        const std::string number = name.substr(digits);
        return std::make_pair(name.substr(0, digits), number.empty() ? 0UL : std::stoul(number.substr(0, 9)));
    };
    const auto left = split(a), right = split(b);
    return left != right ? left < right : a < b;
}

} // namespace

std::vector<MachineDevice> DeviceSources::MachineDevices() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(under("/sys/class/tty"), error)) {
        const std::string name = entry.path().filename().string();
        std::error_code linkError;
        // A tty without a device behind it is virtual: a console, a pseudo-terminal.
        if (!fs::exists(entry.path() / "device", linkError))
            continue;
        if (name.rfind("ttyS", 0) == 0 && !uartHasHardware(entry.path()))
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), nodeNameLess);
    std::vector<MachineDevice> devices;
    for (const auto& name : names) {
        MachineDevice device{"/dev/" + name, Details("/dev/" + name)};
        if (device.Details.Present)
            devices.push_back(std::move(device));
    }
    return devices;
}

} // namespace talvern::serial

#pragma once
// What a udev event means to the device list: udev's action and subsystem turned into the
// component's device-change message (TspBaseIO::HandleDeviceChange decides whether it refreshes).

#include "TspBaseIO.h"

#include <optional>
#include <string>

namespace talvern::serial {

// "add" is an arrival, "remove" a removal, "move" (a renamed node) a change of the device nodes;
// other actions ("change", "bind", "unbind") do not add or take away a device and give nothing.
inline std::optional<TDeviceChangeMessage> DeviceChangeFromUdev(const std::string& action,
                                                                const std::string& subsystem) {
    if (action == "add")
        return TDeviceChangeMessage{TDeviceChangeKind::Arrival, subsystem};
    if (action == "remove")
        return TDeviceChangeMessage{TDeviceChangeKind::Removal, subsystem};
    if (action == "move")
        return TDeviceChangeMessage{TDeviceChangeKind::NodesChanged, subsystem};
    return std::nullopt;
}

} // namespace talvern::serial

#pragma once
// The udev database's word on a tty device: vendor and model names from the hardware database,
// serial number, USB driver and ids, the by-id link. Fills only what udev knows, over what sysfs
// gave; does nothing where udev is absent (no libudev at build time, no udev database).

#include "PortEnumeration.h"

#include <string>

namespace talvern::serial {

void AddUdevDetails(const std::string& ttyName, DeviceDetails& details);

} // namespace talvern::serial

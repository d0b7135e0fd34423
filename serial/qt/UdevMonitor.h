#pragma once
// The host side of hot-plug: a udev monitor on the Qt event loop that hands every device event
// to a component's HandleDeviceChange, which rebuilds the device list for port events only and
// tells its clients (code 3). Create it on the main thread; destroy it before the component.
// Without udev (no libudev at build time, or no udev on the machine) it does nothing and
// Active() is false.

#include "TspBaseIO.h"

#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace talvern::serial {

class UdevMonitor {
public:
    explicit UdevMonitor(TspBaseIO& component);
    ~UdevMonitor();
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    bool Active() const { return m_notifier != nullptr; }

private:
    void readEvents();

    TspBaseIO& m_component;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace talvern::serial

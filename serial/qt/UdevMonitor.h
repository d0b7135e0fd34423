#pragma once
// The host side of hot-plug: a udev monitor on the Qt event loop that hands every device event
// to a component's HandleDeviceChange, which rebuilds the device list for port events only and
// tells its clients (code 3). Create it on the main thread; destroy it before the component.
// Without libudev at build time, or without netlink, it does nothing and Active() is false.
// Without the udev daemon it hears the kernel's own events (no by-id links are made then).

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
    // Whether the udev daemon runs; without it the monitor listens to the kernel's events.
    static bool UdevDaemonRuns();

private:
    void readEvents();

    TspBaseIO& m_component;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace talvern::serial

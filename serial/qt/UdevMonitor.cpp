#include "UdevMonitor.h"

#include "DeviceChange.h"

#include <QSocketNotifier>

#include <unistd.h>

#if TALVERN_HAVE_LIBUDEV
#include <libudev.h>
#endif

namespace talvern::serial {

UdevMonitor::UdevMonitor(TspBaseIO& component) : m_component(component) {
#if TALVERN_HAVE_LIBUDEV
    m_udev = udev_new();
    if (m_udev == nullptr)
        return;
    // Events after udev has made the nodes and links, so a new by-id link is already there. A
    // machine without the udev daemon (a container, a minimal system) hears only the kernel's
    // own events, sent once its device node exists; without them the list would never follow.
    m_monitor = udev_monitor_new_from_netlink(m_udev, UdevDaemonRuns() ? "udev" : "kernel");
    if (m_monitor == nullptr || udev_monitor_enable_receiving(m_monitor) < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readEvents(); });
#endif
}

bool UdevMonitor::UdevDaemonRuns() {
    return ::access("/run/udev/control", F_OK) == 0;
}

UdevMonitor::~UdevMonitor() {
    m_notifier.reset();
#if TALVERN_HAVE_LIBUDEV
    if (m_monitor != nullptr)
        udev_monitor_unref(m_monitor);
    if (m_udev != nullptr)
        udev_unref(m_udev);
#endif
}

void UdevMonitor::readEvents() {
#if TALVERN_HAVE_LIBUDEV
    // The socket is non-blocking: take every queued event, then let the loop run again.
    while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
        const char* action = udev_device_get_action(device);
        const char* subsystem = udev_device_get_subsystem(device);
        const auto change = DeviceChangeFromUdev(action != nullptr ? action : "", subsystem != nullptr ? subsystem : "");
        udev_device_unref(device);
        if (change)
            m_component.HandleDeviceChange(DeviceChangeMessage(*change));
    }
#endif
}

} // namespace talvern::serial

// hotplug-bench: how long the port assignment window takes from a device event to its refreshed
// lists (both the COM rows and the machine's devices), over a fake machine with a few USB
// adapters in a temporary folder. Two paths:
//   - the event handed to the component as the udev monitor hands it (HandleDeviceChange);
//   - a device node appearing or going, seen by the tree watcher (inotify) and the event loop.
// A real udev event needs a udev daemon and hardware; where the machine has udev the first path
// is what follows the monitor's socket becoming readable. Prints the median and the worst of
// many runs.
//   hotplug-bench [RUNS]
#include "PortAssignment.h"
#include "TspComm.h"
#include "UdevMonitor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace talvern;

namespace {

void file(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
}

// A USB adapter's sysfs entry and by-id link; the node comes last, as devtmpfs makes it.
void plugSysfs(const std::string& root, int n) {
    const std::string tty = "ttyUSB" + std::to_string(n);
    const std::string usb = root + "/sys/devices/pci0000:00/usb1/1-" + std::to_string(n);
    file(usb + "/idVendor", "0403\n");
    file(usb + "/idProduct", "6001\n");
    file(usb + "/manufacturer", "FTDI\n");
    file(usb + "/product", "FT232R USB UART\n");
    fs::create_directories(usb + "/1-1:1.0/" + tty);
    fs::create_directories(root + "/sys/class/tty/" + tty);
    fs::create_symlink(usb + "/1-1:1.0/" + tty, root + "/sys/class/tty/" + tty + "/device");
    fs::create_directories(root + "/dev/serial/by-id");
    fs::create_symlink(root + "/dev/" + tty, root + "/dev/serial/by-id/usb-FTDI_" + std::to_string(n) + "-if00-port0");
}

void unplug(const std::string& root, int n) {
    const std::string tty = "ttyUSB" + std::to_string(n);
    fs::remove(root + "/dev/" + tty);
    fs::remove(root + "/dev/serial/by-id/usb-FTDI_" + std::to_string(n) + "-if00-port0");
    fs::remove_all(root + "/sys/class/tty/" + tty);
}

struct Figures {
    double median = 0, worst = 0;
};

Figures summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100;
    QTemporaryDir folder;
    const std::string root = folder.path().toStdString();
    constexpr int adapters = 4;
    for (int n = 0; n < adapters; ++n) {
        plugSysfs(root, n);
        file(root + "/dev/ttyUSB" + std::to_string(n), "");
    }
    file(root + "/comports", "COM1 = /dev/serial/by-id/usb-FTDI_0-if00-port0\n"
                             "COM2 = /dev/serial/by-id/usb-FTDI_3-if00-port0\n");
    PortAssignmentWindow window(PortDeviceSources::OfTree(root, serial::ComPortMap(root + "/comports")));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "the window was not shown\n");

    const int moving = adapters - 1; // the adapter that comes and goes (COM2's)
    std::vector<double> handed, watched;
    for (int i = 0; i < runs; ++i) {
        // The event handed over as the udev monitor hands it, after the device went or came.
        if (i % 2 == 0)
            unplug(root, moving);
        else {
            plugSysfs(root, moving);
            file(root + "/dev/ttyUSB" + std::to_string(moving), "");
        }
        app.processEvents(); // the tree watcher's own notice of the change, outside the timing
        QTest::qWait(5);
        const auto kind = i % 2 == 0 ? serial::TDeviceChangeKind::Removal : serial::TDeviceChangeKind::Arrival;
        const auto start = std::chrono::steady_clock::now();
        window.watched().HandleDeviceChange(serial::DeviceChangeMessage({kind, "tty"}));
        handed.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    // The machine as it was: every adapter in.
    if (window.devices()->rowCount() != adapters) {
        plugSysfs(root, moving);
        file(root + "/dev/ttyUSB" + std::to_string(moving), "");
        QTest::qWait(50);
    }
    for (int i = 0; i < runs; ++i) {
        const bool removal = i % 2 == 0;
        if (!removal)
            plugSysfs(root, moving);
        const int before = window.refreshCount();
        const auto start = std::chrono::steady_clock::now();
        if (removal)
            unplug(root, moving);
        else
            file(root + "/dev/ttyUSB" + std::to_string(moving), "");
        QElapsedTimer limit;
        limit.start();
        while (window.refreshCount() == before && limit.elapsed() < 2000)
            app.processEvents(QEventLoop::WaitForMoreEvents, 5);
        watched.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        QTest::qWait(5); // late notices of the same change settle before the next run
    }
    // A real netlink event: the kernel's "add" for the machine's own ttyS0, which is what
    // `udevadm trigger` sends. Only as the superuser and only where no udev daemon would act on
    // it; the window's lists are rebuilt from the fake machine as before.
    std::vector<double> netlink;
    const char* uevent = "/sys/class/tty/ttyS0/uevent";
    if (::geteuid() == 0 && !serial::UdevMonitor::UdevDaemonRuns() && ::access(uevent, W_OK) == 0) {
        serial::UdevMonitor monitor(window.watched());
        for (int i = 0; monitor.Active() && i < runs; ++i) {
            const int before = window.refreshCount();
            const auto start = std::chrono::steady_clock::now();
            std::ofstream(uevent) << "add";
            QElapsedTimer limit;
            limit.start();
            while (window.refreshCount() == before && limit.elapsed() < 1000)
                app.processEvents(QEventLoop::WaitForMoreEvents, 5);
            if (window.refreshCount() == before)
                break; // no events reach this machine's netlink socket
            netlink.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
    }
    const Figures a = summarise(handed), b = summarise(watched);
    std::printf("%-58s %10s %10s   (%d runs, %d adapters, goal <= 50 ms)\n", "device event -> refreshed lists",
                "median ms", "worst ms", runs, adapters);
    std::printf("%-58s %10.2f %10.2f\n", "event handed to the component (the udev monitor's path)", a.median, a.worst);
    std::printf("%-58s %10.2f %10.2f\n", "device node made or removed (tree watcher, inotify)", b.median, b.worst);
    if (netlink.empty()) {
        std::printf("%-58s %10s\n", "kernel event over netlink (udev monitor)", "n/a (needs root, no udevd)");
    } else {
        const Figures c = summarise(netlink);
        std::printf("%-58s %10.2f %10.2f\n", "kernel event over netlink (udev monitor)", c.median, c.worst);
    }
    return 0;
}

// talvern-ports: shows which device each COM number stands for, as the serial component's device
// list has it.
#include "BuildVersion.h"
#include "PortEnumeration.h"

#include <chrono>
#include <iostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#if TALVERN_HAVE_LIBUDEV
#include <libudev.h>
#include <poll.h>
#endif

using namespace talvern::serial;

namespace {

void usage(std::ostream& out) {
    out << "usage: talvern-ports [--full | --present] [--watch] [--map FILE]\n"
           "       talvern-ports --version\n"
           "\n"
           "One port a line: COMn, the device path, present or absent, and (with --full or --present) the\n"
           "device's description, separated by tabs. --full adds what the system knows of each device;\n"
           "--present also leaves out ports whose device is absent. --watch keeps running and prints a line\n"
           "starting with \"+ \" for every port that appears or changes and \"- \" for every one that goes.\n"
           "--map reads another COM-port map than the user's (~/.config/talvern/comports).\n";
}

std::string line(const TspDeviceRecord& record) {
    std::string text = record.Name + "\t" + record.DevicePath + "\t" + (record.Present ? "present" : "absent");
    if (!record.Description.empty())
        text += "\t" + record.Description;
    return text;
}

std::vector<std::string> lines(const DeviceSources& sources, const ComPortMap& map, TspEnumPorts mode) {
    std::vector<std::string> result;
    for (const auto& record : sources.BuildDeviceList(map, mode))
        result.push_back(line(record));
    return result;
}

void printChanges(const std::vector<std::string>& before, const std::vector<std::string>& after) {
    const std::set<std::string> old(before.begin(), before.end()), now(after.begin(), after.end());
    for (const auto& text : before)
        if (!now.contains(text))
            std::cout << "- " << text << "\n";
    for (const auto& text : after)
        if (!old.contains(text))
            std::cout << "+ " << text << "\n";
    std::cout.flush();
}

// Waits for the next change of a serial device: a udev event of the tty subsystem, or (without
// udev) one second.
class ChangeWaiter {
public:
    ChangeWaiter() {
#if TALVERN_HAVE_LIBUDEV
        m_udev = udev_new();
        if (m_udev != nullptr)
            m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (m_monitor != nullptr) {
            udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr);
            if (udev_monitor_enable_receiving(m_monitor) < 0) {
                udev_monitor_unref(m_monitor);
                m_monitor = nullptr;
            }
        }
#endif
    }
    ~ChangeWaiter() {
#if TALVERN_HAVE_LIBUDEV
        if (m_monitor != nullptr)
            udev_monitor_unref(m_monitor);
        if (m_udev != nullptr)
            udev_unref(m_udev);
#endif
    }
    ChangeWaiter(const ChangeWaiter&) = delete;
    ChangeWaiter& operator=(const ChangeWaiter&) = delete;

    void wait() {
#if TALVERN_HAVE_LIBUDEV
        if (m_monitor != nullptr) {
            pollfd fd{udev_monitor_get_fd(m_monitor), POLLIN, 0};
            if (::poll(&fd, 1, 1000) > 0)
                if (udev_device* device = udev_monitor_receive_device(m_monitor))
                    udev_device_unref(device);
            return;
        }
#endif
        // A device without udev, or a map edited by hand: look again every second.
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }

private:
#if TALVERN_HAVE_LIBUDEV
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
#endif
};

} // namespace

int main(int argc, char** argv) {
    TspEnumPorts mode = TspEnumPorts::epQuickAll;
    bool watch = false;
    std::string mapFile;
    std::string root; // a fake /dev + /sys tree (tests); not in the usage text
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--full")
            mode = TspEnumPorts::epFullInfo;
        else if (args[i] == "--present")
            mode = TspEnumPorts::epFullPresent;
        else if (args[i] == "--watch")
            watch = true;
        else if (args[i] == "--map" && i + 1 < args.size())
            mapFile = args[++i];
        else if (args[i] == "--root" && i + 1 < args.size())
            root = args[++i];
        else if (args[i] == "--version" && args.size() == 1) {
            std::cout << talvern::versionLine("talvern-ports") << "\n";
            return 0;
        } else if (args[i] == "--help" || args[i] == "-h") {
            usage(std::cout);
            return 0;
        } else {
            std::cerr << "talvern-ports: unknown argument: " << args[i] << "\n";
            usage(std::cerr);
            return 2;
        }
    }
    const ComPortMap map = mapFile.empty() ? ComPortMap() : ComPortMap(mapFile);
    const DeviceSources sources(root);
    std::vector<std::string> shown = lines(sources, map, mode);
    for (const auto& text : shown)
        std::cout << text << "\n";
    std::cout.flush();
    if (!watch)
        return 0;
    ChangeWaiter waiter;
    for (;;) {
        waiter.wait();
        auto now = lines(sources, map, mode);
        if (now != shown) {
            printChanges(shown, now);
            shown = std::move(now);
        }
    }
}

// The device list built from a fake /dev + /sys tree: the port map, the sysfs details, the three
// modes, and the component's list operations and device-change rule.
#include "DeviceChange.h"
#include "PortEnumeration.h"
#include "TspComm.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace talvern::serial;

namespace {

// A machine with one real UART (ttyS0), one without hardware (ttyS1), and an FTDI USB adapter
// (ttyUSB0) with its by-id link. The COM map names the adapter twice (by link and by node),
// a missing device, and holds lines that give no port.
class FakeMachine : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "fakemachine-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        file("/sys/class/tty/ttyS0/type", "4\n"); // 16550A
        file("/sys/class/tty/ttyS1/type", "0\n"); // "unknown": no chip behind it
        file("/dev/ttyS0", "");
        file("/dev/ttyS1", "");
        const std::string usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
        file(usb + "/idVendor", "0403\n");
        file(usb + "/idProduct", "6001\n");
        file(usb + "/manufacturer", "FTDI\n");
        file(usb + "/product", "FT232R USB UART\n");
        file(usb + "/serial", "A1B2C3\n");
        file("/sys/bus/usb-serial/drivers/ftdi_sio/bind", "");
        fs::create_directories(root + usb + "/1-2:1.0/ttyUSB0");
        link(usb + "/1-2:1.0/ttyUSB0/driver", "/sys/bus/usb-serial/drivers/ftdi_sio");
        fs::create_directories(root + "/sys/class/tty/ttyUSB0");
        link("/sys/class/tty/ttyUSB0/device", usb + "/1-2:1.0/ttyUSB0");
        file("/dev/ttyUSB0", "");
        link("/dev/serial/by-id/" + byIdName, "/dev/ttyUSB0");
        file("/config/talvern/comports", "# site ports\n"
                                         "COM10 = /dev/ttyUSB0\n"
                                         "COM2 = /dev/serial/by-id/" + byIdName + "\n"
                                         "COM3 = /dev/ttyACM7\n"
                                         "COM3 = /dev/ttyACM9\n" // the later line wins
                                         "COMX = /dev/ttyUSB5\n" // no number: no port
                                         "COM = /dev/ttyUSB6\n");
    }
    void TearDown() override { fs::remove_all(root); }

    void file(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(root + path).parent_path());
        std::ofstream(root + path) << text;
    }
    void link(const std::string& path, const std::string& target) {
        fs::create_directories(fs::path(root + path).parent_path());
        fs::create_symlink(root + target, root + path);
    }
    ComPortMap map() const { return ComPortMap(root + "/config/talvern/comports"); }

    const std::string byIdName = "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    std::string root;
};

TEST_F(FakeMachine, PortMapIsSortedByNumberOnePortPerNumber) {
    const auto ports = DeviceSources(root).PortMap(map());
    std::vector<std::pair<unsigned, std::string>> got;
    for (const auto& p : ports)
        got.emplace_back(p.PortNo, p.KernelName);
    const std::vector<std::pair<unsigned, std::string>> expected = {
        {1, "/dev/ttyS0"}, // ttyS1 has no hardware: no COM2 from it, and the map's COM2 wins anyway
        {2, "/dev/serial/by-id/" + byIdName},
        {3, "/dev/ttyACM9"},
        {10, "/dev/ttyUSB0"}, // after COM2 and COM3, not between COM1 and COM2
    };
    EXPECT_EQ(got, expected);
}

// UARTs are found by listing the tty class: a multi-port card's ttyS40 counts, while names that
// only begin like a UART's (ttySAC0 of other UART drivers) give no port.
TEST_F(FakeMachine, BuiltInUartsBeyondTheUsualThirtyTwo) {
    file("/sys/class/tty/ttyS40/type", "4\n");
    file("/sys/class/tty/ttySAC0/type", "4\n");
    file("/sys/class/tty/ttyS/type", "4\n");
    std::vector<std::pair<unsigned, std::string>> got;
    for (const auto& p : DeviceSources(root).PortMap(ComPortMap(root + "/config/talvern/none")))
        got.emplace_back(p.PortNo, p.KernelName);
    const std::vector<std::pair<unsigned, std::string>> expected = {{1, "/dev/ttyS0"}, {41, "/dev/ttyS40"}};
    EXPECT_EQ(got, expected);
}

TEST_F(FakeMachine, DetailsOfTheUsbAdapterFromSysfs) {
    for (const std::string& path : {std::string("/dev/ttyUSB0"), "/dev/serial/by-id/" + byIdName}) {
        SCOPED_TRACE(path);
        const DeviceDetails d = DeviceSources(root).Details(path);
        EXPECT_TRUE(d.Present);
        EXPECT_EQ(d.Description, "FT232R USB UART");
        EXPECT_EQ(d.Manufacturer, "FTDI");
        EXPECT_EQ(d.Driver, "ftdi_sio");
        EXPECT_EQ(d.SerialNumber, "A1B2C3");
        EXPECT_EQ(d.UsbId, "0403:6001");
        EXPECT_EQ(d.ByIdLink, "/dev/serial/by-id/" + byIdName);
        EXPECT_EQ(d.BusPath, "pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0");
    }
    EXPECT_FALSE(DeviceSources(root).Details("/dev/ttyACM9").Present);
    EXPECT_TRUE(DeviceSources(root).Details("/dev/ttyS0").Description.empty());
}

TEST_F(FakeMachine, ThreeModes) {
    struct Case {
        TspEnumPorts mode;
        std::vector<std::pair<std::string, bool>> expected; // display name, present
    };
    const Case cases[] = {
        {TspEnumPorts::epQuickAll, {{"COM1", true}, {"COM2", true}, {"COM3", false}, {"COM10", true}}},
        {TspEnumPorts::epFullInfo,
         {{"COM1", true}, {"COM2 (FT232R USB UART)", true}, {"COM3", false}, {"COM10 (FT232R USB UART)", true}}},
        {TspEnumPorts::epFullPresent,
         {{"COM1", true}, {"COM2 (FT232R USB UART)", true}, {"COM10 (FT232R USB UART)", true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        std::vector<std::pair<std::string, bool>> got;
        for (const auto& r : DeviceSources(root).BuildDeviceList(map(), c.mode))
            got.emplace_back(r.FriendlyName, r.Present);
        EXPECT_EQ(got, c.expected);
    }
}

// The machine's own serial devices, mapped or not: what an operator can assign to a COM number.
TEST_F(FakeMachine, MachineDevicesAreTheTtysWithHardwareBehindThem) {
    link("/sys/class/tty/ttyS0/device", "/sys/devices/platform/serial8250");
    fs::create_directories(root + "/sys/devices/platform/serial8250");
    link("/sys/class/tty/ttyS1/device", "/sys/devices/platform/serial8250"); // type 0: no chip
    // A CDC modem without a by-id link, a second one whose node udev has not made yet, and a
    // virtual console.
    for (const std::string name : {"ttyACM10", "ttyACM2", "ttyACM3"}) {
        fs::create_directories(root + "/sys/devices/usb2/" + name);
        link("/sys/class/tty/" + name + "/device", "/sys/devices/usb2/" + name);
    }
    file("/dev/ttyACM10", "");
    file("/dev/ttyACM2", "");
    fs::create_directories(root + "/sys/class/tty/tty1");
    file("/dev/tty1", "");

    std::vector<std::pair<std::string, std::string>> got; // node, stable name
    for (const auto& device : DeviceSources(root).MachineDevices())
        got.emplace_back(device.Node, device.StableName());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/dev/ttyACM2", "/dev/ttyACM2"},
        {"/dev/ttyACM10", "/dev/ttyACM10"}, // after ttyACM2
        {"/dev/ttyS0", "/dev/ttyS0"},
        {"/dev/ttyUSB0", "/dev/serial/by-id/" + byIdName}, // never the name that moves with plug order
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(DeviceSources(root).MachineDevices()[3].Details.Description, "FT232R USB UART");
}

struct Notifications : TspNotifyReceiver {
    void SerialNotify(TspBaseIO*, int code) override { codes.push_back(code); }
    std::vector<int> codes;
};

TEST_F(FakeMachine, ComponentListSelectionAndDeviceChanges) {
    TspComm comm;
    comm.SetPortMap(map());
    comm.SetDeviceRoot(root);
    comm.SetEnumPorts(TspEnumPorts::epFullInfo);
    std::vector<std::string> names{"stale"};
    comm.GetDevices(&names);
    EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM2 (FT232R USB UART)", "COM3", "COM10 (FT232R USB UART)"}));
    for (size_t i = 0; i < comm.Devices().size(); ++i) {
        EXPECT_EQ(comm.Devices()[i].ListIndex, static_cast<int>(i));
        EXPECT_EQ(comm.Devices()[i].Owner, &comm);
    }

    EXPECT_EQ(comm.DeviceCount(), 4);
    EXPECT_EQ(comm.Device(3)->Name, "COM10");
    EXPECT_EQ(comm.Device(4), nullptr);
    EXPECT_EQ(comm.Device(-1), nullptr);

    Notifications seen;
    comm.AddNotify(&seen);
    comm.SetComPortNo(3);
    seen.codes.clear();
    EXPECT_EQ(comm.DeviceIndex(), 2);
    comm.SelectDevice(static_cast<int>(comm.Devices().size())); // one past the end
    comm.SelectDevice(-1);
    EXPECT_EQ(comm.ComPortNo(), 3);
    EXPECT_TRUE(seen.codes.empty());
    comm.SelectDevice(3);
    EXPECT_EQ(comm.ComPortNo(), 10);
    EXPECT_EQ(comm.DeviceIndex(), 3);

    // Events that are not about ports change nothing.
    seen.codes.clear();
    fs::remove(root + "/dev/ttyUSB0");
    struct Ignored {
        TMessage message;
        const char* what;
    };
    const Ignored ignored[] = {
        {DeviceChangeMessage({TDeviceChangeKind::Arrival, "block"}), "a disk arrives"},
        {DeviceChangeMessage({TDeviceChangeKind::Removal, "input"}), "a mouse leaves"},
        {TMessage{0x0400, DBT_DEVICEARRIVAL, DBT_DEVTYP_PORT}, "another message number"},
    };
    for (const auto& c : ignored) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(comm.HandleDeviceChange(c.message));
    }
    EXPECT_TRUE(seen.codes.empty());
    EXPECT_TRUE(comm.Devices()[3].Present); // not refreshed

    // The adapter's removal refreshes the list and tells the clients (code 3).
    EXPECT_TRUE(comm.HandleDeviceChange(DeviceChangeMessage({TDeviceChangeKind::Removal, "tty"})));
    EXPECT_EQ(seen.codes, std::vector<int>{3});
    EXPECT_FALSE(comm.Devices()[3].Present);
    EXPECT_EQ(comm.Devices()[3].FriendlyName, "COM10");

    // Its arrival brings it back.
    file("/dev/ttyUSB0", "");
    EXPECT_TRUE(comm.HandleDeviceChange(DeviceChangeMessage({TDeviceChangeKind::Arrival, "tty"})));
    EXPECT_EQ(seen.codes, (std::vector<int>{3, 3}));
    EXPECT_EQ(comm.Devices()[3].FriendlyName, "COM10 (FT232R USB UART)");
    EXPECT_TRUE(comm.HandleDeviceChange(DeviceChangeMessage({TDeviceChangeKind::NodesChanged, ""})));
    comm.RemoveNotify(&seen);
}

// talvern-ports on a map naming a pseudo-terminal, a by-id link and a missing device.
TEST_F(FakeMachine, PortsToolLinesInEachMode) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string pty = ::ptsname(master);
    fs::create_directories(fs::path(root + pty).parent_path());
    fs::create_symlink(pty, root + pty); // the real terminal, seen from inside the fake tree
    file("/config/ports-tool", "COM1 = " + pty + "\n"
                               "COM2 = /dev/serial/by-id/" + byIdName + "\n"
                               "COM3 = /dev/ttyACM9\n");
    const std::string ptyLine = "COM1\t" + pty + "\tpresent";
    const std::string byIdLine = "COM2\t/dev/serial/by-id/" + byIdName + "\tpresent";
    const std::string missingLine = "COM3\t/dev/ttyACM9\tabsent";
    struct Case {
        const char* option;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"", {ptyLine, byIdLine, missingLine}},
        {"--full", {ptyLine, byIdLine + "\tFT232R USB UART", missingLine}},
        {"--present", {ptyLine, byIdLine + "\tFT232R USB UART"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        const std::string command = std::string(TALVERN_PORTS_TOOL) + " " + c.option + " --root '" + root +
                                    "' --map '" + root + "/config/ports-tool'";
        FILE* out = ::popen(command.c_str(), "r");
        ASSERT_NE(out, nullptr);
        std::vector<std::string> got;
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, out) != nullptr) {
            std::string text = buffer;
            if (!text.empty() && text.back() == '\n')
                text.pop_back();
            got.push_back(text);
        }
        EXPECT_EQ(::pclose(out), 0);
        EXPECT_EQ(got, c.expected);
    }
    ::close(master);
}

// --watch: unplugging the adapter turns COM2's line from present to absent.
TEST_F(FakeMachine, PortsToolWatchPrintsChanges) {
    file("/config/ports-tool", "COM2 = /dev/serial/by-id/" + byIdName + "\n");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        const std::string map = root + "/config/ports-tool";
        ::execl(TALVERN_PORTS_TOOL, TALVERN_PORTS_TOOL, "--watch", "--root", root.c_str(), "--map", map.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    FILE* lines = ::fdopen(out[0], "r");
    auto next = [&] {
        char buffer[4096];
        std::string text = std::fgets(buffer, sizeof buffer, lines) != nullptr ? buffer : "";
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    };
    const std::string present = "COM2\t/dev/serial/by-id/" + byIdName + "\tpresent";
    const std::string absent = "COM2\t/dev/serial/by-id/" + byIdName + "\tabsent";
    EXPECT_EQ(next(), "COM1\t/dev/ttyS0\tpresent");
    EXPECT_EQ(next(), present);
    fs::remove(root + "/dev/ttyUSB0");
    EXPECT_EQ(next(), "- " + present);
    EXPECT_EQ(next(), "+ " + absent);
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    std::fclose(lines);
}

TEST(DeviceChangeFromUdev, ActionsThatAddOrTakeAwayADevice) {
    struct Case {
        const char* action;
        std::optional<TDeviceChangeKind> kind;
    };
    const Case cases[] = {{"add", TDeviceChangeKind::Arrival},
                          {"remove", TDeviceChangeKind::Removal},
                          {"move", TDeviceChangeKind::NodesChanged},
                          {"change", std::nullopt},
                          {"bind", std::nullopt},
                          {"", std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        const auto change = DeviceChangeFromUdev(c.action, "tty");
        ASSERT_EQ(change.has_value(), c.kind.has_value());
        if (change) {
            EXPECT_EQ(change->Kind, *c.kind);
            EXPECT_EQ(change->Subsystem, "tty");
        }
    }
}

TEST(PortEnumerationMachine, TheRealMachineListsOnlyNumberedPortsInOrder) {
    // Whatever this machine has: every record is COM<n>, unique and ascending.
    const auto records = DeviceSources().BuildDeviceList(ComPortMap("/nonexistent/comports"), TspEnumPorts::epFullInfo);
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].Name, "COM" + std::to_string(records[i].PortNo));
        if (i > 0) {
            EXPECT_LT(records[i - 1].PortNo, records[i].PortNo);
        }
    }
}

} // namespace

#pragma once
// "Przypisanie portów": which device each of COM1..COM4 stands for, and the machine's serial
// devices to choose from. The operator selects a device and presses "Przypisz" beside a COM
// number; the COM-port map then names the device by its stable /dev/serial/by-id/ link (never a
// ttyUSBn name, which moves with plug order), written atomically with every other line and
// comment of the map kept. While the window shows, the list follows devices plugged in and
// pulled out. A device the operator may not open is marked, with the command that gives access.
//
// The program's own port choice ("Port", COM1..COM4 in the "Port" menu) is not touched here: the
// window says what those numbers stand for.

#include "ComPortMap.h"
#include "DeviceAccess.h"
#include "PortEnumeration.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace talvern {

namespace serial {
class TspComm;
class UdevMonitor;
class DeviceTreeWatcher;
} // namespace serial

// Where the window reads its devices and how it learns of changes. The program's own: the
// machine, udev, the operator's permissions. A fake device tree (a folder with dev/ and sys/)
// comes with hot-plug read from its dev/ folder and with permissions read as an ordinary
// operator's, so that a test run by the superuser still meets a device it may not open.
struct PortDeviceSources {
    std::string root; // "" for the machine
    serial::ComPortMap map;
    std::function<serial::DeviceAccess(const std::string& path)> access;
    static PortDeviceSources OfTheMachine();
    static PortDeviceSources OfTree(const std::string& root, serial::ComPortMap map);
    // The tree named by TALVERN_DEVICE_ROOT when set (demonstrations, the X tests), else the machine.
    static PortDeviceSources FromEnvironment();
};

// The text shown for a device the operator may not open: why, and the one command that helps.
QString accessRefusedText(const QString& device, const serial::DeviceAccess& access);

class PortAssignmentWindow : public QDialog {
    Q_OBJECT

public:
    static constexpr int kPorts = 4; // the program's COM1..COM4

    explicit PortAssignmentWindow(PortDeviceSources sources, QWidget* parent = nullptr);
    ~PortAssignmentWindow() override;

    // Reads the map and the devices again and shows them (the hot-plug path ends here).
    void refresh();
    // The selected device to COM<portNo>: writes the map, shows the new state, and tells the
    // operator in a box when that device cannot be opened by them. A write error is shown too.
    void assignSelected(int portNo);

    // The component whose device list hot-plug events rebuild; tests send it events directly.
    serial::TspComm& watched() { return *m_watched; }
    // How many times the lists were rebuilt (benches time a hot-plug event to the next rebuild).
    int refreshCount() const { return m_refreshCount; }

    QTableWidget* devices() const { return m_devices; }
    QPushButton* assignButton(int portNo) const;
    QLabel* portDevice(int portNo) const;
    QLabel* portState(int portNo) const;
    QLabel* accessNote() const { return m_accessNote; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showPorts();
    void showDevices();
    void showAccessOfSelection();
    const serial::MachineDevice* selectedDevice() const;
    // Whether the device a port stands for is there: its node exists, and a built-in UART's node
    // has a chip behind it.
    bool present(const std::string& path, const serial::DeviceDetails& details) const;
    serial::DeviceAccess accessOf(const serial::MachineDevice& device) const;

    PortDeviceSources m_sources;
    std::vector<serial::MachineDevice> m_machineDevices;
    std::unique_ptr<serial::TspComm> m_watched;
    std::unique_ptr<serial::UdevMonitor> m_udev;
    std::unique_ptr<serial::DeviceTreeWatcher> m_treeWatcher;
    QTableWidget* m_devices = nullptr;
    QLabel* m_accessNote = nullptr;
    std::vector<QLabel*> m_portDevice, m_portDescription, m_portState;
    std::vector<QPushButton*> m_assign;
    int m_refreshCount = 0;
};

} // namespace talvern

// The port assignment window in the real program, offscreen, over a fake device tree (dev/ and
// sys/ in a temporary folder, named by TALVERN_DEVICE_ROOT as the program reads it): assigning a
// device writes its stable name into the COM-port map and keeps the map's other lines; devices
// plugged in and pulled out while the window shows come and go from it; a device the operator
// may not open says so with the command that helps.

#include "ShellFixture.h"

#include "PortAssignment.h"
#include "TForm1.h"
#include "TspComm.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace talvern;
using talvern::test::Site;

namespace {

const char kAdapter[] = "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
const char kLocked[] = "usb-Prolific_PL2303-if00-port0";

// A machine with USB adapters, each with its sysfs entry, its node and its by-id link.
class FakeDevices {
public:
    FakeDevices() { QVERIFY(m_root.isValid()); }
    std::string root() const { return m_root.path().toStdString(); }

    // byId "" : an adapter udev made no link for.
    void plug(const std::string& tty, const std::string& byId, const std::string& product, mode_t mode = 0660) {
        const std::string usb = "/sys/devices/pci0000:00/usb1/1-" + tty;
        file(usb + "/idVendor", "0403\n");
        file(usb + "/idProduct", "6001\n");
        file(usb + "/manufacturer", "FTDI\n");
        file(usb + "/product", product + "\n");
        fs::create_directories(root() + usb + "/1-1:1.0/" + tty);
        fs::create_directories(root() + "/sys/class/tty/" + tty);
        fs::create_symlink(root() + usb + "/1-1:1.0/" + tty, root() + "/sys/class/tty/" + tty + "/device");
        fs::create_directories(root() + "/dev/serial/by-id");
        if (!byId.empty())
            fs::create_symlink(root() + "/dev/" + tty, root() + "/dev/serial/by-id/" + byId);
        file("/dev/" + tty, "");
        ::chmod((root() + "/dev/" + tty).c_str(), mode);
    }
    // A built-in UART: its node, and its sysfs entry with the kernel's port type (0: no chip).
    void uart(int k, const std::string& type) {
        const std::string tty = "ttyS" + std::to_string(k);
        file("/sys/class/tty/" + tty + "/type", type + "\n");
        fs::create_directories(root() + "/sys/devices/platform/serial8250");
        fs::create_symlink(root() + "/sys/devices/platform/serial8250", root() + "/sys/class/tty/" + tty + "/device");
        file("/dev/" + tty, "");
    }
    // As the kernel and udev take a device away: node, link and sysfs entry.
    void unplug(const std::string& tty, const std::string& byId) {
        fs::remove(root() + "/dev/serial/by-id/" + byId);
        fs::remove_all(root() + "/sys/class/tty/" + tty);
        fs::remove(root() + "/dev/" + tty);
    }

private:
    void file(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(root() + path).parent_path());
        std::ofstream(root() + path) << text;
    }
    QTemporaryDir m_root;
};

QString comports() {
    QFile file(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/talvern/comports");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeComports(const QByteArray& text) {
    const QString folder = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/talvern";
    QDir().mkpath(folder);
    QFile file(folder + "/comports");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QStringList deviceNames(const PortAssignmentWindow& window) {
    QStringList names;
    for (int row = 0; row < window.devices()->rowCount(); ++row)
        names << window.devices()->item(row, 0)->text();
    return names;
}

void selectDevice(PortAssignmentWindow& window, const QString& name) {
    const auto found = window.devices()->findItems(name, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(name));
    const QRect cell = window.devices()->visualItemRect(found.first());
    QTest::mouseClick(window.devices()->viewport(), Qt::LeftButton, {}, cell.center());
    QVERIFY(found.first()->isSelected());
}

// The program started, unlocked as the administrator, and its "Przypisanie portów..." opened.
PortAssignmentWindow& openWindow(Site& site) {
    TForm1& form = site.start();
    form.show();
    auto* entry = form.findChild<QLineEdit*>(QStringLiteral("Edit5"));
    entry->insert(QStringLiteral("9"));
    QTest::keyClick(entry, Qt::Key_Return);
    form.findChild<QAction*>(QStringLiteral("PrzypisaniePortow1"))->trigger();
    PortAssignmentWindow* window = form.portAssignment();
    if (window != nullptr && !QTest::qWaitForWindowExposed(window))
        qWarning("the port assignment window was not shown");
    return *window;
}

} // namespace

class PortAssignmentTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("TALVERN_DEVICE_ROOT"); }
    void assignsByStableNameKeepingTheMap();
    void followsDevicesPluggedAndPulled();
    void deviceTheOperatorMayNotOpen();
    void adapterWithoutAStableName();
    void mapThatCannotBeWritten();
    void everyControlHasAName();
};

void PortAssignmentTest::assignsByStableNameKeepingTheMap() {
    Site site;
    FakeDevices machine;
    machine.plug("ttyUSB0", kAdapter, "FT232R USB UART");
    qputenv("TALVERN_DEVICE_ROOT", QByteArray::fromStdString(machine.root()));
    const QByteArray before = "# the site's programmer\n"
                              "COM1 = /dev/ttyACM9\n"
                              "some line we do not know\n"
                              "COM2 = /dev/ttyUSB7\n";
    writeComports(before);
    machine.uart(2, "4"); // COM3's built-in port has a 16550A behind it
    machine.uart(3, "0"); // COM4's node exists, with no chip behind it
    PortAssignmentWindow& window = openWindow(site);
    QCOMPARE(window.windowTitle(), QStringLiteral("Przypisanie portów"));
    QCOMPARE(deviceNames(window), (QStringList{"/dev/ttyS2", QString("/dev/serial/by-id/") + kAdapter}));
    QCOMPARE(window.devices()->item(1, 1)->text(), QStringLiteral("FT232R USB UART"));
    QCOMPARE(window.portDevice(1)->text(), QStringLiteral("/dev/ttyACM9"));
    QCOMPARE(window.portState(1)->text(), QStringLiteral("brak urządzenia"));
    QCOMPARE(window.portDevice(3)->text(), QStringLiteral("/dev/ttyS2")); // no entry: the built-in port
    QCOMPARE(window.portState(3)->text(), QStringLiteral("obecne"));
    QCOMPARE(window.portDevice(4)->text(), QStringLiteral("/dev/ttyS3"));
    QCOMPARE(window.portState(4)->text(), QStringLiteral("brak urządzenia"));
    // Nothing selected: nothing to assign.
    QVERIFY(!window.assignButton(2)->isEnabled());

    selectDevice(window, QString("/dev/serial/by-id/") + kAdapter);
    QTest::mouseClick(window.assignButton(2), Qt::LeftButton);
    QCOMPARE(comports(), QString::fromUtf8(before).replace("/dev/ttyUSB7", QString("/dev/serial/by-id/") + kAdapter));
    QCOMPARE(window.portDevice(2)->text(), QString("/dev/serial/by-id/") + kAdapter);
    QCOMPARE(window.portState(2)->text(), QStringLiteral("obecne"));
    QVERIFY(site.messages.empty());
    // The program's own port choice is its own.
    QCOMPARE(site.program->Form1->portNumber(), 1);
    // No temporary file is left beside the map.
    QCOMPARE(QDir(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/talvern")
                 .entryList({"comports*"}, QDir::Files | QDir::Hidden),
             QStringList{"comports"});
}

void PortAssignmentTest::followsDevicesPluggedAndPulled() {
    Site site;
    FakeDevices machine;
    machine.plug("ttyUSB0", kAdapter, "FT232R USB UART");
    machine.plug("ttyUSB1", "usb-FTDI_Second-if00-port0", "Second");
    qputenv("TALVERN_DEVICE_ROOT", QByteArray::fromStdString(machine.root()));
    writeComports("COM2 = /dev/serial/by-id/" + QByteArray(kAdapter) + "\n");
    PortAssignmentWindow& window = openWindow(site);
    QCOMPARE(deviceNames(window).size(), 2);
    QCOMPARE(window.portState(2)->text(), QStringLiteral("obecne"));

    // Pulled out: the tree's watcher sends the removal the udev monitor would.
    machine.unplug("ttyUSB0", kAdapter);
    QTRY_COMPARE(deviceNames(window), QStringList{"/dev/serial/by-id/usb-FTDI_Second-if00-port0"});
    QCOMPARE(window.portState(2)->text(), QStringLiteral("brak urządzenia"));

    // Plugged in again, the event handed to the component as the udev monitor hands it.
    machine.plug("ttyUSB0", kAdapter, "FT232R USB UART");
    const int before = window.refreshCount();
    QVERIFY(window.watched().HandleDeviceChange(
        serial::DeviceChangeMessage({serial::TDeviceChangeKind::Arrival, "tty"})));
    QVERIFY(window.refreshCount() > before);
    QCOMPARE(deviceNames(window).size(), 2);
    QCOMPARE(window.portState(2)->text(), QStringLiteral("obecne"));
    // A disk arriving is no port event: no rebuild.
    const int afterArrival = window.refreshCount();
    QVERIFY(!window.watched().HandleDeviceChange(
        serial::DeviceChangeMessage({serial::TDeviceChangeKind::Arrival, "block"})));
    QCOMPARE(window.refreshCount(), afterArrival);

    // The selection stays on its device across a rebuild.
    selectDevice(window, "/dev/serial/by-id/usb-FTDI_Second-if00-port0");
    window.watched().HandleDeviceChange(serial::DeviceChangeMessage({serial::TDeviceChangeKind::NodesChanged, "tty"}));
    QCOMPARE(window.devices()->selectedItems().value(0)->text(), "/dev/serial/by-id/usb-FTDI_Second-if00-port0");
    // The selected device pulled out: nothing is selected, nothing can be assigned.
    machine.unplug("ttyUSB1", "usb-FTDI_Second-if00-port0");
    QTRY_COMPARE(deviceNames(window), QStringList{QString("/dev/serial/by-id/") + kAdapter});
    QVERIFY(window.devices()->selectedItems().isEmpty());
    QVERIFY(!window.assignButton(1)->isEnabled());
}

void PortAssignmentTest::deviceTheOperatorMayNotOpen() {
    Site site;
    FakeDevices machine;
    machine.plug("ttyUSB0", kAdapter, "FT232R USB UART");
    machine.plug("ttyUSB1", kLocked, "USB-Serial Controller", 0000);
    qputenv("TALVERN_DEVICE_ROOT", QByteArray::fromStdString(machine.root()));
    writeComports("# nothing yet\n");
    PortAssignmentWindow& window = openWindow(site);
    const QString locked = QString("/dev/serial/by-id/") + kLocked;
    QCOMPARE(window.devices()->findItems(locked, Qt::MatchExactly).first()->row(), 1);
    QCOMPARE(window.devices()->item(0, 3)->text(), QStringLiteral("tak"));
    QCOMPARE(window.devices()->item(1, 3)->text(), QStringLiteral("brak dostępu"));

    const QString user = QString::fromStdString(serial::Credentials::OfThisProcess().User);
    const QString expected = "Brak dostępu do urządzenia " + locked + ": użytkownik " + user +
                             " nie należy do grupy dialout.\nDostęp daje polecenie:\nsudo usermod -aG dialout " +
                             user + "\na po nim wylogowanie się i ponowne zalogowanie.";
    selectDevice(window, locked);
    QVERIFY(window.accessNote()->isVisibleTo(&window));
    QCOMPARE(window.accessNote()->text(), expected);
    QTest::mouseClick(window.assignButton(3), Qt::LeftButton);
    QCOMPARE(site.messages.size(), size_t(1));
    QCOMPARE(site.messages[0].title, QStringLiteral("Uwaga!"));
    QCOMPARE(site.messages[0].text, expected);
    // The map still names it: the permission, not the map, is what to fix.
    QCOMPARE(comports(), "# nothing yet\nCOM3 = " + locked + "\n");

    selectDevice(window, QString("/dev/serial/by-id/") + kAdapter);
    QVERIFY(!window.accessNote()->isVisibleTo(&window));
}

void PortAssignmentTest::adapterWithoutAStableName() {
    // No udev, no by-id link: the node's name is all there is, and the operator is told it may move.
    Site site;
    FakeDevices machine;
    machine.plug("ttyACM0", "", "CDC Modem");
    qputenv("TALVERN_DEVICE_ROOT", QByteArray::fromStdString(machine.root()));
    PortAssignmentWindow& window = openWindow(site);
    selectDevice(window, "/dev/ttyACM0");
    QTest::mouseClick(window.assignButton(4), Qt::LeftButton);
    QCOMPARE(comports(), QStringLiteral("COM4 = /dev/ttyACM0\n"));
    QCOMPARE(site.messages.size(), size_t(1));
    QCOMPARE(site.messages[0].text, QStringLiteral("Urządzenie /dev/ttyACM0 nie ma stałej nazwy w /dev/serial/by-id/. "
                                                   "Port COM4 oznacza je, dopóki przejściówki są podłączane w tej "
                                                   "samej kolejności."));
}

void PortAssignmentTest::mapThatCannotBeWritten() {
    // A folder where the map should be: the rename over it fails, for the superuser too.
    Site site;
    FakeDevices machine;
    machine.plug("ttyUSB0", kAdapter, "FT232R USB UART");
    qputenv("TALVERN_DEVICE_ROOT", QByteArray::fromStdString(machine.root()));
    const QString map = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/talvern/comports";
    QVERIFY(QDir().mkpath(map));
    PortAssignmentWindow& window = openWindow(site);
    selectDevice(window, QString("/dev/serial/by-id/") + kAdapter);
    QTest::mouseClick(window.assignButton(2), Qt::LeftButton);
    QCOMPARE(site.messages.size(), size_t(1));
    QCOMPARE(site.messages[0].title, QStringLiteral("Uwaga!"));
    QCOMPARE(site.messages[0].text,
             "Nie można zapisać przypisania portu COM2 w pliku " + map + ": " + QString::fromLocal8Bit(strerror(EISDIR)));
    QCOMPARE(window.portDevice(2)->text(), QStringLiteral("/dev/ttyS1"));
    QVERIFY(QFileInfo(map).isDir());
    QCOMPARE(QDir(map + "/..").entryList({"comports*"}, QDir::AllEntries), QStringList{"comports"});
}

void PortAssignmentTest::everyControlHasAName() {
    Site site;
    FakeDevices machine;
    qputenv("TALVERN_DEVICE_ROOT", QByteArray::fromStdString(machine.root()));
    PortAssignmentWindow& window = openWindow(site);
    QStringList names;
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (qobject_cast<QPushButton*>(control) || qobject_cast<QTableWidget*>(control))
            names << control->accessibleName();
    }
    QCOMPARE(names, (QStringList{"Przypisz do COM1", "Przypisz do COM2", "Przypisz do COM3", "Przypisz do COM4",
                                 "Urządzenia szeregowe komputera", "Zamknij"}));
}

QTEST_MAIN(PortAssignmentTest)
#include "PortAssignmentTest.moc"

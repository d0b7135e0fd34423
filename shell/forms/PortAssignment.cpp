#include "PortAssignment.h"

#include "DeviceTreeWatcher.h"
#include "OperatorMessages.h"
#include "TspComm.h"
#include "UdevMonitor.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace talvern {

namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

// The rebuild the component's notify list asks for: code 3, the device list changed.
void deviceListChanged(void* window, serial::TspBaseIO*, int code) {
    if (code == serial::notify::PortChanged)
        static_cast<PortAssignmentWindow*>(window)->refresh();
}

} // namespace

PortDeviceSources PortDeviceSources::OfTheMachine() {
    return {std::string(), serial::ComPortMap(),
            [](const std::string& path) { return serial::CheckDeviceAccess(path); }};
}

PortDeviceSources PortDeviceSources::OfTree(const std::string& root, serial::ComPortMap map) {
    serial::Credentials operatorOfTheTree = serial::Credentials::OfThisProcess();
    operatorOfTheTree.Privileged = false;
    return {root, std::move(map), [operatorOfTheTree](const std::string& path) {
                return serial::CheckDeviceAccess(path, operatorOfTheTree);
            }};
}

PortDeviceSources PortDeviceSources::FromEnvironment() {
    const char* root = std::getenv("TALVERN_DEVICE_ROOT");
    if (root != nullptr && root[0] == '/')
        return OfTree(root, serial::ComPortMap());
    return OfTheMachine();
}

QString accessRefusedText(const QString& device, const serial::DeviceAccess& access) {
    return QStringLiteral("Brak dostępu do urządzenia %1: użytkownik %2 nie należy do grupy %3.\n"
                          "Dostęp daje polecenie:\n%4\n"
                          "a po nim wylogowanie się i ponowne zalogowanie.")
        .arg(device, text(access.User), text(access.Group), text(serial::AccessFixCommand(access)));
}

PortAssignmentWindow::PortAssignmentWindow(PortDeviceSources sources, QWidget* parent)
    : QDialog(parent), m_sources(std::move(sources)), m_watched(std::make_unique<serial::TspComm>()) {
    setObjectName(QStringLiteral("PortAssignment"));
    setWindowTitle(QStringLiteral("Przypisanie portów"));
    setAccessibleName(windowTitle());
    m_watched->SetPortMap(m_sources.map);
    m_watched->SetDeviceRoot(m_sources.root);
    m_watched->AddNotify(&deviceListChanged, this);

    auto* layout = new QVBoxLayout(this);
    auto* portsCaption = new QLabel(QStringLiteral("Porty programu i urządzenia, które oznaczają:"), this);
    layout->addWidget(portsCaption);
    for (int portNo = 1; portNo <= kPorts; ++portNo) {
        const QString name = QStringLiteral("COM%1").arg(portNo);
        auto* row = new QWidget(this);
        row->setObjectName(name);
        row->setAccessibleName(name);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        auto* port = new QLabel(name, row);
        port->setFixedWidth(50);
        auto* device = new QLabel(row);
        device->setObjectName(name + QStringLiteral("Device"));
        device->setTextInteractionFlags(Qt::TextSelectableByMouse);
        device->setMinimumWidth(330);
        auto* description = new QLabel(row);
        description->setMinimumWidth(170);
        auto* state = new QLabel(row);
        state->setObjectName(name + QStringLiteral("State"));
        state->setMinimumWidth(110);
        auto* assign = new QPushButton(QStringLiteral("Przypisz"), row);
        assign->setObjectName(name + QStringLiteral("Assign"));
        assign->setAccessibleName(QStringLiteral("Przypisz do %1").arg(name));
        assign->setToolTip(QStringLiteral("Przypisz zaznaczone urządzenie do %1").arg(name));
        assign->setEnabled(false);
        connect(assign, &QPushButton::clicked, this,
                [this, portNo] { OperatorMessages::runHandler([this, portNo] { assignSelected(portNo); }); });
        rowLayout->addWidget(port);
        rowLayout->addWidget(device, 1);
        rowLayout->addWidget(description);
        rowLayout->addWidget(state);
        rowLayout->addWidget(assign);
        layout->addWidget(row);
        m_portDevice.push_back(device);
        m_portDescription.push_back(description);
        m_portState.push_back(state);
        m_assign.push_back(assign);
    }

    auto* devicesCaption = new QLabel(QStringLiteral("Urządzenia szeregowe komputera:"), this);
    layout->addWidget(devicesCaption);
    m_devices = new QTableWidget(0, 4, this);
    m_devices->setObjectName(QStringLiteral("Devices"));
    m_devices->setAccessibleName(QStringLiteral("Urządzenia szeregowe komputera"));
    m_devices->setHorizontalHeaderLabels(
        {QStringLiteral("Urządzenie"), QStringLiteral("Opis"), QStringLiteral("Producent"), QStringLiteral("Dostęp")});
    m_devices->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_devices->setSelectionMode(QAbstractItemView::SingleSelection);
    m_devices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_devices->verticalHeader()->setVisible(false);
    m_devices->horizontalHeader()->setStretchLastSection(true);
    m_devices->setMinimumHeight(160);
    devicesCaption->setBuddy(m_devices);
    layout->addWidget(m_devices, 1);
    connect(m_devices, &QTableWidget::itemSelectionChanged, this, [this] { showAccessOfSelection(); });

    m_accessNote = new QLabel(this);
    m_accessNote->setObjectName(QStringLiteral("AccessNote"));
    m_accessNote->setWordWrap(true);
    m_accessNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_accessNote->hide();
    layout->addWidget(m_accessNote);

    auto* close = new QPushButton(QStringLiteral("Zamknij"), this);
    close->setObjectName(QStringLiteral("Close"));
    close->setAccessibleName(close->text());
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(close);
    layout->addLayout(closeRow);
    resize(900, 420);
    refresh();
}

PortAssignmentWindow::~PortAssignmentWindow() {
    // The watchers hold the component: they go first.
    m_udev.reset();
    m_treeWatcher.reset();
    m_watched->RemoveNotify(&deviceListChanged, this);
}

void PortAssignmentWindow::showEvent(QShowEvent* event) {
    // Devices come and go while the window is closed: read them afresh, then follow them.
    refresh();
    if (m_sources.root.empty()) {
        if (!m_udev)
            m_udev = std::make_unique<serial::UdevMonitor>(*m_watched);
    } else if (!m_treeWatcher) {
        m_treeWatcher = std::make_unique<serial::DeviceTreeWatcher>(*m_watched, m_sources.root);
    }
    QDialog::showEvent(event);
}

void PortAssignmentWindow::hideEvent(QHideEvent* event) {
    m_udev.reset();
    m_treeWatcher.reset();
    QDialog::hideEvent(event);
}

void PortAssignmentWindow::refresh() {
    ++m_refreshCount;
    showDevices(); // first: the ports' rows read which built-in ports have a chip from it
    showPorts();
}

void PortAssignmentWindow::showPorts() {
    const serial::DeviceSources sources(m_sources.root);
    for (int portNo = 1; portNo <= kPorts; ++portNo) {
        const size_t i = static_cast<size_t>(portNo - 1);
        const auto entry = m_sources.map.entry(static_cast<unsigned>(portNo));
        const std::string path = m_sources.map.resolve(static_cast<unsigned>(portNo));
        const serial::DeviceDetails details = sources.Details(path);
        m_portDevice[i]->setText(text(path));
        QString description = text(details.Description);
        if (description.isEmpty() && !entry)
            description = QStringLiteral("port wbudowany");
        m_portDescription[i]->setText(description);
        m_portState[i]->setText(present(path, details) ? QStringLiteral("obecne") : QStringLiteral("brak urządzenia"));
    }
}

bool PortAssignmentWindow::present(const std::string& path, const serial::DeviceDetails& details) const {
    if (!details.Present)
        return false;
    // Most /dev/ttyS nodes exist with no chip behind them: such a port is there only when the
    // machine's device list has it.
    std::error_code error;
    const std::string node = std::filesystem::canonical(m_sources.root + path, error).filename().string();
    if (error || node.size() < 5 || node.rfind("ttyS", 0) != 0 || node[4] < '0' || node[4] > '9')
        return true;
    return std::any_of(m_machineDevices.begin(), m_machineDevices.end(),
                       [&](const serial::MachineDevice& device) { return device.Node == "/dev/" + node; });
}

void PortAssignmentWindow::showDevices() {
    // Keep the operator's selection across a rebuild when that device is still there.
    QString selected;
    if (const serial::MachineDevice* device = selectedDevice())
        selected = text(device->StableName());
    m_machineDevices = serial::DeviceSources(m_sources.root).MachineDevices();
    const QSignalBlocker quiet(m_devices);
    // Selection and current row both: a current row left behind would select its neighbour.
    m_devices->selectionModel()->clear();
    m_devices->setRowCount(static_cast<int>(m_machineDevices.size()));
    int reselect = -1;
    for (size_t i = 0; i < m_machineDevices.size(); ++i) {
        const serial::MachineDevice& device = m_machineDevices[i];
        const int row = static_cast<int>(i);
        const QString name = text(device.StableName());
        const bool openable = accessOf(device).Error == 0;
        const QStringList cells = {name, text(device.Details.Description), text(device.Details.Manufacturer),
                                   openable ? QStringLiteral("tak") : QStringLiteral("brak dostępu")};
        for (int column = 0; column < cells.size(); ++column)
            m_devices->setItem(row, column, new QTableWidgetItem(cells[column]));
        if (name == selected)
            reselect = row;
    }
    if (reselect >= 0)
        m_devices->selectRow(reselect);
    m_devices->resizeColumnsToContents();
    showAccessOfSelection();
}

const serial::MachineDevice* PortAssignmentWindow::selectedDevice() const {
    const auto rows = m_devices->selectionModel() ? m_devices->selectionModel()->selectedRows() : QModelIndexList();
    if (rows.isEmpty())
        return nullptr;
    const int row = rows.first().row();
    if (row < 0 || row >= static_cast<int>(m_machineDevices.size()))
        return nullptr;
    return &m_machineDevices[static_cast<size_t>(row)];
}

serial::DeviceAccess PortAssignmentWindow::accessOf(const serial::MachineDevice& device) const {
    return m_sources.access(m_sources.root + device.Node);
}

void PortAssignmentWindow::showAccessOfSelection() {
    const serial::MachineDevice* device = selectedDevice();
    for (QPushButton* assign : m_assign)
        assign->setEnabled(device != nullptr);
    const serial::DeviceAccess access = device ? accessOf(*device) : serial::DeviceAccess{};
    if (device == nullptr || access.Error == 0) {
        m_accessNote->hide();
        m_accessNote->clear();
        return;
    }
    m_accessNote->setText(accessRefusedText(text(device->StableName()), access));
    m_accessNote->setAccessibleName(m_accessNote->text());
    m_accessNote->show();
}

void PortAssignmentWindow::assignSelected(int portNo) {
    const serial::MachineDevice* device = selectedDevice();
    if (device == nullptr || portNo < 1 || portNo > kPorts)
        return;
    const serial::MachineDevice chosen = *device;
    try {
        m_sources.map.setEntry(static_cast<unsigned>(portNo), chosen.StableName());
    } catch (const std::system_error& error) {
        // The system's own words for the cause, as the port's open error gives them.
        OperatorMessages::show(QStringLiteral("Nie można zapisać przypisania portu COM%1 w pliku %2: %3")
                                   .arg(portNo)
                                   .arg(text(m_sources.map.filePath()), QString::fromLocal8Bit(error.code().message())),
                               QStringLiteral("Uwaga!"));
        return;
    }
    showPorts();
    // The map is right either way; what keeps the connection from working is the permission.
    const serial::DeviceAccess access = accessOf(chosen);
    if (access.Error == EACCES || access.Error == EPERM)
        OperatorMessages::show(accessRefusedText(text(chosen.StableName()), access), QStringLiteral("Uwaga!"));
    // A plugged-in adapter without a by-id link (no udev to make one) gets its node's name, which
    // the next adapter plugged in first may take over: the operator should know.
    if (chosen.Details.ByIdLink.empty() && !chosen.Details.UsbId.empty())
        OperatorMessages::show(QStringLiteral("Urządzenie %1 nie ma stałej nazwy w /dev/serial/by-id/. Port COM%2 "
                                              "oznacza je, dopóki przejściówki są podłączane w tej samej kolejności.")
                                   .arg(text(chosen.Node))
                                   .arg(portNo),
                               QStringLiteral("Uwaga!"));
}

QPushButton* PortAssignmentWindow::assignButton(int portNo) const {
    return portNo >= 1 && portNo <= kPorts ? m_assign[static_cast<size_t>(portNo - 1)] : nullptr;
}
QLabel* PortAssignmentWindow::portDevice(int portNo) const {
    return portNo >= 1 && portNo <= kPorts ? m_portDevice[static_cast<size_t>(portNo - 1)] : nullptr;
}
QLabel* PortAssignmentWindow::portState(int portNo) const {
    return portNo >= 1 && portNo <= kPorts ? m_portState[static_cast<size_t>(portNo - 1)] : nullptr;
}

} // namespace talvern

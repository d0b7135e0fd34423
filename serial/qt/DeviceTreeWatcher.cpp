#include "DeviceTreeWatcher.h"

#include <QString>

#include <algorithm>
#include <filesystem>
#include <iterator>

namespace talvern::serial {

DeviceTreeWatcher::DeviceTreeWatcher(TspBaseIO& component, const std::string& root)
    : m_component(component), m_dev(root + "/dev"), m_nodes(ttyNodes()) {
    m_watcher.addPath(QString::fromStdString(m_dev));
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, [this] { lookAgain(); });
}

std::set<std::string> DeviceTreeWatcher::ttyNodes() const {
    std::set<std::string> nodes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_dev, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("tty", 0) == 0)
            nodes.insert(name);
    }
    return nodes;
}

void DeviceTreeWatcher::lookAgain() {
    const std::set<std::string> now = ttyNodes();
    std::set<std::string> gone, came;
    std::set_difference(m_nodes.begin(), m_nodes.end(), now.begin(), now.end(), std::inserter(gone, gone.end()));
    std::set_difference(now.begin(), now.end(), m_nodes.begin(), m_nodes.end(), std::inserter(came, came.end()));
    m_nodes = now;
    // One message per kind, as udev sends one per device; the list is rebuilt whole either way.
    if (!gone.empty())
        m_component.HandleDeviceChange(DeviceChangeMessage({TDeviceChangeKind::Removal, "tty"}));
    if (!came.empty())
        m_component.HandleDeviceChange(DeviceChangeMessage({TDeviceChangeKind::Arrival, "tty"}));
}

} // namespace talvern::serial

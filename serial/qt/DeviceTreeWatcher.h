#pragma once
// Hot-plug over a device tree that udev does not serve: a folder standing for /dev (a fake
// machine in tests and demonstrations). Watches <root>/dev on the Qt event loop and turns a tty
// node that appears or goes into the same arrival or removal message the udev monitor sends, so
// a window sees the same events either way. Create it on the main thread; destroy it before the
// component.

#include "TspBaseIO.h"

#include <QFileSystemWatcher>

#include <set>
#include <string>

namespace talvern::serial {

class DeviceTreeWatcher {
public:
    DeviceTreeWatcher(TspBaseIO& component, const std::string& root);

private:
    std::set<std::string> ttyNodes() const;
    void lookAgain();

    TspBaseIO& m_component;
    std::string m_dev;
    std::set<std::string> m_nodes;
    QFileSystemWatcher m_watcher;
};

} // namespace talvern::serial

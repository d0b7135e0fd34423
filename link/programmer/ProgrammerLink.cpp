#include "programmer/ProgrammerLink.h"

#include "TspComm.h"

#include <QTimer>

namespace talvern::link {

ProgrammerLink::ProgrammerLink(serial::TspComm& rs, LinkWindow window) : m_rs(rs), m_window(std::move(window)) {
    m_rs.OnAfterReceive = [this](serial::TspBaseIO* com, const std::uint8_t* buffer, std::uint32_t count) {
        rsAfterReceive(com, buffer, count);
    };
    m_rs.OnClose = [this](serial::TspBaseIO* com) { rsClose(com); };
    m_rs.OnCommError = [this](serial::TspBaseIO*, std::uint32_t commCode, std::uint32_t sysError,
                              serial::TComStateFlags, bool&) { rsCommError(commCode, sysError); };
}

ProgrammerLink::~ProgrammerLink() {
    // The component may outlive the link; it must not call back into a destroyed one.
    m_rs.OnAfterReceive = nullptr;
    m_rs.OnClose = nullptr;
    m_rs.OnCommError = nullptr;
}

const std::array<QString, 5>& ProgrammerLink::animationPatterns() {
    static const std::array<QString, 5> patterns{
        QStringLiteral("  [>   oo  oo  oo  oo <]"), QStringLiteral("  [>  oo  oo  oo  oo  <]"),
        QStringLiteral("  [> oo  oo  oo  oo   <]"), QStringLiteral("  [> o  oo  oo  oo   o<]"),
        QStringLiteral("  [>   oo  oo  oo   oo<]")};
    return patterns;
}

void ProgrammerLink::OpenLink() {
    try {
        m_rs.SetActive(true);
    } catch (...) {
        // The component reports the failure in its own words; the link just stays down.
        m_window.setStatusText(disconnectedStatus());
        m_connected = 0;
        throw;
    }
    if (m_rs.Active()) {
        m_window.setStatusText(QStringLiteral("Connect: ") + m_window.portLabel());
        m_connected = 1;
    } else {
        m_window.setStatusText(disconnectedStatus());
        m_connected = 0;
    }
}

void ProgrammerLink::CloseLink() {
    m_rs.SetActive(false);
    m_window.setStatusText(disconnectedStatus());
    m_connected = 0;
}

void ProgrammerLink::ConnectLink() {
    if (m_window.animationTimer != nullptr) {
        m_window.animationTimer->start();
    }
    CloseLink();
    OpenLink();
    SendFrame(card::connectFrame());
}

void ProgrammerLink::DisconnectLink() {
    SendFrame(card::disconnectFrame());
    CloseLink();
    if (m_window.animationTimer != nullptr) {
        m_window.animationTimer->stop();
    }
}

void ProgrammerLink::SelectPort(int port) {
    if (port < 1 || port > 4) {
        return;
    }
    DisconnectLink();
    m_rs.SetComPort(static_cast<serial::TComPort>(port - 1));
    m_window.setPort(port, QStringLiteral("COM%1 ").arg(port));
    m_window.savePortSetting();
}

void ProgrammerLink::SendFrame(const Bytes& frame) {
    if (connected()) {
        m_rs.SendString(std::string(frame.begin(), frame.end()));
    }
    m_window.appendTrace(QString::fromLatin1(card::traceText(frame)));
}

void ProgrammerLink::rsAfterReceive(serial::TspBaseIO*, const std::uint8_t* buffer, std::uint32_t count) {
    m_receiveBuffer.insert(m_receiveBuffer.end(), buffer, buffer + count);
}

void ProgrammerLink::rsClose(serial::TspBaseIO*) {
    m_connected = 0;
}

void ProgrammerLink::rsCommError(std::uint32_t commCode, std::uint32_t sysError) {
    // A failed write comes with no line-error bits and the system's error; line errors on received
    // bytes do not mean a frame was lost.
    if (commCode == 0 && sysError != 0) {
        m_writeFailed = true;
    }
}

void ProgrammerLink::Timer3Timer() {
    ++m_animation;
    if (m_animation >= 1 && m_animation <= 5) {
        m_window.setStatusText(connected() ? QStringLiteral("Connect: ") + m_window.portLabel() +
                                                 animationPatterns()[static_cast<std::size_t>(m_animation - 1)]
                                           : disconnectedStatus());
    }
    if (m_animation >= 5) {
        m_animation = 0;
    }
}

void ProgrammerLink::beginWriteWatch() {
    m_writeFailed = false;
}

bool ProgrammerLink::writeWatchFailed() const {
    // The port's watcher closes a lost device on its own thread and raises the close event after the
    // port is shut; a send in between finds the port closed and does nothing, without an error. So a
    // port that is no longer open counts as lost as well.
    return m_writeFailed.load() || !connected() || !m_rs.Active();
}

} // namespace talvern::link

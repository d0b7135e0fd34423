#pragma once
// The main window's link to the card programmer: the port choice (COM1..COM4), connecting and
// disconnecting, the connected flag, the one routine every frame goes out through, the receive
// buffer, and the animated link status.
//
// The link never waits for an acknowledgement and never retries; the programmer's answers only
// collect in the receive buffer, which card reading clears and evaluates.
//
// Thread rules: everything runs on the main thread, except rsClose, which the serial component
// fires on its port watcher thread when the device vanishes; it only clears the connected flag,
// which is atomic for that reason.

#include "card/Frame.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

class QTimer;

namespace talvern::serial {
class TspComm;
class TspBaseIO;
} // namespace talvern::serial

namespace talvern::link {

using card::Bytes;

// What the link needs from the main window.
struct LinkWindow {
    std::function<void(const QString&)> setStatusText; // the status bar `Status`
    std::function<void(const QString&)> appendTrace;   // appends to the hidden link trace `Memo1`
    std::function<void()> clearTrace;
    std::function<QString()> portLabel;                            // "COM1 " ... with its trailing blank
    std::function<void(int number, const QString& label)> setPort; // the shared port number and label
    std::function<void()> savePortSetting;                         // writes the port number to "Port"
    QTimer* animationTimer = nullptr;                              // `Timer3`
};

class ProgrammerLink {
public:
    // Binds the component's OnAfterReceive, OnClose and OnCommError; the component must be closed.
    ProgrammerLink(serial::TspComm& rs, LinkWindow window);
    ~ProgrammerLink();
    ProgrammerLink(const ProgrammerLink&) = delete;
    ProgrammerLink& operator=(const ProgrammerLink&) = delete;

    // Menu "Połącz": the animation runs, the port is closed and reopened, the connect frame goes out.
    // An open failure is raised after the status shows "Disconnect..." and the flag is 0.
    void ConnectLink();
    // Menu "Rozłącz": the disconnect frame (when connected), the port closed, the animation stopped.
    void DisconnectLink();
    // Menu "COM1".."COM4": disconnect, switch the component to the port, store it as "Port". The link
    // stays disconnected until "Połącz".
    void SelectPort(int port);
    void OpenLink();
    void CloseLink();

    // Hands the frame to the component when connected; appends it to the link trace in every case.
    void SendFrame(const Bytes& frame);
    // Empties the link trace (a card write starts with that).
    void clearTrace() { m_window.clearTrace(); }

    void rsAfterReceive(serial::TspBaseIO* com, const std::uint8_t* buffer, std::uint32_t count);
    void rsClose(serial::TspBaseIO* com);
    void Timer3Timer();

    bool connected() const { return m_connected.load() != 0; }
    const Bytes& receiveBuffer() const { return m_receiveBuffer; }
    void clearReceiveBuffer() { m_receiveBuffer.clear(); }

    // A card write watches the line while it runs: writeWatchFailed() tells whether, since begin, the
    // link was lost (the connected flag cleared, or the port found closed) or a frame could not be
    // written (the component's OnCommError).
    void beginWriteWatch();
    bool writeWatchFailed() const;

    // The five animation patterns, 24 characters each.
    static const std::array<QString, 5>& animationPatterns();
    static QString disconnectedStatus() { return QStringLiteral("Disconnect..."); }

private:
    void rsCommError(std::uint32_t commCode, std::uint32_t sysError);

    serial::TspComm& m_rs;
    LinkWindow m_window;
    std::atomic<int> m_connected{0};
    std::atomic<bool> m_writeFailed{false};
    Bytes m_receiveBuffer;
    int m_animation = 0;
};

} // namespace talvern::link

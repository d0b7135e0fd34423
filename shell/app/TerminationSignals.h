#pragma once
// SIGTERM, SIGHUP and SIGINT (what a desktop sends when the session ends, and Ctrl+C in a terminal)
// end the program the way closing its main window does, so the tables are closed as on any other
// exit: no record journal is left behind and every header is up to date.
//
// A signal can arrive on any thread at any instant, when nothing of Qt or the tables may be touched.
// The handler therefore only writes the signal's number into one end of a socket pair; the other end
// is watched by the event loop, which then runs the close on the main thread.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace talvern {

class TerminationSignals : public QObject {
public:
    // Installs the handlers. Signals that arrive before watch() wait in the socket; they are seen
    // only by a running event loop (the main one, or that of a modal box).
    TerminationSignals();
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // From now on, the event loop calls onSignal with the signal's number for each one received.
    void watch(std::function<void(int)> onSignal);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
    std::function<void(int)> m_onSignal;
};

} // namespace talvern

#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace talvern {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// [0] is read by the event loop, [1] written by the handler. One pair for the process, as the
// handlers are.
int g_pair[2] = {-1, -1};

void onSignal(int number) {
    // Only async-signal-safe calls here. A full socket drops the byte: one is waiting already.
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t n = ::write(g_pair[1], &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals() {
    // Without the socket pair (no descriptors left) the signals keep their default action: the
    // program still works, it only ends at once on them.
    if (g_pair[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_pair) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls of the other threads go on by themselves where the kernel allows.
    action.sa_flags = SA_RESTART;
    for (int number : kSignals)
        ::sigaction(number, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    // The handlers stay: a signal during the rest of the shutdown then only writes a byte that no
    // one reads, and the tables still close in order.
}

void TerminationSignals::watch(std::function<void(int)> onSignal) {
    m_onSignal = std::move(onSignal);
    if (!m_notifier && g_pair[0] >= 0) {
        m_notifier = new QSocketNotifier(g_pair[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { drain(); });
    }
}

void TerminationSignals::drain() {
    char bytes[16];
    ssize_t n;
    while ((n = ::read(g_pair[0], bytes, sizeof bytes)) > 0 || (n < 0 && errno == EINTR))
        for (ssize_t i = 0; i < n; ++i)
            if (m_onSignal)
                m_onSignal(static_cast<unsigned char>(bytes[i]));
}

} // namespace talvern

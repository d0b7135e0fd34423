#include "CommThreads.h"

#include "SerialBackend.h"
#include "TspCustomComm.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace talvern::serial {
namespace {

// How often the watcher looks at what poll() cannot report: modem lines, error counters, the
// transmit queue running empty, and growth of bytes left unread on purpose. Only while one of
// those is asked for; an idle port with the default settings waits without a time-out.
constexpr int kLinePollMs = 10;
constexpr int kTransmitPollMs = 1;

void debugOutput(const char* text) {
    // The debug channel: quiet unless asked for, since a device loss is reported by OnClose.
    static const bool enabled = std::getenv("TALVERN_SERIAL_DEBUG") != nullptr;
    if (enabled)
        std::fprintf(stderr, "%s\n", text);
}

} // namespace

PortSession::PortSession(TspCustomComm* owner_, SerialBackend& backend_, int fd_, uint64_t generation_)
    : owner(owner_), backend(backend_), fd(fd_), generation(generation_) {
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    initialLines = backend.modemLines(fd);
    countersReadable = backend.errorCounters(fd, initialCounters) == 0;
}

PortSession::~PortSession() {
    if (!join()) {
        // Only reachable if the last holder is one of the session's own threads.
        if (watcher.joinable() && watcher.get_id() == std::this_thread::get_id())
            watcher.detach();
        if (messageThread.joinable() && messageThread.get_id() == std::this_thread::get_id())
            messageThread.detach();
        join();
    }
    if (wakeFd >= 0)
        ::close(wakeFd);
}

void PortSession::wake() {
    if (wakeFd < 0)
        return;
    const uint64_t one = 1;
    ssize_t rc;
    do {
        rc = ::write(wakeFd, &one, sizeof one);
    } while (rc < 0 && errno == EINTR);
}

void PortSession::stop() {
    terminated = true;
    wake();
    std::shared_ptr<PendingDelivery> waiting;
    {
        std::lock_guard lock(queueMutex);
        quit = true;
        waiting = delivery;
    }
    queueChanged.notify_all();
    if (waiting) {
        {
            std::lock_guard lock(waiting->mutex);
            waiting->cancelled = true;
        }
        waiting->changed.notify_all();
    }
}

bool PortSession::join() {
    const auto self = std::this_thread::get_id();
    if ((watcher.joinable() && watcher.get_id() == self) ||
        (messageThread.joinable() && messageThread.get_id() == self))
        return false;
    if (watcher.joinable())
        watcher.join();
    if (messageThread.joinable())
        messageThread.join();
    return true;
}

void PortSession::post(uint32_t mask) {
    {
        std::lock_guard lock(queueMutex);
        if (queueCount == queue.size()) {
            // The message thread is far behind: fold into the newest entry; no event kind is lost.
            queue[(queueHead + queueCount - 1) % queue.size()] |= mask;
        } else {
            queue[(queueHead + queueCount) % queue.size()] = mask;
            ++queueCount;
        }
    }
    queueChanged.notify_one();
}

bool PortSession::take(uint32_t& mask) {
    std::unique_lock lock(queueMutex);
    queueChanged.wait(lock, [this] { return quit || queueCount > 0; });
    if (quit)
        return false;
    mask = queue[queueHead];
    queueHead = (queueHead + 1) % queue.size();
    --queueCount;
    return true;
}

void PortSession::rearmReceive(int leftover) {
    receiveLeftover = leftover;
    receiveArmed = leftover == 0;
    wake();
}

void TCommThread::Execute() {
    PortSession& s = *m_session;
    if (s.fd < 0 || s.wakeFd < 0)
        return;
    SerialBackend& backend = s.backend;

    // Baselines taken at the open, so a change right after it is not missed.
    int lastLines = s.initialLines;
    bool modemLinesReadable = lastLines >= 0;
    ErrorCounters lastCounters = s.initialCounters;
    bool countersReadable = s.countersReadable;

    pollfd fds[2];
    while (!s.terminated) {
        const uint32_t mask = s.owner->m_eventMask.load();
        const bool armed = s.receiveArmed.load();
        const int leftover = s.receiveLeftover.load();
        const bool outputPending = s.outputPending.load();
        const bool watchLines = modemLinesReadable && (mask & (ev::Cts | ev::Dsr | ev::Rlsd | ev::Ring)) != 0;
        const bool watchCounters = countersReadable && (mask & (ev::Break | ev::Err)) != 0;
        const bool watchTransmit = s.transmitPending.load() && (mask & ev::TxEmpty) != 0;

        int timeout = -1;
        if (watchLines || watchCounters || (!armed && leftover > 0))
            timeout = kLinePollMs;
        if (watchTransmit)
            timeout = kTransmitPollMs;

        fds[0] = {s.wakeFd, POLLIN, 0};
        fds[1] = {s.fd, static_cast<short>((armed ? POLLIN : 0) | (outputPending ? POLLOUT : 0)), 0};
        const int rc = backend.poll(fds, 2, timeout);
        if (s.terminated) {
            debugOutput("BREAK ...");
            break;
        }
        if (rc == -EINTR || rc == -EAGAIN)
            continue;
        if (rc < 0) {
            debugOutput("111 ...");
            s.owner->shutdownAfterDeviceLoss(s.generation);
            break;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t count;
            while (::read(s.wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
            }
        }
        if (fds[1].revents & POLLNVAL) {
            debugOutput("111 ...");
            break; // the handle was closed under us: the port is closed already
        }
        if (fds[1].revents & (POLLHUP | POLLERR)) {
            // The tty was hung up: adapter unplugged or the far side closed. Report it once and
            // stop watching; polling a hung-up tty again would only spin.
            debugOutput("111 ...");
            s.owner->shutdownAfterDeviceLoss(s.generation);
            break;
        }

        uint32_t events = 0;
        if (armed && (fds[1].revents & POLLIN)) {
            s.receiveArmed = false; // until the handler took the bytes
            events |= ev::RxChar;
        } else if (!armed && leftover > 0) {
            const int queued = backend.inputQueued(s.fd);
            if (queued == -EIO) {
                debugOutput("111 ...");
                s.owner->shutdownAfterDeviceLoss(s.generation);
                break;
            }
            if (queued > leftover) {
                s.receiveLeftover = 0;
                events |= ev::RxChar;
            }
        }
        if (outputPending && (fds[1].revents & POLLOUT)) {
            using P = TspCustomComm::PendingOutput;
            const P state = s.owner->writePendingOutputFromWatcher();
            if (state == P::None)
                s.outputPending = false;
        }
        if (watchLines) {
            const int lines = backend.modemLines(s.fd);
            if (lines < 0) {
                modemLinesReadable = false;
            } else {
                const int changed = lines ^ lastLines;
                if (changed & TIOCM_CTS)
                    events |= ev::Cts;
                if (changed & TIOCM_DSR)
                    events |= ev::Dsr;
                if (changed & TIOCM_CD)
                    events |= ev::Rlsd;
                if ((changed & TIOCM_RI) && (lines & TIOCM_RI) == 0)
                    events |= ev::Ring; // the end of a ring, as the classic drivers report it
                lastLines = lines;
            }
        }
        if (watchCounters) {
            ErrorCounters now;
            if (backend.errorCounters(s.fd, now) < 0) {
                countersReadable = false;
            } else {
                if (now.brk != lastCounters.brk)
                    events |= ev::Break;
                if (now.frame != lastCounters.frame || now.overrun != lastCounters.overrun ||
                    now.parity != lastCounters.parity || now.bufOverrun != lastCounters.bufOverrun)
                    events |= ev::Err;
                lastCounters = now;
            }
        }
        if (watchTransmit && backend.outputQueued(s.fd) == 0 && !s.outputPending) {
            s.transmitPending = false;
            events |= ev::TxEmpty;
        }

        events &= mask | ev::RxChar;
        if (events != 0 && !s.terminated && s.owner->IsOpen())
            s.post(events);
    }
}

void TMsgThread::Execute() {
    PortSession& s = *m_session;
    uint32_t mask = 0;
    while (!s.terminated && s.take(mask)) {
        if (!s.owner->IsOpen())
            break;
        if (s.owner->UseMainThread() && m_dispatcher) {
            deliverOnMainThread(mask);
        } else {
            s.owner->handleEvent(mask, &s);
        }
    }
}

void TMsgThread::deliverOnMainThread(uint32_t mask) {
    auto delivery = std::make_shared<PendingDelivery>();
    {
        std::lock_guard lock(m_session->queueMutex);
        if (m_session->quit)
            return;
        m_session->delivery = delivery;
    }
    // The call holds the session (not the component's memory) and checks for cancellation on
    // the main thread, the thread a close runs on, before it touches the component.
    m_dispatcher([session = m_session, delivery, mask] {
        {
            std::lock_guard lock(delivery->mutex);
            if (delivery->cancelled)
                return;
        }
        session->owner->handleEvent(mask, session.get());
        {
            std::lock_guard lock(delivery->mutex);
            delivery->done = true;
        }
        delivery->changed.notify_all();
    });
    {
        std::unique_lock lock(delivery->mutex);
        delivery->changed.wait(lock, [&] { return delivery->done || delivery->cancelled; });
    }
    std::lock_guard lock(m_session->queueMutex);
    m_session->delivery.reset();
}

} // namespace talvern::serial

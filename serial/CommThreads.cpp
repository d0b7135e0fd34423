#include "CommThreads.h"

#include "SerialBackend.h"
#include "TspCustomComm.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/epoll.h>
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
    epollFd = ::epoll_create1(EPOLL_CLOEXEC);
    if (epollFd >= 0 && wakeFd >= 0) {
        epoll_event wakeEvent{};
        wakeEvent.events = EPOLLIN;
        wakeEvent.data.u32 = 0;
        epoll_event deviceEvent{};
        deviceEvent.events = watchedDeviceEvents; // bytes arriving, and always hang-up and error
        deviceEvent.data.u32 = 1;
        if (::epoll_ctl(epollFd, EPOLL_CTL_ADD, wakeFd, &wakeEvent) != 0 ||
            ::epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &deviceEvent) != 0) {
            ::close(epollFd);
            epollFd = -1;
        }
    }
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
    if (epollFd >= 0)
        ::close(epollFd);
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
        if (claim == Claim::Waiting)
            claim = Claim::Cancelled; // the main thread will not run it; a running one finishes
    }
    queueChanged.notify_all();
    claimChanged.notify_all();
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

void PortSession::post(uint32_t mask, bool mayRing) {
    bool ring = false;
    {
        std::lock_guard lock(queueMutex);
        const size_t newest = (queueHead + queueCount + queue.size() - 1) % queue.size();
        // A claimed event may be running on the main thread already, past its read: it does
        // not cover bytes that arrive now.
        const bool newestClaimed = headClaimed && queueCount == 1;
        if (queueCount > 0 && mask == ev::RxChar && (queue[newest] & ev::RxChar) != 0 && !newestClaimed)
            return; // not taken yet: its handling reads these bytes too
        if (queueCount == queue.size()) {
            // The message thread is far behind: fold into the newest entry; no event kind is lost.
            queue[newest] |= mask;
        } else {
            queue[(queueHead + queueCount) % queue.size()] = mask;
            ++queueCount;
        }
        if (mayRing && doorbellFd >= 0 && !quit && queueCount == 1 && !messageBusy &&
            claim == Claim::None && owner->UseMainThread()) {
            claim = Claim::Waiting;
            claimMask = mask;
            headClaimed = true;
            ring = true;
        }
    }
    if (ring) {
        // The message thread is not woken for it: the main thread takes it off the queue when
        // it has run it, unless the message thread came for it first (then it waits for it).
        if (doorbellRang != nullptr)
            doorbellRang->store(true, std::memory_order_release);
        const uint64_t one = 1;
        while (::write(doorbellFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
        return;
    }
    queueChanged.notify_one();
}

bool PortSession::take(uint32_t& mask, bool& claimed) {
    std::unique_lock lock(queueMutex);
    messageBusy = false;
    queueChanged.wait(lock, [this] { return quit || queueCount > 0; });
    if (quit)
        return false;
    mask = queue[queueHead];
    claimed = headClaimed;
    headClaimed = false;
    queueHead = (queueHead + 1) % queue.size();
    --queueCount;
    messageBusy = true;
    return true;
}

void PortSession::waitForClaim() {
    std::unique_lock lock(queueMutex);
    claimChanged.wait(lock, [this] { return quit || claim == Claim::Done || claim == Claim::Cancelled; });
    if (claim == Claim::Done || claim == Claim::Cancelled)
        claim = Claim::None;
}

bool PortSession::startClaim(uint32_t& mask) {
    std::lock_guard lock(queueMutex);
    if (claim != Claim::Waiting)
        return false;
    claim = Claim::Running;
    mask = claimMask;
    return true;
}

bool PortSession::claimArrival(uint32_t mask) {
    std::lock_guard lock(queueMutex);
    if (quit || queueCount > 0 || messageBusy || claim != Claim::None)
        return false; // something is in flight: the caller posts the event behind it
    queue[queueHead] = mask;
    queueCount = 1;
    headClaimed = true;
    claim = Claim::Running;
    claimMask = mask;
    return true;
}

void PortSession::finishClaim() {
    bool more = false;
    {
        std::lock_guard lock(queueMutex);
        if (claim == Claim::Running)
            claim = Claim::Done;
        if (headClaimed && queueCount > 0) {
            // Still first in the queue: the message thread never came for it, so it is done
            // with here, and the message thread is woken only if more events wait behind it.
            headClaimed = false;
            queueHead = (queueHead + 1) % queue.size();
            --queueCount;
            claim = Claim::None;
            more = queueCount > 0;
        }
    }
    claimChanged.notify_all();
    if (more)
        queueChanged.notify_one();
}

void TCommThread::Execute() {
    PortSession& s = *m_session;
    if (s.fd < 0 || s.wakeFd < 0 || s.epollFd < 0)
        return;
    SerialBackend& backend = s.backend;

    // Baselines taken at the open, so a change right after it is not missed.
    int lastLines = s.initialLines;
    bool modemLinesReadable = lastLines >= 0;
    ErrorCounters lastCounters = s.initialCounters;
    bool countersReadable = s.countersReadable;

    epoll_event ready[4];
    while (!s.terminated) {
        const uint32_t mask = s.owner->m_eventMask.load();
        const bool watchLines = modemLinesReadable && (mask & (ev::Cts | ev::Dsr | ev::Rlsd | ev::Ring)) != 0;
        const bool watchCounters = countersReadable && (mask & (ev::Break | ev::Err)) != 0;
        const bool watchTransmit = s.transmitPending.load() && (mask & ev::TxEmpty) != 0;

        // Room for bytes SendData left behind is watched only while there are some. Arrivals
        // are not watched while the main thread forwards them (it watches the device itself):
        // waking this thread for them too would only cost a wake-up on another processor.
        const bool outputPending = s.outputPending.load();
        const bool arrivalsToMain = s.mainWatchesDevice && s.owner->UseMainThread();
        const uint32_t deviceEvents = EPOLLET | (arrivalsToMain ? 0u : uint32_t(EPOLLIN)) |
                                      (outputPending ? uint32_t(EPOLLOUT) : 0u);
        bool watchPending = false;
        if (deviceEvents != s.watchedDeviceEvents) {
            // The handle is closed on the main thread under the port lock: changing what is
            // watched on it holds the lock too, so it never touches a closed (or reused)
            // descriptor. A send may hold the lock for its time-out: then try again shortly.
            std::unique_lock lock(s.owner->m_io, std::try_to_lock);
            if (!lock.owns_lock()) {
                watchPending = true;
            } else if (s.owner->IsOpen() && s.owner->m_generation == s.generation) {
                epoll_event deviceEvent{};
                deviceEvent.events = deviceEvents;
                deviceEvent.data.u32 = 1;
                ::epoll_ctl(s.epollFd, EPOLL_CTL_MOD, s.fd, &deviceEvent);
                s.watchedDeviceEvents = deviceEvents;
            }
        }

        // Modem lines, error counters and the transmit queue cannot be waited for: they are
        // looked at periodically, but only while asked for. By default the wait has no time-out.
        int timeout = -1;
        if (watchLines || watchCounters)
            timeout = kLinePollMs;
        if (watchTransmit || outputPending || watchPending)
            timeout = kTransmitPollMs; // the room edge may have passed while a send held the port

        const int count = backend.waitEvents(s.epollFd, ready, 4, timeout);
        if (s.terminated) {
            debugOutput("BREAK ...");
            break;
        }
        if (count == -EINTR || count == -EAGAIN)
            continue;
        if (count < 0) {
            debugOutput("111 ...");
            s.owner->shutdownAfterDeviceLoss(s.generation);
            break;
        }

        uint32_t events = 0;
        uint32_t deviceReady = 0;
        for (int i = 0; i < count; ++i) {
            if (ready[i].data.u32 == 0) {
                uint64_t value;
                while (::read(s.wakeFd, &value, sizeof value) < 0 && errno == EINTR) {
                }
            } else {
                deviceReady |= ready[i].events;
            }
        }
        if (deviceReady & (EPOLLHUP | EPOLLERR)) {
            // The tty was hung up: adapter unplugged or the far side closed. Report it once and
            // stop watching; waiting on a hung-up tty again would only spin.
            debugOutput("111 ...");
            s.owner->shutdownAfterDeviceLoss(s.generation);
            break;
        }
        // While the main thread watches the device through the doorbell, arrivals are its to
        // forward. Asked again now, not as it was before the wait: the watch may not have been
        // changed yet (the port was busy) when UseMainThread switched. An arrival that both
        // sides leave during a switch is picked up by the event the switch posts.
        if ((deviceReady & EPOLLIN) && !(s.mainWatchesDevice && s.owner->UseMainThread()))
            events |= ev::RxChar;
        if (s.outputPending) {
            if (s.owner->writePendingOutputFromWatcher() == TspCustomComm::PendingOutput::None)
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
        if (watchTransmit && !s.outputPending && backend.outputQueued(s.fd) == 0) {
            s.transmitPending = false;
            events |= ev::TxEmpty;
        }

        events &= mask | ev::RxChar;
        if (events != 0 && !s.terminated && s.owner->IsOpen())
            s.post(events, true);
    }
}

void TMsgThread::Execute() {
    PortSession& s = *m_session;
    uint32_t mask = 0;
    bool claimed = false;
    while (!s.terminated && s.take(mask, claimed)) {
        if (claimed) {
            // Rung through the doorbell: the main thread runs it; the next event waits for it.
            s.waitForClaim();
            continue;
        }
        if (!s.owner->IsOpen())
            break;
        if (s.owner->UseMainThread() && m_dispatcher) {
            deliverOnMainThread(mask);
        } else {
            s.owner->handleEvent(mask, &s, true);
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
        session->owner->handleEvent(mask, session.get(), true);
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

// Handling of one port event, on the delivery thread (the main thread with UseMainThread).

#include "TspCustomComm.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace talvern::serial {

void TspCustomComm::HandleComEvent(const TMessage& message) {
    if (message.Msg != spCommMsgComEvent())
        return;
    PortSession* session;
    {
        std::lock_guard lock(m_io);
        session = m_session.get();
    }
    handleEvent(static_cast<uint32_t>(message.WParam), session, true);
}

int TspCustomComm::WatchDoorbell() {
    if (m_doorbellFd >= 0)
        return m_doorbellFd;
    const int ring = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int set = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event ringEvent{};
    ringEvent.events = EPOLLIN;
    ringEvent.data.u32 = kDoorbellRing;
    if (ring < 0 || set < 0 || ::epoll_ctl(set, EPOLL_CTL_ADD, ring, &ringEvent) != 0) {
        if (ring >= 0)
            ::close(ring);
        if (set >= 0)
            ::close(set);
        return -1;
    }
    m_doorbellRing = ring;
    m_doorbellFd = set;
    return m_doorbellFd;
}

void TspCustomComm::ServiceDoorbell() {
    if (m_doorbellFd < 0)
        return;
    std::shared_ptr<PortSession> session;
    {
        std::lock_guard lock(m_io);
        session = m_session;
    }
    // Most wake-ups are bytes arriving at a port nothing else is happening on: read them at once,
    // without asking the set what woke it. That is the path of a program reading the port on its
    // main thread (a wake-up and a read), one system call fewer for every piece of a burst and
    // for every single byte. A read that took bytes emptied the device up to the buffer, and the
    // kernel drops an emptied device from the set's ready list when the set is next polled, so
    // the set needs no harvesting; bytes still waiting keep it readable, and this comes again.
    bool arrivalHandled = false;
    if (session && session->mainWatchesDevice && UseMainThread() &&
        !m_doorbellRang.load(std::memory_order_acquire) && session->claimArrival(ev::RxChar)) {
        bool readSome = false;
        const bool more = handleEvent(ev::RxChar, session.get(), false, &readSome);
        session->finishClaim();
        if (more)
            session->post(ev::RxChar, true);
        if (readSome)
            return;
        // Nothing taken (no receiver, a line error first, a hang-up): the set is asked below,
        // which also clears its report, so bytes left on purpose do not keep the loop awake.
        arrivalHandled = true;
    }
    m_doorbellRang.store(false, std::memory_order_release);
    epoll_event ready[2];
    int count;
    do {
        count = ::epoll_wait(m_doorbellFd, ready, 2, 0);
    } while (count < 0 && errno == EINTR);
    bool rang = false;
    bool arrived = false;
    for (int i = 0; i < count; ++i) {
        if (ready[i].data.u32 == kDoorbellRing) {
            rang = true;
            uint64_t rings;
            while (::read(m_doorbellRing, &rings, sizeof rings) < 0 && errno == EINTR) {
            }
        } else if ((ready[i].events & EPOLLIN) && !(ready[i].events & (EPOLLHUP | EPOLLERR))) {
            arrived = true; // a hang-up (which reads as readable too) is the watcher's to report
        }
    }
    // A ring of a session closed since finds nothing claimed: its event is stale anyway.
    if (!session)
        return;
    bool more = false;
    uint32_t mask = 0;
    if (rang && session->startClaim(mask)) {
        more = handleEvent(mask, session.get(), false);
        session->finishClaim();
    }
    // Arrivals are forwarded from here while events go to the main thread; otherwise the
    // watcher forwards them to the message thread.
    if (arrived && !arrivalHandled && UseMainThread()) {
        if (session->claimArrival(ev::RxChar)) {
            more = handleEvent(ev::RxChar, session.get(), false) || more;
            session->finishClaim();
        } else {
            session->post(ev::RxChar); // after the event in flight, in order
        }
    }
    // What did not fit the read buffer makes its own event. Rung rather than run here, so the
    // event loop serves its other work between the pieces of a long burst.
    if (more)
        session->post(ev::RxChar, true);
}

void TspCustomComm::SetUseMainThread(bool value) {
    if (m_useMainThread.exchange(value) == value)
        return;
    // Who forwards arrivals changes with it: an arrival that came during the switch may have
    // been left by both sides, so one received-char event picks up whatever waits.
    std::lock_guard lock(m_io);
    if (m_session && m_session->mainWatchesDevice) {
        m_session->wake(); // the watcher takes up or leaves the arrivals
        m_session->post(ev::RxChar);
    }
}

bool TspCustomComm::handleEvent(uint32_t mask, const PortSession* poster, bool postMore, bool* readSome) {
    int lastSystemError = 0;
    bool more = false;
    try {
        std::shared_ptr<std::vector<uint8_t>> buffer;
        uint32_t received = 0;
        uint32_t errorWord = 0;
        TComStateFlags holdFlags = 0;
        {
            std::lock_guard lock(m_io);
            // An event posted before a close (or by the threads of an earlier open) is stale.
            if (!IsOpen() || !m_session || m_session.get() != poster)
                return false;
            // The line errors first: after one the bytes of this event wait for the next
            // received-char event; without a receiver they wait in the driver's queue.
            errorWord = readLineErrorsLocked();
            const bool wanted = TraceStates().contains(TTraceState::tsRxChar) || HasReceiver();
            const bool reading = errorWord == 0 && (mask & ev::RxChar) && wanted && m_readBuffer;
            if (!reading)
                readQueueStatusLocked();
            holdFlags = static_cast<TComStateFlags>(m_comStat.Flags & 0xFF);
            if (reading) {
                // One read takes all that is there, up to the buffer (the device does not
                // block), so a burst comes in few, large pieces; what it takes is what was
                // queued, so the driver is asked for the count only when the buffer filled, and
                // the rest then comes with an event of its own.
                buffer = m_readBuffer;
                ssize_t n;
                do {
                    n = Backend().read(Handle(), buffer->data(), buffer->size());
                } while (n == -EINTR);
                if (n < 0 && n != -EAGAIN)
                    lastSystemError = static_cast<int>(-n);
                const size_t got = n > 0 ? static_cast<size_t>(n) : 0;
                const int waiting = got == buffer->size() ? std::max(Backend().inputQueued(Handle()), 0) : 0;
                const bool bufferFull = waiting > 0;
                m_comStat.Flags = 0;
                m_comStat.cbInQue = static_cast<uint32_t>(got) + static_cast<uint32_t>(waiting);
                received = static_cast<uint32_t>(got);
                if (readSome != nullptr)
                    *readSome = got > 0;
                more = bufferFull;
                if (bufferFull && postMore && m_session)
                    m_session->post(ev::RxChar); // what did not fit makes its own event
            }
        }
        if (errorWord != 0) {
            ReportCommError(errorWord, 0, holdFlags);
            return false;
        }
        TTraceStates traced;
        if (received > 0) {
            if (TraceStates().contains(TTraceState::tsRxFlag) &&
                std::memchr(buffer->data(), m_line.EvtChar, received) != nullptr)
                traced.insert(TTraceState::tsRxFlag);
            DoAfterReceive(buffer->data(), received);
        }
        if (mask & ev::TxEmpty) {
            if (m_rs485Mode && m_rtsEmulation)
                SetRTS(false);
            const bool handled = DoAfterSend();
            if (TraceStates().contains(TTraceState::tsTxEmpty) && !handled && OnAfterSend)
                OnAfterSend(this);
        }
        struct Pair {
            uint32_t bit;
            TTraceState state;
        };
        static constexpr Pair pairs[] = {
            {ev::RxFlag, TTraceState::tsRxFlag}, {ev::Cts, TTraceState::tsCTS},
            {ev::Dsr, TTraceState::tsDSR},       {ev::Rlsd, TTraceState::tsRLSD},
            {ev::Break, TTraceState::tsBreak},   {ev::Err, TTraceState::tsErr},
            {ev::Ring, TTraceState::tsRing},     {ev::Rx80Full, TTraceState::tsRx80Full},
            {ev::Event1, TTraceState::tsEvent1}, {ev::Event2, TTraceState::tsEvent2},
        };
        for (const auto& p : pairs)
            if (mask & p.bit)
                traced.insert(p.state);
        if (!traced.empty())
            ReportTraceState(traced);
    } catch (const std::exception& error) {
        reportHandlerError(static_cast<uint32_t>(lastSystemError), error.what());
    } catch (...) {
        reportHandlerError(static_cast<uint32_t>(lastSystemError), "unknown error");
    }
    return more;
}

void TspCustomComm::reportHandlerError(uint32_t systemError, const std::string& text) {
    // Shown, never raised: nothing may escape into the message thread or the main loop, not
    // even from an OnFatalError handler.
    try {
        ReportFatalError(1, systemError, text, true);
    } catch (const std::exception& error) {
        ShowError(error.what());
    } catch (...) {
    }
}

} // namespace talvern::serial

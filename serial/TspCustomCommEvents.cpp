// Handling of one port event, on the delivery thread (the main thread with UseMainThread).

#include "TspCustomComm.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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
    handleEvent(static_cast<uint32_t>(message.WParam), session);
}

int TspCustomComm::WatchDoorbell() {
    if (m_doorbellFd < 0)
        m_doorbellFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return m_doorbellFd;
}

void TspCustomComm::ServiceDoorbell() {
    if (m_doorbellFd < 0)
        return;
    uint64_t rings;
    while (::read(m_doorbellFd, &rings, sizeof rings) < 0 && errno == EINTR) {
    }
    std::shared_ptr<PortSession> session;
    {
        std::lock_guard lock(m_io);
        session = m_session;
    }
    // A ring of a session closed since finds nothing claimed: its event is stale anyway.
    uint32_t mask = 0;
    if (!session || !session->startClaim(mask))
        return;
    handleEvent(mask, session.get());
    session->finishClaim();
}

void TspCustomComm::handleEvent(uint32_t mask, const PortSession* poster) {
    int lastSystemError = 0;
    try {
        std::shared_ptr<std::vector<uint8_t>> buffer;
        uint32_t received = 0;
        uint32_t errorWord = 0;
        TComStateFlags holdFlags = 0;
        {
            std::lock_guard lock(m_io);
            // An event posted before a close (or by the threads of an earlier open) is stale.
            if (!IsOpen() || !m_session || m_session.get() != poster)
                return;
            errorWord = readErrorWordLocked();
            holdFlags = static_cast<TComStateFlags>(m_comStat.Flags & 0xFF);
            const size_t queued = m_comStat.cbInQue;
            // After a line error the bytes of this event wait for the next received-char event;
            // without a receiver they wait in the driver's queue.
            const bool wanted = TraceStates().contains(TTraceState::tsRxChar) || HasReceiver();
            if (errorWord == 0 && (mask & ev::RxChar) && queued > 0 && wanted && m_readBuffer) {
                buffer = m_readBuffer;
                // Never more than the buffer; the rest comes with the next event.
                const size_t want = std::min(queued, buffer->size());
                size_t got = 0;
                bool bufferFull = false;
                // The queued bytes, and while there is room whatever arrived since: a burst then
                // comes in fewer, larger pieces.
                for (size_t ask = want; ask > 0;) {
                    const ssize_t n = Backend().read(Handle(), buffer->data() + got, ask);
                    if (n == -EINTR)
                        continue;
                    if (n <= 0) {
                        if (n < 0 && n != -EAGAIN)
                            lastSystemError = static_cast<int>(-n);
                        break;
                    }
                    got += static_cast<size_t>(n);
                    const int more = Backend().inputQueued(Handle());
                    bufferFull = more > 0 && got == buffer->size();
                    ask = more > 0 ? std::min(static_cast<size_t>(more), buffer->size() - got) : 0;
                }
                received = static_cast<uint32_t>(got);
                if (bufferFull && m_session)
                    m_session->post(ev::RxChar); // what did not fit makes its own event
            }
        }
        if (errorWord != 0) {
            ReportCommError(errorWord, 0, holdFlags);
            return;
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

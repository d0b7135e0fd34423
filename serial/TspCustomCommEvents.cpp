// Handling of one port event, on the delivery thread (the main thread with UseMainThread).

#include "TspCustomComm.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

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
            PortSession& session = *m_session;
            errorWord = readErrorWordLocked();
            holdFlags = static_cast<TComStateFlags>(m_comStat.Flags & 0xFF);
            const int queued = static_cast<int>(m_comStat.cbInQue);
            if (errorWord != 0) {
                // The bytes of this event wait for the next received-char event.
                if (mask & ev::RxChar)
                    session.rearmReceive(queued);
            } else if (mask & ev::RxChar) {
                const bool wanted = TraceStates().contains(TTraceState::tsRxChar) || HasReceiver();
                if (queued > 0 && wanted && m_readBuffer) {
                    buffer = m_readBuffer;
                    // Never more than the buffer; the rest makes the next event at once.
                    const size_t want = std::min(static_cast<size_t>(queued), buffer->size());
                    ssize_t n;
                    do {
                        n = Backend().read(Handle(), buffer->data(), want);
                    } while (n == -EINTR);
                    if (n > 0)
                        received = static_cast<uint32_t>(n);
                    else if (n < 0)
                        lastSystemError = static_cast<int>(-n);
                    session.rearmReceive(0);
                } else {
                    session.rearmReceive(wanted ? 0 : queued);
                }
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

// Sends: they run on the caller's thread. SendString and SendChar block until the bytes are
// written or the write time-out ran out; SendData copies what the driver cannot take at once
// and the port watcher writes it out as the device makes room.

#include "TspCustomComm.h"

#include <cerrno>
#include <chrono>
#include <poll.h>

namespace talvern::serial {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until the deadline, at least 0; -1 (no limit) without one.
int millisecondsLeft(const Clock::time_point* deadline) {
    if (deadline == nullptr)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Writes [data, data+length) to fd; waits for room until the deadline. 0 or an errno.
int writeAll(SerialBackend& backend, int fd, const uint8_t* data, size_t length, size_t& written,
             const Clock::time_point* deadline) {
    written = 0;
    while (written < length) {
        const ssize_t n = backend.write(fd, data + written, length - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n == -EINTR)
            continue;
        if (n != -EAGAIN && n != 0)
            return static_cast<int>(-n);
        // The driver's queue is full: wait for room, but not past the deadline.
        const int timeout = millisecondsLeft(deadline);
        if (timeout == 0)
            return ETIMEDOUT;
        pollfd fds{fd, POLLOUT, 0};
        const int rc = backend.poll(&fds, 1, timeout);
        if (rc == -EINTR)
            continue;
        if (rc < 0)
            return -rc;
        if (rc == 0)
            return ETIMEDOUT;
        if ((fds.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (fds.revents & POLLOUT) == 0)
            return EIO; // the device went away while we waited
    }
    return 0;
}

} // namespace

int TspCustomComm::flushPendingOutputLocked(const Clock::time_point* deadline) {
    if (m_pendingOffset >= m_pendingOutput.size())
        return 0;
    size_t written = 0;
    const int error = writeAll(Backend(), Handle(), m_pendingOutput.data() + m_pendingOffset,
                               m_pendingOutput.size() - m_pendingOffset, written, deadline);
    m_pendingOffset += written;
    if (m_pendingOffset >= m_pendingOutput.size() || error != 0) {
        m_pendingOutput.clear();
        m_pendingOffset = 0;
    }
    return error;
}

int TspCustomComm::writeBlocking(const uint8_t* data, size_t length) {
    std::lock_guard lock(m_io);
    if (!IsOpen())
        return EIO; // lost between the caller's check and here
    // Windows-style total time-out: per byte times the count, plus the constant; 0 and 0 is none.
    const uint64_t total = uint64_t(m_timeouts.WriteTotalTimeoutMultiplier) * length + m_timeouts.WriteTotalTimeoutConstant;
    const bool limited = m_timeouts.WriteTotalTimeoutMultiplier != 0 || m_timeouts.WriteTotalTimeoutConstant != 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(total);
    // Bytes an earlier SendData left behind go first, so the line keeps the order of the calls.
    int error = flushPendingOutputLocked(limited ? &deadline : nullptr);
    size_t written = 0;
    if (error == 0)
        error = writeAll(Backend(), Handle(), data, length, written, limited ? &deadline : nullptr);
    if (m_session && (m_eventMask & ev::TxEmpty) != 0) {
        m_session->transmitPending = true;
        m_session->wake();
    }
    return error;
}

void TspCustomComm::SendString(const std::string& bytes) {
    if (bytes.empty() || !IsOpen())
        return;
    LogLine(2, "Try to send string %s ...", bytes.c_str());
    if (m_rs485Mode && m_rtsEmulation)
        SetRTS(true);
    // A frame cut short by the time-out is not a frame sent: that is reported too (ETIMEDOUT).
    if (const int error = writeBlocking(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
        ReportCommError(0, static_cast<uint32_t>(error), 0);
}

void TspCustomComm::SendChar(uint8_t ch) {
    if (!IsOpen())
        return;
    LogLine(2, "Try to send char %2Xh ...", ch);
    if (m_rs485Mode && m_rtsEmulation)
        SetRTS(true);
    if (const int error = writeBlocking(&ch, 1))
        ReportCommError(0, static_cast<uint32_t>(error), 0);
}

void TspCustomComm::SendData(const void* data, uint32_t length) {
    if (!IsOpen())
        return;
    LogLine(2, "Try to send the data with %d length ...", static_cast<int>(length));
    if (m_rs485Mode && m_rtsEmulation)
        SetRTS(true);
    int error = 0;
    {
        std::lock_guard lock(m_io);
        if (!IsOpen()) {
            error = EIO;
        } else if (length > 0) {
            const auto* bytes = static_cast<const uint8_t*>(data);
            size_t written = 0;
            if (m_pendingOffset >= m_pendingOutput.size()) {
                // Nothing queued before us: hand the driver what it takes now, without waiting.
                for (;;) {
                    const ssize_t n = Backend().write(Handle(), bytes + written, length - written);
                    if (n > 0) {
                        written += static_cast<size_t>(n);
                        if (written == length)
                            break;
                        continue;
                    }
                    if (n == -EINTR)
                        continue;
                    if (n != -EAGAIN && n != 0)
                        error = static_cast<int>(-n);
                    break;
                }
            }
            if (error == 0 && written < length) {
                m_pendingOutput.insert(m_pendingOutput.end(), bytes + written, bytes + length);
                if (m_session) {
                    m_session->outputPending = true;
                    m_session->wake();
                }
            }
            if (error == 0 && m_session && (m_eventMask & ev::TxEmpty) != 0) {
                m_session->transmitPending = true;
                m_session->wake();
            }
        }
    }
    if (error != 0)
        ReportCommError(0, static_cast<uint32_t>(error), 0);
    else
        LogLine(2, "... the data transmittion is OK!");
}

TspCustomComm::PendingOutput TspCustomComm::writePendingOutputFromWatcher() {
    std::unique_lock lock(m_io, std::try_to_lock);
    if (!lock.owns_lock())
        return PendingOutput::Busy; // a send holds the port; it writes the pending bytes first anyway
    if (!IsOpen() || m_pendingOffset >= m_pendingOutput.size())
        return PendingOutput::None;
    const ssize_t n =
        Backend().write(Handle(), m_pendingOutput.data() + m_pendingOffset, m_pendingOutput.size() - m_pendingOffset);
    if (n > 0)
        m_pendingOffset += static_cast<size_t>(n);
    else if (n != -EAGAIN && n != -EINTR && n != 0)
        m_pendingOffset = m_pendingOutput.size(); // the device failed; a loss is reported by the watcher
    if (m_pendingOffset >= m_pendingOutput.size()) {
        m_pendingOutput.clear();
        m_pendingOffset = 0;
        return PendingOutput::None;
    }
    return PendingOutput::More;
}

} // namespace talvern::serial

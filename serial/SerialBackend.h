#pragma once
// The thin layer between the component and the system calls it makes on a serial device.
//
// Every call returns its result, or -errno on failure (never sets errno for the caller to
// read). The real backend (PosixSerialBackend) is a straight wrapper; tests derive from it to
// inject modem-line changes, line errors, EINTR, EAGAIN and EIO, which a pseudo-terminal cannot
// produce. A backend object is shared by every thread of a component: implementations must be
// safe to call concurrently (the real one is stateless).

#include <cstddef>
#include <cstdint>
#include <linux/serial.h>
#include <poll.h>
#include <string>
#include <sys/epoll.h>
#include <sys/types.h>
#include <termios.h>

namespace talvern::serial {

// The driver's line-error counters (those the component turns into the error word).
struct ErrorCounters {
    uint32_t frame = 0;
    uint32_t overrun = 0;
    uint32_t parity = 0;
    uint32_t brk = 0;
    uint32_t bufOverrun = 0;
};

class SerialBackend {
public:
    virtual ~SerialBackend() = default;

    // Opens the device read-write, without becoming its controlling terminal, non-blocking and
    // close-on-exec, and takes it for exclusive use (flock and TIOCEXCL). Returns the descriptor
    // or -errno; -EBUSY when another process holds it.
    virtual int openExclusive(const std::string& path);
    // Gives up exclusive use (TIOCNXCL, which would otherwise outlive the descriptor) and closes.
    virtual void closeDevice(int fd);

    virtual int getAttributes(int fd, termios& tio);
    virtual int setAttributes(int fd, const termios& tio);

    virtual ssize_t read(int fd, void* buffer, size_t count);
    virtual ssize_t write(int fd, const void* buffer, size_t count);
    virtual int poll(pollfd* fds, nfds_t count, int timeoutMs);
    // The port watcher's wait: epoll_wait on its own epoll descriptor.
    virtual int waitEvents(int epollFd, epoll_event* events, int maxEvents, int timeoutMs);

    virtual int inputQueued(int fd);  // bytes waiting to be read
    virtual int outputQueued(int fd); // bytes not yet sent
    virtual int flush(int fd, int queueSelector); // TCIFLUSH, TCOFLUSH or TCIOFLUSH

    // TIOCM_* bits of the modem lines; -ENOTTY where the device has none (pseudo-terminals).
    virtual int modemLines(int fd);
    virtual int setModemLines(int fd, int bits, bool on);
    // -ENOTTY where the driver keeps no counters.
    virtual int errorCounters(int fd, ErrorCounters& counters);
    // RS-485 mode of the driver; -ENOTTY where it offers none.
    virtual int getRs485(int fd, serial_rs485& config);
    virtual int setRs485(int fd, const serial_rs485& config);

    // The process-wide real backend.
    static SerialBackend& system();
};

using PosixSerialBackend = SerialBackend;

} // namespace talvern::serial

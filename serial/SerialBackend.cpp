#include "SerialBackend.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace talvern::serial {
namespace {

int result(int rc) { return rc < 0 ? -errno : rc; }

} // namespace

int SerialBackend::openExclusive(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -errno;
    if (!::isatty(fd)) {
        ::close(fd);
        return -ENOTTY;
    }
    // flock keeps out every cooperating opener (another TALVERN, most terminal programs);
    // TIOCEXCL keeps out any later open() but root's.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return -error;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return -error;
    }
    return fd;
}

void SerialBackend::closeDevice(int fd) {
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    ::close(fd); // an EINTR from close() still closed the descriptor on Linux: no retry
}

int SerialBackend::getAttributes(int fd, termios& tio) { return result(::tcgetattr(fd, &tio)); }

int SerialBackend::setAttributes(int fd, const termios& tio) { return result(::tcsetattr(fd, TCSANOW, &tio)); }

ssize_t SerialBackend::read(int fd, void* buffer, size_t count) {
    const ssize_t n = ::read(fd, buffer, count);
    return n < 0 ? -errno : n;
}

ssize_t SerialBackend::write(int fd, const void* buffer, size_t count) {
    const ssize_t n = ::write(fd, buffer, count);
    return n < 0 ? -errno : n;
}

int SerialBackend::poll(pollfd* fds, nfds_t count, int timeoutMs) { return result(::poll(fds, count, timeoutMs)); }

int SerialBackend::waitEvents(int epollFd, epoll_event* events, int maxEvents, int timeoutMs) {
    return result(::epoll_wait(epollFd, events, maxEvents, timeoutMs));
}

int SerialBackend::inputQueued(int fd) {
    int n = 0;
    return ::ioctl(fd, FIONREAD, &n) < 0 ? -errno : n;
}

int SerialBackend::outputQueued(int fd) {
    int n = 0;
    return ::ioctl(fd, TIOCOUTQ, &n) < 0 ? -errno : n;
}

int SerialBackend::flush(int fd, int queueSelector) { return result(::tcflush(fd, queueSelector)); }

int SerialBackend::modemLines(int fd) {
    int bits = 0;
    return ::ioctl(fd, TIOCMGET, &bits) < 0 ? -errno : bits;
}

int SerialBackend::setModemLines(int fd, int bits, bool on) {
    return result(::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits));
}

int SerialBackend::errorCounters(int fd, ErrorCounters& counters) {
    serial_icounter_struct icount{};
    if (::ioctl(fd, TIOCGICOUNT, &icount) < 0)
        return -errno;
    counters.frame = static_cast<uint32_t>(icount.frame);
    counters.overrun = static_cast<uint32_t>(icount.overrun);
    counters.parity = static_cast<uint32_t>(icount.parity);
    counters.brk = static_cast<uint32_t>(icount.brk);
    counters.bufOverrun = static_cast<uint32_t>(icount.buf_overrun);
    return 0;
}

int SerialBackend::getRs485(int fd, serial_rs485& config) { return result(::ioctl(fd, TIOCGRS485, &config)); }

int SerialBackend::setRs485(int fd, const serial_rs485& config) {
    serial_rs485 copy = config;
    return result(::ioctl(fd, TIOCSRS485, &copy));
}

SerialBackend& SerialBackend::system() {
    static SerialBackend backend;
    return backend;
}

} // namespace talvern::serial

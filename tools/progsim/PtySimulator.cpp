#include "PtySimulator.h"

#include "ComPortMap.h"
#include "FrameParser.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace talvern::progsim {

namespace {

std::system_error systemError(const std::string& what) {
    return {errno, std::generic_category(), what};
}

std::string timestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return text;
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

speed_t speedOf(unsigned baud) {
    switch (baud) {
    case 9600:
        return B9600;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B19200;
    }
}

} // namespace

PtySimulator::PtySimulator(SimulatorOptions options) : m_options(std::move(options)) {
    if (m_options.baudRate == 0) {
        m_options.baudRate = 19200;
    }
    if (m_options.blankCard) {
        m_programmer.placeBlankCard();
    }
    if (!m_options.logFile.empty()) {
        m_logFile = std::fopen(m_options.logFile.c_str(), "a");
        if (m_logFile == nullptr) {
            throw systemError("cannot open the log file " + m_options.logFile);
        }
    }
    try {
        termios raw{};
        cfmakeraw(&raw);
        cfsetispeed(&raw, speedOf(m_options.baudRate));
        cfsetospeed(&raw, speedOf(m_options.baudRate));
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
            throw systemError("cannot open a pseudo-terminal");
        }
        m_devicePath = name;
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
        ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_wake < 0) {
            throw systemError("cannot create an event descriptor");
        }
        if (m_options.comPort != 0) {
            const serial::ComPortMap map =
                m_options.comPortMapFile.empty() ? serial::ComPortMap() : serial::ComPortMap(m_options.comPortMapFile);
            m_previousEntry = map.entry(m_options.comPort);
            // A pseudo-terminal that has gone is what a simulator killed outright leaves behind: it
            // is not worth restoring.
            if (m_previousEntry && m_previousEntry->rfind("/dev/pts/", 0) == 0 &&
                ::access(m_previousEntry->c_str(), F_OK) != 0) {
                m_previousEntry.reset();
            }
            map.setEntry(m_options.comPort, m_devicePath);
            m_registered = true;
        }
    } catch (...) {
        closeLine();
        closeFd(m_wake);
        if (m_logFile != nullptr) {
            std::fclose(m_logFile);
        }
        throw;
    }
    log("programmer ready on " + m_devicePath +
        (m_options.comPort != 0 ? " as COM" + std::to_string(m_options.comPort) : std::string()) +
        (m_options.blankCard ? ", a blank card lies on it" : ", no card"));
    m_worker = std::thread([this] { run(); });
}

PtySimulator::~PtySimulator() {
    stopWorker();
    closeLine();
    closeFd(m_wake);
    if (m_registered) {
        try {
            const serial::ComPortMap map =
                m_options.comPortMapFile.empty() ? serial::ComPortMap() : serial::ComPortMap(m_options.comPortMapFile);
            if (m_previousEntry) {
                map.setEntry(m_options.comPort, *m_previousEntry);
            } else {
                map.removeEntry(m_options.comPort);
            }
        } catch (const std::exception& e) {
            log(std::string("could not restore the COM-port map: ") + e.what());
        }
    }
    log("programmer stopped");
    if (m_logFile != nullptr) {
        std::fclose(m_logFile);
    }
}

void PtySimulator::stopWorker() {
    if (m_worker.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
        m_worker.join();
    }
}

void PtySimulator::closeLine() {
    closeFd(m_master);
    closeFd(m_slave);
}

void PtySimulator::hangUp() {
    stopWorker();
    closeLine();
    log("line hung up");
}

void PtySimulator::placeCard(const CardImage& image) {
    {
        std::lock_guard lock(m_mutex);
        m_programmer.placeCard(image);
    }
    std::string text = describeCard();
    for (auto& c : text) {
        c = c == '\n' ? ';' : c;
    }
    log("card placed: " + text);
}

void PtySimulator::placeBlankCard() {
    {
        std::lock_guard lock(m_mutex);
        m_programmer.placeBlankCard();
    }
    log("blank card placed");
}

void PtySimulator::dropNextWriteOf(std::uint8_t block) {
    {
        std::lock_guard lock(m_mutex);
        m_programmer.dropNextWriteOf(block);
    }
    log("the next write of block " + std::to_string(block) + " will be dropped");
}

void PtySimulator::removeCard() {
    {
        std::lock_guard lock(m_mutex);
        m_programmer.removeCard();
    }
    log("card removed");
}

std::optional<CardImage> PtySimulator::card() const {
    std::lock_guard lock(m_mutex);
    return m_programmer.card();
}

std::string PtySimulator::describeCard() const {
    return progsim::describeCard(card());
}

std::vector<ReceivedFrame> PtySimulator::frames() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

void PtySimulator::clearFrames() {
    std::lock_guard lock(m_mutex);
    m_frames.clear();
}

bool PtySimulator::waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_frames.size() >= count; });
}

std::size_t PtySimulator::badChecksums() const {
    std::lock_guard lock(m_mutex);
    return m_badChecksums;
}

void PtySimulator::log(const std::string& line) {
    const std::string text = timestamp() + "  " + line;
    std::lock_guard lock(m_logMutex);
    if (m_logFile != nullptr) {
        std::fprintf(m_logFile, "%s\n", text.c_str());
        std::fflush(m_logFile);
    }
    if (m_options.onLog) {
        m_options.onLog(text);
    }
}

void PtySimulator::run() {
    FrameParser parser;
    pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake, POLLIN, 0}};
    std::uint8_t buffer[512];
    for (;;) {
        const int timeout = parser.pending() ? static_cast<int>(m_options.idleFlush.count()) : -1;
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            log(std::string("poll failed: ") + std::strerror(errno));
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (ready == 0) {
            process(parser.flush(), std::chrono::steady_clock::now());
            continue;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            const auto at = std::chrono::steady_clock::now();
            if (n > 0) {
                process(parser.feed(buffer, static_cast<std::size_t>(n)), at);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
        }
        // The slave end is held open here, so a hang-up means the line itself is gone.
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

void PtySimulator::process(const std::vector<ParsedItem>& items, std::chrono::steady_clock::time_point at) {
    for (const ParsedItem& item : items) {
        switch (item.kind) {
        case ParsedItem::Kind::Garbage:
            log("<-" + card::traceText(item.bytes) + "  garbage, skipped");
            break;
        case ParsedItem::Kind::BadChecksum: {
            {
                std::lock_guard lock(m_mutex);
                ++m_badChecksums;
            }
            log("<-" + card::traceText(item.bytes) + "  bad checksum, ignored");
            break;
        }
        case ParsedItem::Kind::Frame: {
            VirtualProgrammer::Reply reply;
            {
                std::lock_guard lock(m_mutex);
                reply = m_programmer.handle(item.bytes);
                m_frames.push_back({item.bytes, at});
            }
            m_changed.notify_all();
            log("<-" + card::traceText(item.bytes) + "  " + reply.note +
                (reply.answer.empty() ? std::string() : "  ->" + card::traceText(reply.answer)));
            send(reply.answer);
            break;
        }
        }
    }
}

void PtySimulator::send(const Bytes& answer) {
    using namespace std::chrono;
    const auto byteTime = duration_cast<steady_clock::duration>(microseconds(10'000'000 / m_options.baudRate));
    auto next = steady_clock::now();
    for (std::size_t i = 0; i < answer.size();) {
        const std::size_t chunk = m_options.pace ? 1 : answer.size() - i;
        const ssize_t n = ::write(m_master, answer.data() + i, chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                std::this_thread::sleep_for(milliseconds(1));
                continue;
            }
            log(std::string("write failed: ") + std::strerror(errno));
            return;
        }
        i += static_cast<std::size_t>(n);
        if (m_options.pace) {
            next += byteTime * n;
            std::this_thread::sleep_until(next);
        }
    }
}

} // namespace talvern::progsim

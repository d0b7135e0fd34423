// Figures of the serial component on pseudo-terminal pairs, next to Qt's QSerialPort on the same
// kind of pair, with the same Qt event loop on the main thread:
//  - latency from a byte written on the far side to the receive handler on the main thread
//    (median and p99 over single bytes), twice: with the far side written by the main thread
//    itself, and with the far side played by a thread of its own, as a device would be,
//  - throughput of a 1 MiB burst from the far side (the median of many bursts, the two ports
//    taking turns: one burst's figure moves by a factor of ten with where the pty's flush work
//    and the reader happen to run),
//  - CPU time while the port is open and idle,
//  - CPU time after the far side was closed (device lost).
//
// Usage: serial-bench [--quick] [--dispatcher-only]
//   --quick: fewer samples and bursts, and 2 s instead of 10 s windows
//   --dispatcher-only: TspComm without its doorbell, every event handed over by the message
//   thread (to see what the doorbell saves)
//
// Why both latency figures: when the main thread writes the far side itself, its processor is
// awake at the moment the byte lands, so a reader on the main thread is woken at almost no
// cost, while a reader that hands the byte on from other threads pays for waking processors
// that went idle. On a virtual machine that halts idle processors at once, that wake costs
// tens of microseconds and the figure measures it more than the hand-off. Bytes from a real
// device arrive while the main thread sleeps; the second figure plays that.

#include "QtEventLoopDelivery.h"
#include "TspComm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <ctime>
#include <unistd.h>
#include <vector>

using namespace talvern::serial;
using Clock = std::chrono::steady_clock;

namespace {

struct Settings {
    int latencySamples = 3000;
    int bursts = 21;
    int windowSeconds = 10;
    bool doorbell = true;
};

double threadCpuUs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class Pty {
public:
    Pty() {
        int slave = -1;
        char name[256];
        if (::openpty(&m_far, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        termios tio{};
        ::tcgetattr(m_far, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_far, TCSANOW, &tio);
        m_slave = slave;
        m_path = name;
    }
    ~Pty() { closeFar(); }
    const std::string& path() const { return m_path; }
    int far() const { return m_far; }
    void closeFar() {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_far >= 0)
            ::close(m_far);
        m_slave = m_far = -1;
    }

private:
    int m_far = -1;
    int m_slave = -1;
    std::string m_path;
};

void writeAll(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return;
        }
    }
}

// The far side played by a thread of its own: asked to write one byte, it waits until the main
// thread is back asleep in its event loop, notes the time and writes.
class DeviceThread {
public:
    DeviceThread() : m_thread([this] { run(); }) {}
    ~DeviceThread() {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    void writeSoon(int fd) {
        {
            std::lock_guard lock(m_mutex);
            m_fd = fd;
            m_pending = true;
        }
        m_changed.notify_all();
    }
    // When the last byte was written, once it has been.
    Clock::time_point waitWritten() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_pending; });
        return m_sentAt;
    }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_quit || m_pending; });
            if (m_quit)
                return;
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            const auto sentAt = Clock::now();
            writeAll(m_fd, "x", 1);
            lock.lock();
            m_sentAt = sentAt;
            m_pending = false;
            m_changed.notify_all();
        }
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_fd = -1;
    bool m_pending = false;
    bool m_quit = false;
    Clock::time_point m_sentAt;
    std::thread m_thread;
};

bool g_doorbell = true;

// The event loop the receive handlers end when their condition is met.
QEventLoop* g_loop = nullptr;
std::function<bool()> g_done;

void checkDone() {
    if (g_loop != nullptr && g_done && g_done())
        g_loop->quit();
}

// Runs the event loop, sleeping in it, until done() or the timeout.
void runUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return;
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    g_loop = &loop;
    g_done = done;
    loop.exec();
    g_loop = nullptr;
    g_done = nullptr;
}

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One implementation under test: open on a path, a receive callback on the main thread.
class Port {
public:
    virtual ~Port() = default;
    virtual bool open(const std::string& path, std::function<void(size_t)> onReceive) = 0;
    virtual void close() = 0;
};

class TspPort : public Port {
public:
    bool open(const std::string& path, std::function<void(size_t)> onReceive) override {
        std::string folder = (std::filesystem::temp_directory_path() / "serial-bench-XXXXXX").string();
        if (::mkdtemp(folder.data()) == nullptr)
            return false;
        m_folder = folder;
        ComPortMap map(m_folder + "/comports");
        map.setEntry(1, path);
        m_rs = std::make_unique<TspComm>();
        m_rs->SetPortMap(map);
        m_rs->SetStreamProtocol(TStreamProtocol::spNone);
        // As the program does: queued calls into the event loop, and the doorbell.
        if (g_doorbell) {
            m_delivery = std::make_unique<QtEventLoopDelivery>(*m_rs);
        } else {
            m_rs->SetMainThreadDispatcher([](std::function<void()> call) {
                QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call), Qt::QueuedConnection);
            });
        }
        m_rs->OnAfterReceive = [onReceive](TspBaseIO*, const uint8_t*, uint32_t n) { onReceive(n); };
        m_rs->SetActive(true);
        return m_rs->Active();
    }
    void close() override {
        m_delivery.reset();
        m_rs.reset();
        std::remove((m_folder + "/comports").c_str());
        ::rmdir(m_folder.c_str());
    }

private:
    std::string m_folder;
    std::unique_ptr<TspComm> m_rs;
    std::unique_ptr<QtEventLoopDelivery> m_delivery;
};

class QtPort : public Port {
public:
    bool open(const std::string& path, std::function<void(size_t)> onReceive) override {
        m_port = std::make_unique<QSerialPort>(QString::fromStdString(path));
        m_port->setBaudRate(19200);
        QObject::connect(m_port.get(), &QSerialPort::readyRead, [this, onReceive] {
            const QByteArray bytes = m_port->readAll();
            if (!bytes.isEmpty())
                onReceive(size_t(bytes.size()));
        });
        return m_port->open(QIODevice::ReadWrite);
    }
    void close() override { m_port.reset(); }

private:
    std::unique_ptr<QSerialPort> m_port;
};

struct Figures {
    double medianUs = 0, p99Us = 0, deviceMedianUs = 0, deviceP99Us = 0, mibPerSecond = 0, idleCpuPercent = 0, lostCpuPercent = 0;
    double slowestMibPerSecond = 0, fastestMibPerSecond = 0;
    double readsPerMib = 0; // receive handler calls per MiB (median burst)
    double mainCpuUsPerMib = 0; // the main thread's processor time per MiB (median burst)
    bool ok = true;
};

// A port under test on its own pty pair, counting what its receive handler saw.
struct Subject {
    Pty pty;
    std::unique_ptr<Port> port;
    size_t received = 0;
    size_t calls = 0; // receive handler calls
    Clock::time_point receivedAt;
    std::vector<double> samples;       // far side written by the main thread
    std::vector<double> deviceSamples; // far side written by a thread of its own
    Figures figures;

    bool open(std::unique_ptr<Port> p) {
        port = std::move(p);
        return port->open(pty.path(), [this](size_t n) {
            receivedAt = Clock::now();
            received += n;
            ++calls;
            checkDone();
        });
    }
    // One byte from the far side to the handler, from idle; written by the main thread, or by
    // the device thread when one is given.
    void sample(DeviceThread* device) {
        const size_t before = received;
        Clock::time_point sentAt;
        if (device != nullptr) {
            device->writeSoon(pty.far());
        } else {
            sentAt = Clock::now();
            writeAll(pty.far(), "x", 1);
        }
        runUntil([&] { return received > before; }, 2000);
        if (device != nullptr)
            sentAt = device->waitWritten();
        if (received == before)
            figures.ok = false;
        else
            (device ? deviceSamples : samples)
                .push_back(std::chrono::duration<double, std::micro>(receivedAt - sentAt).count());
    }
    static void medianAndP99(std::vector<double>& values, double& median, double& p99) {
        std::sort(values.begin(), values.end());
        if (!values.empty()) {
            median = values[values.size() / 2];
            p99 = values[std::min(values.size() - 1, values.size() * 99 / 100)];
        }
    }
    void summarise() {
        medianAndP99(samples, figures.medianUs, figures.p99Us);
        medianAndP99(deviceSamples, figures.deviceMedianUs, figures.deviceP99Us);
    }
    struct Burst {
        double mibPerSecond;
        size_t calls;
        double mainCpuUs; // the main thread's processor time for the burst
    };
    std::vector<Burst> bursts;
    void burst() {
        const size_t total = 1 << 20;
        const size_t start = received;
        const size_t callsBefore = calls;
        const double cpu0 = threadCpuUs();
        const auto t0 = Clock::now();
        std::thread writer([&] {
            const std::string block(4096, 'b');
            for (size_t sent = 0; sent < total; sent += block.size())
                writeAll(pty.far(), block.data(), block.size());
        });
        runUntil([&] { return received - start >= total; }, 60000);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        writer.join();
        if (received - start >= total)
            bursts.push_back({1.0 / seconds, calls - callsBefore, threadCpuUs() - cpu0});
        else
            figures.ok = false;
    }
    void summariseBursts() {
        if (bursts.empty())
            return;
        std::sort(bursts.begin(), bursts.end(), [](const Burst& a, const Burst& b) { return a.mibPerSecond < b.mibPerSecond; });
        figures.mibPerSecond = bursts[bursts.size() / 2].mibPerSecond;
        figures.readsPerMib = double(bursts[bursts.size() / 2].calls);
        std::vector<double> cpu;
        for (const auto& b : bursts)
            cpu.push_back(b.mainCpuUs);
        std::sort(cpu.begin(), cpu.end());
        figures.mainCpuUsPerMib = cpu[cpu.size() / 2];
        figures.slowestMibPerSecond = bursts.front().mibPerSecond;
        figures.fastestMibPerSecond = bursts.back().mibPerSecond;
    }
};

double cpuPercentOver(int seconds) {
    const double cpu0 = cpuSeconds();
    runFor(seconds * 1000);
    return 100.0 * (cpuSeconds() - cpu0) / seconds;
}

double ratio(double a, double b) { return b > 0 ? a / b : 0; }

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            settings.latencySamples = 500;
            settings.bursts = 7;
            settings.windowSeconds = 2;
        } else if (std::strcmp(argv[i], "--dispatcher-only") == 0) {
            settings.doorbell = false;
        } else {
            std::fprintf(stderr, "usage: serial-bench [--quick] [--dispatcher-only]\n");
            return 2;
        }
    }
    g_doorbell = settings.doorbell;
    std::printf("serial-bench: %d single-byte samples, %d bursts of 1 MiB, %d s idle and %d s after loss; TspComm %s\n",
                settings.latencySamples, settings.bursts, settings.windowSeconds, settings.windowSeconds,
                settings.doorbell ? "with its doorbell" : "with the dispatcher only");
    std::fflush(stdout);

    // The event loop alone, for reference: what the idle figures below are measured against.
    const double baseline = cpuPercentOver(settings.windowSeconds);

    Subject ours, qt;
    // Idle first, each port alone and freshly opened.
    if (!ours.open(std::make_unique<TspPort>()))
        return 1;
    runFor(100);
    ours.figures.idleCpuPercent = cpuPercentOver(settings.windowSeconds);
    if (!qt.open(std::make_unique<QtPort>()))
        return 1;
    runFor(100);
    {
        // The Qt port's idle cost alone: ours is known to be idle, and stays open.
        qt.figures.idleCpuPercent = cpuPercentOver(settings.windowSeconds);
    }

    // Latency samples interleaved, so both see the same machine load.
    {
        DeviceThread device;
        for (int i = 0; i < settings.latencySamples; ++i) {
            for (Subject* s : {&ours, &qt}) {
                for (DeviceThread* writer : {static_cast<DeviceThread*>(nullptr), &device}) {
                    std::this_thread::sleep_for(std::chrono::microseconds(500)); // every thread back in its wait
                    s->sample(writer);
                }
            }
        }
    }
    ours.summarise();
    qt.summarise();
    for (int i = 0; i < settings.bursts; ++i) {
        // Taking turns, and each starting first every other time, so both see the same load.
        Subject* first = i % 2 == 0 ? &ours : &qt;
        Subject* second = first == &ours ? &qt : &ours;
        first->burst();
        runFor(20);
        second->burst();
        runFor(20);
    }
    ours.summariseBursts();
    qt.summariseBursts();

    // After a device loss: one port at a time, each on a fresh pair.
    Figures& o = ours.figures;
    Figures& q = qt.figures;
    qt.port->close();
    ours.port->close();
    runFor(100);
    const double baselineAfter = cpuPercentOver(settings.windowSeconds);
    {
        Subject lost;
        if (!lost.open(std::make_unique<TspPort>()))
            return 1;
        lost.pty.closeFar();
        runFor(100);
        o.lostCpuPercent = cpuPercentOver(settings.windowSeconds);
        lost.port->close();
    }

    Subject qtAlone;
    if (!qtAlone.open(std::make_unique<QtPort>()))
        return 1;
    qtAlone.pty.closeFar();
    runFor(100);
    q.lostCpuPercent = cpuPercentOver(settings.windowSeconds);
    qtAlone.port->close();

    std::printf("%-28s %14s %14s %10s\n", "", "TspComm", "QSerialPort", "ratio");
    std::printf("far side written by the main thread:\n");
    std::printf("%-28s %14.1f %14.1f %10.2f\n", "  latency median (us)", o.medianUs, q.medianUs, ratio(o.medianUs, q.medianUs));
    std::printf("%-28s %14.1f %14.1f %10.2f\n", "  latency p99 (us)", o.p99Us, q.p99Us, ratio(o.p99Us, q.p99Us));
    std::printf("far side written by its own thread, as a device:\n");
    std::printf("%-28s %14.1f %14.1f %10.2f\n", "  latency median (us)", o.deviceMedianUs, q.deviceMedianUs,
                ratio(o.deviceMedianUs, q.deviceMedianUs));
    std::printf("%-28s %14.1f %14.1f %10.2f\n", "  latency p99 (us)", o.deviceP99Us, q.deviceP99Us,
                ratio(o.deviceP99Us, q.deviceP99Us));
    std::printf("%-28s %14.2f %14.2f %10.2f\n", "1 MiB burst, median (MiB/s)", o.mibPerSecond, q.mibPerSecond,
                ratio(o.mibPerSecond, q.mibPerSecond));
    std::printf("%-28s %6.1f-%-7.1f %6.1f-%-7.1f\n", "  slowest-fastest (MiB/s)", o.slowestMibPerSecond,
                o.fastestMibPerSecond, q.slowestMibPerSecond, q.fastestMibPerSecond);
    std::printf("%-28s %14.0f %14.0f\n", "  receive calls per MiB", o.readsPerMib, q.readsPerMib);
    std::printf("%-28s %14.0f %14.0f %10.2f\n", "  main thread CPU per MiB (us)", o.mainCpuUsPerMib, q.mainCpuUsPerMib,
                ratio(o.mainCpuUsPerMib, q.mainCpuUsPerMib));
    std::printf("%-28s %14.3f %14.3f %10s\n", "idle CPU (% of one core)", o.idleCpuPercent - baseline,
                q.idleCpuPercent - baseline, "");
    std::printf("%-28s %14.3f %14.3f %10s\n", "CPU after loss (% of core)", o.lostCpuPercent - baseline,
                q.lostCpuPercent - baseline,
                "");
    std::printf("(CPU figures are above the event loop's own %.3f %% of one core; %.3f %% once the ports above closed)\n",
                baseline, baselineAfter);
    if (!o.ok || !q.ok)
        std::printf("note: a run did not complete (TspComm %s, QSerialPort %s)\n", o.ok ? "ok" : "incomplete",
                    q.ok ? "ok" : "incomplete");
    return o.ok ? 0 : 1;
}

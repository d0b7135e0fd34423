#include "SerialTestSupport.h"

#include "TspCustomComm.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace talvern::serial::testing {

PtyPair::PtyPair() {
    int slave = -1;
    char name[256];
    if (::openpty(&m_far, &slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    // The far side stays raw too, so no byte is changed on its way.
    termios tio{};
    ::tcgetattr(m_far, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_far, TCSANOW, &tio);
    ::fcntl(m_far, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_far, F_SETFL, ::fcntl(m_far, F_GETFL) | O_NONBLOCK);
    m_path = name;
    // Closing our slave before anyone else opened it would leave the master hung up; the
    // component opens its own descriptor, so ours can go once that has happened. We simply
    // keep ours until the pair ends (it takes no lock on the device).
    m_keepSlave = slave;
    ::fcntl(m_keepSlave, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair() {
    if (m_far >= 0)
        ::close(m_far);
    if (m_keepSlave >= 0)
        ::close(m_keepSlave);
}

void PtyPair::write(const std::string& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_far, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{m_far, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else if (!(n < 0 && errno == EINTR)) {
            throw std::runtime_error("write to the far side failed");
        }
    }
}

std::string PtyPair::read(size_t count, std::chrono::milliseconds timeout) const {
    std::string out;
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{m_far, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(m_far, buf, std::min(sizeof buf, count - out.size()));
        if (n > 0)
            out.append(buf, static_cast<size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return out;
}

void PtyPair::fillTowardsFar() const {
    const int flags = ::fcntl(m_keepSlave, F_GETFL);
    ::fcntl(m_keepSlave, F_SETFL, flags | O_NONBLOCK);
    const std::string block(4096, 'f');
    for (;;) {
        const ssize_t n = ::write(m_keepSlave, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0)
            continue;
        // The pty moves bytes on to the far side in the background: full means no room for a while.
        pollfd p{m_keepSlave, POLLOUT, 0};
        if (::poll(&p, 1, 100) <= 0)
            break;
    }
    ::fcntl(m_keepSlave, F_SETFL, flags);
}

void PtyPair::closeFar() {
    if (m_keepSlave >= 0) {
        ::close(m_keepSlave);
        m_keepSlave = -1;
    }
    if (m_far >= 0) {
        ::close(m_far);
        m_far = -1;
    }
}

std::string deliveryName(Delivery delivery) { return delivery == Delivery::Queued ? "Queued" : "Doorbell"; }

MainLoop::MainLoop() : m_mainThread(std::this_thread::get_id()) {
    m_callsQueued = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_callsQueued < 0)
        throw std::runtime_error("eventfd failed");
}

MainLoop::~MainLoop() { ::close(m_callsQueued); }

MainThreadDispatcher MainLoop::dispatcher() {
    return [this](std::function<void()> call) {
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back(std::move(call));
        }
        const uint64_t one = 1;
        while (::write(m_callsQueued, &one, sizeof one) < 0 && errno == EINTR) {
        }
    };
}

void MainLoop::attach(TspCustomComm& component, Delivery delivery) {
    component.SetMainThreadDispatcher(dispatcher());
    if (delivery == Delivery::Doorbell) {
        m_doorbell = component.WatchDoorbell();
        if (m_doorbell < 0)
            throw std::runtime_error("no doorbell");
        m_doorbellOwner = &component;
    }
}

void MainLoop::detach() {
    m_doorbellOwner = nullptr;
    m_doorbell = -1;
}

bool MainLoop::runOne(std::chrono::steady_clock::time_point until) {
    // Like an event loop: sleeps until a call is queued or the doorbell rings, then serves one.
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(m_mutex);
            if (!m_calls.empty()) {
                call = std::move(m_calls.front());
                m_calls.pop_front();
            }
        }
        if (call) {
            call();
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= until)
            return false;
        pollfd fds[2] = {{m_callsQueued, POLLIN, 0}, {m_doorbell, POLLIN, 0}};
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
        if (::poll(fds, m_doorbell >= 0 ? 2 : 1, static_cast<int>(wait)) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            uint64_t count;
            while (::read(m_callsQueued, &count, sizeof count) < 0 && errno == EINTR) {
            }
        }
        if (m_doorbell >= 0 && (fds[1].revents & POLLIN)) {
            m_doorbellOwner->ServiceDoorbell();
            return true;
        }
    }
}

bool MainLoop::pumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= until)
            return pred();
        runOne(std::min(until, std::chrono::steady_clock::now() + std::chrono::milliseconds(5)));
    }
    return true;
}

void MainLoop::pumpFor(std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < until)
        runOne(until);
}

TempMap::TempMap() {
    std::string pattern = (fs::temp_directory_path() / "serial-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_folder = pattern;
    m_file = m_folder + "/talvern/comports";
}

TempMap::~TempMap() {
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

size_t countOpenDescriptors() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

size_t countWorkerThreads() {
    size_t n = 0;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/proc/self/task", ignored)) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind("spComm ", 0) == 0)
            ++n;
    }
    return n;
}

} // namespace talvern::serial::testing

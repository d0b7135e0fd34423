#pragma once
// What the serial tests share: a pseudo-terminal pair whose far side the test plays, a small
// main-thread event loop standing in for the application's, and a COM-port map in a
// temporary folder.

#include "ComPortMap.h"
#include "MainThreadDispatcher.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace talvern::serial {
class TspCustomComm;
}

namespace talvern::serial::testing {

// openpty(): `far` is the master the test reads and writes; `path` is the slave's device name.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& path() const { return m_path; }
    int far() const { return m_far; }
    void write(const std::string& bytes) const;
    // Reads what is there within timeout, until `count` bytes came.
    std::string read(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Fills the queue towards the far side (through a second descriptor of the near side)
    // until the pty takes no more: a device that stopped taking bytes.
    void fillTowardsFar() const;
    // The far side hangs up: like pulling the USB adapter.
    void closeFar();

private:
    int m_far = -1;
    int m_keepSlave = -1; // held until the component opened its own, so the pty stays usable
    std::string m_path;
};

// How a component's events reach the main loop: queued calls only, or queued calls and the
// doorbell, as the program's event loop has it.
enum class Delivery { Queued, Doorbell };
std::string deliveryName(Delivery delivery);

// The test's main thread loop: the dispatcher queues calls; pump() runs them on this thread,
// and serves the doorbell of the component it was attached to with Delivery::Doorbell.
class MainLoop {
public:
    MainLoop();
    ~MainLoop();
    MainLoop(const MainLoop&) = delete;
    MainLoop& operator=(const MainLoop&) = delete;
    MainThreadDispatcher dispatcher();
    // Sets the component's dispatcher and, for Doorbell, watches its doorbell. Call while closed.
    void attach(TspCustomComm& component, Delivery delivery);
    // Stops serving the doorbell: before the attached component is destroyed while the loop
    // still runs.
    void detach();
    // Runs queued calls until pred() is true or timeout; returns pred().
    bool pumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Runs queued calls for the given time.
    void pumpFor(std::chrono::milliseconds duration);
    bool onMainThread() const { return std::this_thread::get_id() == m_mainThread; }

private:
    bool runOne(std::chrono::steady_clock::time_point until);
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_calls;
    int m_callsQueued = -1; // eventfd: readable while calls wait
    TspCustomComm* m_doorbellOwner = nullptr;
    int m_doorbell = -1;
    std::thread::id m_mainThread;
};

// A temporary folder with a COM-port map in it, removed at the end.
class TempMap {
public:
    TempMap();
    ~TempMap();
    ComPortMap map() const { return ComPortMap(m_file); }
    const std::string& folder() const { return m_folder; }

private:
    std::string m_folder;
    std::string m_file;
};

// Open descriptors of this process and the component's worker threads (found by their names),
// to check that nothing is left behind.
size_t countOpenDescriptors();
size_t countWorkerThreads();

} // namespace talvern::serial::testing

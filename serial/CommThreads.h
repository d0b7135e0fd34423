#pragma once
// The two worker threads of an open port and what they share.
//
// TCommThread, the port watcher, waits in epoll on the device and on a wake-up descriptor and
// forwards port event masks to the message thread's queue; it never reads data and never
// allocates per event. The device is watched edge-triggered: "characters arrived" is reported
// when bytes arrive, not while they wait, so bytes left unread on purpose (no receiver, a line
// error) cost nothing until more come, and no hand-back from the handler is needed. TMsgThread takes each mask from its queue and has HandleComEvent run,
// on the main thread through the dispatcher (waiting until it ran) or on itself.
//
// A PortSession lives from one open to the matching close. The threads hold it by shared
// pointer, so nothing they use can go away under them; the component joins them when it
// closes the port from another thread, or later (next open, destruction) when the watcher
// itself closed the port after a device loss.

#include "MainThreadDispatcher.h"
#include "SerialBackend.h"
#include "SerialTypes.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace talvern::serial {

class TspCustomComm;

// One event handed to the main thread: the message thread waits for done or cancelled.
struct PendingDelivery {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool cancelled = false;
};

struct PortSession {
    PortSession(TspCustomComm* owner, SerialBackend& backend, int fd, uint64_t generation);
    ~PortSession();
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;

    // Asks both threads to end: the watcher is woken, the message thread's queue quits and a
    // wait for the main thread is cancelled. Safe from any thread, any number of times.
    void stop();
    void wake();
    // Joins the threads, except the calling one. Returns false when the caller is one of them.
    bool join();

    // Watcher → message thread. Never allocates: a received-char event already waiting in the
    // queue covers a new one, and a full queue merges into its newest entry.
    void post(uint32_t mask);
    // Message thread: the next mask, or false once told to quit.
    bool take(uint32_t& mask);

    TspCustomComm* const owner;
    SerialBackend& backend;
    const int fd;
    const uint64_t generation;
    int wakeFd = -1;
    int epollFd = -1;
    int initialLines = -1; // modem lines at the open, -errno when unreadable
    ErrorCounters initialCounters;
    bool countersReadable = false;

    std::atomic<bool> terminated{false};
    std::atomic<bool> transmitPending{false};
    std::atomic<bool> outputPending{false};

    std::mutex queueMutex;
    std::condition_variable queueChanged;
    std::array<uint32_t, 64> queue{};
    size_t queueHead = 0;
    size_t queueCount = 0;
    bool quit = false;
    std::shared_ptr<PendingDelivery> delivery; // under queueMutex

    std::thread watcher;
    std::thread messageThread;
};

// The port watcher.
class TCommThread {
public:
    explicit TCommThread(std::shared_ptr<PortSession> session) : m_session(std::move(session)) {}
    void Execute();

private:
    std::shared_ptr<PortSession> m_session;
};

// The message thread.
class TMsgThread {
public:
    TMsgThread(std::shared_ptr<PortSession> session, MainThreadDispatcher dispatcher)
        : m_session(std::move(session)), m_dispatcher(std::move(dispatcher)) {}
    void Execute();

private:
    void deliverOnMainThread(uint32_t mask);
    std::shared_ptr<PortSession> m_session;
    MainThreadDispatcher m_dispatcher;
};

} // namespace talvern::serial

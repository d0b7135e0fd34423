#pragma once
// The two worker threads of an open port and what they share.
//
// TCommThread, the port watcher, waits in epoll on the device and on a wake-up descriptor and
// forwards port event masks to the message thread's queue; it never reads data and never
// allocates per event. The device is watched edge-triggered: "characters arrived" is reported
// when bytes arrive, not while they wait, so bytes left unread on purpose (no receiver, a line
// error) cost nothing until more come, and no hand-back from the handler is needed.
//
// TMsgThread takes each mask from its queue and has HandleComEvent run, on the main thread
// through the dispatcher (waiting until it ran) or on itself.
//
// The doorbell, when the application's event loop watches it, is an epoll set holding a ring
// (an eventfd) and, while a port opened with UseMainThread is open, the device itself.
//  - Arrivals are then the main thread's to forward, not the watcher's. When nothing is queued,
//    claimed or held by the message thread, the main thread claims the received-char event
//    and runs it at once: from the device to the handler without any thread hand-off, the path
//    a reader on the main thread alone would have. Otherwise it posts the event behind what is
//    in flight, as the watcher would. The watcher still watches the device for a hang-up, and
//    the lines.
//  - Any other event that finds the queue empty and the message thread holding nothing is
//    queued as "claimed" and the watcher rings instead of waking the message thread, so the
//    main thread runs it at once. Ringing is a write to an eventfd: no allocation.
//  - A claimed event stays first in the queue until it has run; an event behind it waits, and
//    the message thread, if it comes for the claimed one first, waits until the main thread has
//    run it. So events are still handled one at a time and in order.
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
#include <sys/epoll.h>
#include <thread>

namespace talvern::serial {

class TspCustomComm;

// What woke the doorbell's epoll set.
constexpr uint32_t kDoorbellRing = 0;
constexpr uint32_t kDoorbellDevice = 1;

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

    // Watcher (or a handler) → message thread. Never allocates: a received-char event already
    // waiting in the queue covers a new one, and a full queue merges into its newest entry.
    // The watcher passes mayRing: it may claim the event for the doorbell.
    void post(uint32_t mask, bool mayRing = false);
    // Message thread: the next mask, or false once told to quit. claimed: the event was handed
    // to the main thread through the doorbell; the message thread only waits for it.
    bool take(uint32_t& mask, bool& claimed);
    // Message thread: waits until the main thread has run the claimed event, or the session stops.
    void waitForClaim();
    // Main thread, when the doorbell rang: the claimed event to run now, if there is one; and
    // once it has run, off the queue with it (or the message thread, waiting for it, is told).
    bool startClaim(uint32_t& mask);
    // Main thread, when the doorbell saw bytes arrive: claims mask for the main thread to run
    // at once, if nothing is queued, claimed or held by the message thread (false: post it
    // instead). finishClaim after.
    bool claimArrival(uint32_t mask);
    void finishClaim();

    TspCustomComm* const owner;
    SerialBackend& backend;
    const int fd;
    const uint64_t generation;
    int wakeFd = -1;
    int doorbellFd = -1; // the component's ring, while the application watches it; else -1
    std::atomic<bool>* doorbellRang = nullptr; // the component's flag, raised before each ring
    bool mainWatchesDevice = false; // the doorbell holds the device: arrivals are the main thread's
    // What the watcher's epoll set watches on the device. Set up before the threads start,
    // then the watcher's; changed only under the port lock while the port is open.
    uint32_t watchedDeviceEvents = EPOLLIN | EPOLLET;
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

    // The doorbell claim, under queueMutex. At most one at a time: an event is claimed only when
    // it is the only one queued and the message thread has nothing in hand.
    enum class Claim { None, Waiting, Running, Done, Cancelled };
    Claim claim = Claim::None;
    uint32_t claimMask = 0;
    bool headClaimed = false;  // the queue's first entry is the claimed event
    bool messageBusy = false;  // the message thread holds an event (handling or waiting for it)
    std::condition_variable claimChanged;

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

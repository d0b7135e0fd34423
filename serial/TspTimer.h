#pragma once
// A main-thread timer without a GUI toolkit: a small thread keeps the time and hands each tick
// to the application's main thread through its dispatcher (the same one the port events use),
// so OnTimer runs there, one tick at a time. A timer without a dispatcher does not tick: its
// handler would otherwise run on a thread of its own, racing with the owner.
//
// Rules: Interval is 1000 ms and Enabled is true at construction, OnTimer is empty. Changing
// Enabled, Interval or OnTimer stops the timer and starts it again when the interval is not 0,
// it is enabled and a tick handler is set. A tick already queued when the timer was stopped or
// changed is dropped. Errors thrown by OnTimer are swallowed. Use the timer on one thread.

#include "MainThreadDispatcher.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace talvern::serial {

class TspTimer {
public:
    explicit TspTimer(MainThreadDispatcher dispatcher = {});
    ~TspTimer();
    TspTimer(const TspTimer&) = delete;
    TspTimer& operator=(const TspTimer&) = delete;

    uint32_t Interval() const { return m_interval; }
    void SetInterval(uint32_t milliseconds);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    const std::function<void(TspTimer*)>& OnTimer() const { return m_onTimer; }
    void SetOnTimer(std::function<void(TspTimer*)> handler);
    void SetDispatcher(MainThreadDispatcher dispatcher);
    // True while the clock runs (interval, enabled, handler and dispatcher set).
    bool Running() const;

private:
    struct Clock;
    void UpdateTimer();
    void Stop();
    void Tick(uint64_t generation);

    uint32_t m_interval = 1000;
    bool m_enabled = true;
    std::function<void(TspTimer*)> m_onTimer;
    MainThreadDispatcher m_dispatcher;
    std::shared_ptr<Clock> m_clock; // shared with the clock thread and queued ticks
};

} // namespace talvern::serial

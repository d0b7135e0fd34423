#include "TspTimer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace talvern::serial {

// The state a clock thread and the ticks it queued share with the timer. `owner` is set and
// cleared on the timer's thread only, and a queued tick reads it on that same thread, so a tick
// that runs after the timer is gone finds it null.
struct TspTimer::Clock {
    std::mutex mutex;
    std::condition_variable wake;
    uint64_t generation = 0; // bumped by every stop: a run ends, and its queued ticks are dropped
    std::thread thread;      // the running clock thread; guarded by mutex
    TspTimer* owner = nullptr;
};

TspTimer::TspTimer(MainThreadDispatcher dispatcher)
    : m_dispatcher(std::move(dispatcher)), m_clock(std::make_shared<Clock>()) {
    m_clock->owner = this;
}

TspTimer::~TspTimer() {
    m_enabled = false;
    Stop();
    m_clock->owner = nullptr;
}

void TspTimer::SetInterval(uint32_t milliseconds) {
    m_interval = milliseconds;
    UpdateTimer();
}

void TspTimer::SetEnabled(bool enabled) {
    m_enabled = enabled;
    UpdateTimer();
}

void TspTimer::SetOnTimer(std::function<void(TspTimer*)> handler) {
    m_onTimer = std::move(handler);
    UpdateTimer();
}

void TspTimer::SetDispatcher(MainThreadDispatcher dispatcher) {
    Stop();
    m_dispatcher = std::move(dispatcher);
    UpdateTimer();
}

bool TspTimer::Running() const {
    std::lock_guard lock(m_clock->mutex);
    return m_clock->thread.joinable();
}

void TspTimer::Stop() {
    auto& clock = *m_clock;
    std::thread thread;
    {
        std::lock_guard lock(clock.mutex);
        ++clock.generation; // ends the clock thread's run and drops its queued ticks
        thread = std::move(clock.thread);
    }
    clock.wake.notify_all();
    if (thread.joinable())
        thread.join(); // ticks never run on the clock thread, so this never waits for itself
}

void TspTimer::UpdateTimer() {
    Stop();
    if (m_interval == 0 || !m_enabled || !m_onTimer || !m_dispatcher)
        return;
    uint64_t generation;
    {
        std::lock_guard lock(m_clock->mutex);
        generation = m_clock->generation;
    }
    const auto period = std::chrono::milliseconds(m_interval);
    std::weak_ptr<Clock> weak = m_clock;
    Clock* clock = m_clock.get(); // the thread is joined before the timer lets go of it
    MainThreadDispatcher dispatcher = m_dispatcher;
    std::thread thread([clock, weak, period, generation, dispatcher] {
        auto next = std::chrono::steady_clock::now() + period;
        std::unique_lock lock(clock->mutex);
        while (!clock->wake.wait_until(lock, next, [clock, generation] { return clock->generation != generation; })) {
            next += period;
            dispatcher([weak, generation] {
                if (auto shared = weak.lock())
                    if (TspTimer* owner = shared->owner)
                        owner->Tick(generation);
            });
        }
    });
    std::lock_guard lock(m_clock->mutex);
    m_clock->thread = std::move(thread);
}

void TspTimer::Tick(uint64_t generation) {
    {
        std::lock_guard lock(m_clock->mutex);
        if (generation != m_clock->generation)
            return;
    }
    if (!m_enabled || !m_onTimer)
        return;
    try {
        m_onTimer(this);
    } catch (...) {
    }
}

} // namespace talvern::serial

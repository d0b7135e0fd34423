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
    uint64_t generation = 0; // bumped by every stop: ticks of an older run are dropped
    bool stopping = false;
    std::thread thread;
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

bool TspTimer::Running() const { return m_clock->thread.joinable(); }

void TspTimer::Stop() {
    auto& clock = *m_clock;
    {
        std::lock_guard lock(clock.mutex);
        ++clock.generation;
        clock.stopping = true;
    }
    clock.wake.notify_all();
    if (!clock.thread.joinable())
        return;
    // A tick running on the clock thread itself (no dispatcher) may stop its own timer.
    if (clock.thread.get_id() == std::this_thread::get_id())
        clock.thread.detach();
    else
        clock.thread.join();
}

void TspTimer::UpdateTimer() {
    Stop();
    if (m_interval == 0 || !m_enabled || !m_onTimer)
        return;
    uint64_t generation;
    {
        std::lock_guard lock(m_clock->mutex);
        m_clock->stopping = false;
        generation = m_clock->generation;
    }
    const auto period = std::chrono::milliseconds(m_interval);
    std::weak_ptr<Clock> weak = m_clock;
    std::shared_ptr<Clock> clock = m_clock;
    MainThreadDispatcher dispatcher = m_dispatcher;
    clock->thread = std::thread([clock, weak, period, generation, dispatcher] {
        auto next = std::chrono::steady_clock::now() + period;
        std::unique_lock lock(clock->mutex);
        while (!clock->wake.wait_until(lock, next, [&clock] { return clock->stopping; })) {
            next += period;
            if (!dispatcher) {
                // No main loop to hand the tick to: run it here, outside the lock.
                lock.unlock();
                if (TspTimer* owner = clock->owner)
                    owner->Tick(generation);
                lock.lock();
                continue;
            }
            dispatcher([weak, generation] {
                if (auto shared = weak.lock())
                    if (TspTimer* owner = shared->owner)
                        owner->Tick(generation);
            });
        }
    });
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

#include "player/EventDispatcher.h"

#include <chrono>
#include <utility>

namespace player {

EventDispatcher::EventDispatcher(std::function<void(std::uint32_t)> onEndDue)
    : m_onEndDue(std::move(onEndDue)), m_thread([this] { Run(); }) {}

EventDispatcher::~EventDispatcher() {
    Stop();
}

void EventDispatcher::Stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void EventDispatcher::SetHandlers(PlayerEvents handlers) {
    PlayerEvents old;
    {
        std::unique_lock lock(m_mutex);
        // A handler may replace the handlers itself; it cannot wait for its
        // own return.
        if (!OnDispatcherThread()) {
            m_idle.wait(lock, [this] { return !m_inHandler; });
        }
        old = std::exchange(m_handlers, std::move(handlers));
    }
    // The old handlers (and what they hold) are destroyed outside the lock.
}

void EventDispatcher::PostPlayStateChange(PlayState oldState, PlayState newState) {
    Post(Event{Event::Kind::kPlayState, static_cast<double>(oldState),
               static_cast<double>(newState)});
}

void EventDispatcher::PostPositionChange(double oldSeconds, double newSeconds) {
    Post(Event{Event::Kind::kPosition, oldSeconds, newSeconds});
}

void EventDispatcher::PostEndOfPlayback() {
    Post(Event{Event::Kind::kEnd});
}

void EventDispatcher::ScheduleEnd(std::uint32_t generation, std::int64_t dueSteadyNs) {
    {
        const std::lock_guard lock(m_mutex);
        m_end = ScheduledEnd{generation, dueSteadyNs};
    }
    m_wake.notify_one();
}

void EventDispatcher::Post(const Event& event) {
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(event);
    }
    m_wake.notify_one();
}

void EventDispatcher::Run() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        if (!m_queue.empty()) {
            const Event event = m_queue.front();
            m_queue.pop_front();
            const PlayerEvents handlers = m_handlers;
            m_inHandler = true;
            lock.unlock();
            switch (event.kind) {
            case Event::Kind::kPlayState:
                if (handlers.playStateChange) {
                    handlers.playStateChange(
                        static_cast<PlayState>(static_cast<int>(event.oldValue)),
                        static_cast<PlayState>(static_cast<int>(event.newValue)));
                }
                break;
            case Event::Kind::kPosition:
                if (handlers.positionChange) {
                    handlers.positionChange(event.oldValue, event.newValue);
                }
                break;
            case Event::Kind::kEnd:
                if (handlers.endOfPlayback) {
                    handlers.endOfPlayback();
                }
                break;
            }
            lock.lock();
            m_inHandler = false;
            m_idle.notify_all();
            continue;
        }
        if (m_end) {
            const Clock::time_point due{std::chrono::nanoseconds(m_end->dueSteadyNs)};
            if (Clock::now() >= due) {
                const std::uint32_t generation = m_end->generation;
                m_end.reset();
                lock.unlock();
                m_onEndDue(generation);
                lock.lock();
                continue;
            }
            m_wake.wait_until(lock, due);
            continue;
        }
        m_wake.wait(lock);
    }
}

} // namespace player

#pragma once

#include "player/MediaPlayer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace player {

// Delivers the player's events, in the order they were posted, on a thread
// of its own: never on the audio callback, and never while the engine holds
// a lock, so a handler may call the engine back (but must not destroy it).
// Also wakes the engine when a segment's last frame is due to be heard.
class EventDispatcher {
public:
    // onEndDue(generation) runs on the dispatcher thread at the time given
    // to ScheduleEnd.
    explicit EventDispatcher(std::function<void(std::uint32_t generation)> onEndDue);
    ~EventDispatcher();
    EventDispatcher(const EventDispatcher&) = delete;
    EventDispatcher& operator=(const EventDispatcher&) = delete;

    // Stops the thread; events not yet delivered are dropped.
    void Stop();

    // Any thread. Returns only when no handler of the old set is running
    // or can run again (unless called from a handler itself), so a window
    // that clears its handlers before it goes is never called afterwards.
    void SetHandlers(PlayerEvents handlers);
    void PostPlayStateChange(PlayState oldState, PlayState newState);
    void PostPositionChange(double oldSeconds, double newSeconds);
    void PostEndOfPlayback();
    // Replaces any end scheduled before.
    void ScheduleEnd(std::uint32_t generation, std::int64_t dueSteadyNs);

    bool OnDispatcherThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    struct Event {
        enum class Kind { kPlayState, kPosition, kEnd } kind;
        double oldValue = 0.0;
        double newValue = 0.0;
    };
    struct ScheduledEnd {
        std::uint32_t generation = 0;
        std::int64_t dueSteadyNs = 0;
    };

    void Post(const Event& event);
    void Run();

    std::function<void(std::uint32_t)> m_onEndDue;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle; // a handler has returned
    bool m_inHandler = false;
    std::deque<Event> m_queue;
    std::optional<ScheduledEnd> m_end;
    PlayerEvents m_handlers;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace player

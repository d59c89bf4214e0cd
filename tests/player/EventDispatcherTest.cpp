#include "player/EventDispatcher.h"

#include "PlayerTestSupport.h"

#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>

namespace player::test {
namespace {

using namespace std::chrono_literals;

// What a window's handler touches; freed when the "window" goes.
struct Window {
    std::atomic<int> positionEvents{0};
};

// A window replaces its handlers with none and is destroyed while one of
// its handlers is still running. SetHandlers must not return before that
// handler has: afterwards the window is gone, and AddressSanitizer reports
// the handler's late touch as a use after free.
TEST(EventDispatcher, ReplacingHandlersWaitsForTheOneRunning) {
    EventDispatcher dispatcher([](std::uint32_t) {});
    auto window = std::make_unique<Window>();
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
    std::atomic<bool> finished{false};
    PlayerEvents events;
    events.positionChange = [&, target = window.get()](double, double) {
        std::unique_lock lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
        ++target->positionEvents;
        finished = true;
    };
    dispatcher.SetHandlers(std::move(events));
    dispatcher.PostPositionChange(0.0, 1.0);
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return entered; });
    }
    // Released a little later from elsewhere: without the wait, SetHandlers
    // would return while the handler is still blocked.
    std::thread releaser([&] {
        std::this_thread::sleep_for(50ms);
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    });
    dispatcher.SetHandlers({});
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(window->positionEvents.load(), 1);
    window.reset();
    dispatcher.PostPositionChange(1.0, 2.0); // no handler: nothing runs
    releaser.join();
    dispatcher.Stop();
}

// A handler may replace the handlers itself without waiting on itself;
// the events after it go to the new ones.
TEST(EventDispatcher, AHandlerMayReplaceTheHandlers) {
    EventDispatcher dispatcher([](std::uint32_t) {});
    std::atomic<int> ends{0};
    std::atomic<int> positions{0};
    PlayerEvents events;
    events.endOfPlayback = [&] {
        ++ends;
        PlayerEvents next;
        next.positionChange = [&](double, double) { ++positions; };
        dispatcher.SetHandlers(std::move(next));
    };
    dispatcher.SetHandlers(std::move(events));
    dispatcher.PostEndOfPlayback();
    dispatcher.PostEndOfPlayback();
    dispatcher.PostPositionChange(0.0, 1.0);
    EXPECT_TRUE(WaitUntil([&] { return positions > 0; }));
    dispatcher.Stop();
    EXPECT_EQ(ends.load(), 1);
    EXPECT_EQ(positions.load(), 1);
}

} // namespace
} // namespace player::test

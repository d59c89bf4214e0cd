// Input read late: the key's own timestamp and the engine's position
// history put a press where it was made, however late it is handled.
#include "PlayerTestSupport.h"
#include "ServerTimingProbe.h"
#include "player/KeyPressTime.h"
#include "player/PlaybackEngine.h"

#include <gtest/gtest.h>

namespace player::test {
namespace {

using namespace std::chrono_literals;
constexpr std::int64_t kMs = 1'000'000;

// A key event's stamp is the 32-bit millisecond counter of the same steady
// clock; one older than a second, from the future or missing (0) is no
// sane stamp, and the press is dated when it is handled.
TEST(KeyPressTime, DatesThePressFromASaneStampOnly) {
    constexpr std::int64_t kHandled = 5'000'123'456'789; // 5000 s and a fraction
    const struct {
        const char* what;
        std::uint64_t eventMs;
        std::int64_t handledNs;
        std::int64_t expectedNs;
    } cases[] = {{"50 ms ago", 5'000'073, kHandled, kHandled - 50 * kMs},
                 {"this millisecond", 5'000'123, kHandled, kHandled},
                 {"synthesized, no stamp", 0, kHandled, kHandled},
                 {"from the future", 5'000'200, kHandled, kHandled},
                 {"a second ago", 4'999'123, kHandled, kHandled - 1000 * kMs},
                 {"older than a second", 4'999'000, kHandled, kHandled},
                 {"another clock", 77, kHandled, kHandled},
                 // The 32-bit counter wrapped between press and handling.
                 {"across the wrap", 0xFFFF'FFF6u, 4'294'967'296LL * kMs + 30 * kMs,
                  4'294'967'296LL * kMs - 10 * kMs}};
    for (const auto& c : cases) {
        EXPECT_EQ(KeyPressTime::PressedAtNs(c.eventMs, c.handledNs), c.expectedNs) << c.what;
    }
}

// The window thread stalls 50 ms between press and handling: the position
// at the press comes from the history, not the position when handled.
TEST(PositionHistory, APressHandled50MsLateFindsThePositionItWasMadeAt) {
    UseDummyOutput();
    PlaybackEngine engine;
    engine.OpenDecoded(SineSong(5.0, 440.0), "song.wav");
    engine.Play();
    std::this_thread::sleep_for(300ms); // well into the segment
    // The press lies between two reads; a busy machine may preempt this
    // thread between them, which widens the bracket but keeps it true.
    const double before = engine.PositionSeconds();
    const std::int64_t pressNs = KeyPressTime::NowNs();
    const double after = engine.PositionSeconds();
    std::this_thread::sleep_for(50ms);
    const double late = engine.PositionSeconds();
    const double recalled = engine.PositionSecondsAt(pressNs);
    ASSERT_GT(late - after, 0.045) << "the song moved on meanwhile";
    // Both reads extrapolate the same clock pieces; 2 ms is what step
    // input must hold (the dummy driver's pacing wobble stays well inside).
    EXPECT_GE(recalled, before - 0.002);
    EXPECT_LE(recalled, after + 0.002);
    // Paused, the history is the held position.
    engine.Pause();
    EXPECT_EQ(engine.PositionSecondsAt(pressNs), engine.PositionSeconds());
}

// The real output path: clicks on every beat of a 60 s song through the
// sound server's null sink, recorded from its monitor. scripts/run-tests.sh
// starts the server and sets BEATWRIGHT_SOUND_SERVER.
TEST(ServerTiming, ClicksThroughTheSoundServerLandWhereTheEngineSaysTheyAreHeard) {
    if (std::getenv("BEATWRIGHT_SOUND_SERVER") == nullptr) {
        GTEST_SKIP() << "no sound server started for the tests (scripts/run-tests.sh starts one)";
    }
    ServerTimingFigures f = MeasureServerTiming(60.0, 60.0);
    if (f.error.empty() && f.underflows > 0) {
        // The server said our audio came late: on a machine shared with
        // builds, the scheduler's doing, not the engine's timing. Once more;
        // a second gap fails below.
        f = MeasureServerTiming(60.0, 60.0);
    }
    ASSERT_TRUE(f.error.empty()) << f.error;
    RecordProperty("jitter_max_ms", std::to_string(f.jitterMaxMs));
    RecordProperty("drift_ms_per_minute", std::to_string(f.driftMsPerMinute));
    // Faults, not figures (scripts/bench-timing.sh prints those against
    // their targets). Clicks in the song are sample-exact, so any spacing
    // error over 1 ms is a gap in the output. A position that ignored the
    // server's own clock (a null sink's runs about 200 ppm off ours) would
    // drift 12 ms a minute; 5 ms leaves room for a machine busy with other
    // builds (up to 4 ms a minute was seen under the sanitizers while the
    // position followed each latency report; the fitted line now keeps
    // within 0.2 ms in the benchmark). A
    // latency off by one of the SDL path's assumed buffers would be 20 ms
    // out; the issue asks for 5.
    EXPECT_LT(f.jitterMaxMs, 1.0) << f.underflows << " underflows";
    EXPECT_LT(std::abs(f.driftMsPerMinute), 5.0);
    EXPECT_LT(std::abs(f.reportedLatencyMs - f.measuredLatencyMs), 5.0)
        << "reported " << f.reportedLatencyMs << " ms, measured " << f.measuredLatencyMs;
}

} // namespace
} // namespace player::test

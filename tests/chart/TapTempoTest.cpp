#include "chart/TapTempo.h"

#include <gtest/gtest.h>

namespace {

using enum chart::TapOutcome;

// One press (after ArmAfterOpening when `arm`) and the state after it.
struct Tap {
    bool arm;
    std::uint32_t ms;
    chart::TapOutcome outcome;
    double position, lastHit, bpm, gap, click;
};

// One session from BPM 140, Gap 0.7, worked by hand. BPM is the tempo of the
// series' mean interval; the Gap is the press's position folded back by
// whole beats into the first beat (at most one beat); the click comes two
// beats after the first beat at or after the press.
constexpr Tap kSession[] = {
    // The first press starts a series: no tempo, no click, the Gap as it was.
    {false, 10000, kSeriesStarted, 5.0, 0.0, 0.01, 0.7, 999.0},
    {false, 10500, kIntervalCounted, 1.25, 120.0f, 120.0f, 0.25f, 2.25},
    {false, 10750, kIntervalCounted, 1.5, 240.0f, 160.0f, 0.375f, 2.25}, // mean 375 ms
    {false, 10750, kIgnored, 1.6, 240.0f, 160.0f, 0.375f, 2.25},         // 0 ms measures nothing
    // Fixed fault: a series never restarted (8 taps, 10 s of thinking and 4
    // taps gave 20.5 BPM). A pause over 2 s starts a new series, and the
    // tempo found stands until the new series has an interval of its own.
    {false, 12751, kSeriesStarted, 3.0, 0.0f, 160.0f, 0.375f, 2.25},
    {false, 14251, kIntervalCounted, 3.0, 40.0f, 40.0f, 1.5f, 6.0},
    // Up to twice the mean interval (1500 ms) a slow series goes on.
    {false, 17251, kIntervalCounted, 0.0, 20.0f, 60.0f / 2.25f, 0.0f, 4.5},
    {false, 21752, kSeriesStarted, 1.0, 0.0f, 60.0f / 2.25f, 0.0f, 4.5}, // past 4500 ms
    // Fixed faults: after opening, the first press threw away the estimated
    // tempo; choosing tap mode set BPM 0.01 and Gap 0, which a save wrote.
    {true, 30000, kSeriesStarted, 0.3, 0.0f, 60.0f / 2.25f, 0.0f, 4.5},
    // Ticks are a wrapping 32-bit count: 500 ms across the wrap.
    {false, 0xFFFFFF00u, kSeriesStarted, 0.0, 0.0f, 60.0f / 2.25f, 0.0f, 4.5},
    {false, 0x000000F4u, kIntervalCounted, 0.75, 120.0f, 120.0f, 0.25f, 1.75},
};

TEST(TapTempo, EachPressOfASessionSetsBpmGapAndClick) {
    chart::TapState taps;
    chart::TimingState timing{140.0f, 0.7f, 3.0};
    for (const Tap& tap : kSession) {
        SCOPED_TRACE(testing::Message() << "press at " << tap.ms << " ms");
        if (tap.arm) {
            chart::ArmAfterOpening(taps);
        }
        EXPECT_EQ(chart::ApplyTap(taps, timing, tap.ms, tap.position), tap.outcome);
        // Float state: 1e-4 is far below what the read-outs show.
        EXPECT_NEAR(taps.lastHitBpm, tap.lastHit, 1e-4);
        EXPECT_NEAR(timing.bpm, tap.bpm, 1e-4);
        EXPECT_NEAR(timing.gapSeconds, tap.gap, 1e-6);
        EXPECT_NEAR(timing.nextClickSeconds, tap.click, 1e-5);
    }
}

} // namespace

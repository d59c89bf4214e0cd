#include "chart/TapTempo.h"

#include <gtest/gtest.h>

namespace {

using chart::ApplyTap;
using chart::TapOutcome;

// Float state: 1e-4 BPM is far below what the read-outs show.
constexpr float kBpmTolerance = 1e-4f;

TEST(TapTempo, BpmIsTheTempoOfTheMeanIntervalAndTheGapFoldsIntoTheFirstBeat) {
    chart::TapState taps;
    chart::TimingState timing{140.0f, 0.7f, 3.0};
    // The first press starts a series: no tempo, no click, the Gap as it was.
    EXPECT_EQ(ApplyTap(taps, timing, 10000, 5.0), TapOutcome::kSeriesStarted);
    EXPECT_EQ(timing.bpm, 0.01f);
    EXPECT_EQ(timing.gapSeconds, 0.7f);
    EXPECT_EQ(timing.nextClickSeconds, 999.0);
    EXPECT_EQ(ApplyTap(taps, timing, 10500, 1.25), TapOutcome::kIntervalCounted);
    EXPECT_NEAR(timing.bpm, 120.0f, kBpmTolerance);
    EXPECT_NEAR(taps.lastHitBpm, 120.0f, kBpmTolerance);
    // 1.25 s folds back by whole beats of 0.5 s; the click comes two beats
    // after the first beat at or after the press.
    EXPECT_EQ(timing.gapSeconds, 0.25f);
    EXPECT_EQ(timing.nextClickSeconds, 2.25);
    ApplyTap(taps, timing, 11100, 1.85);
    EXPECT_NEAR(taps.lastHitBpm, 100.0f, kBpmTolerance);
    EXPECT_NEAR(timing.bpm, 60.0f / 0.55f, kBpmTolerance);
    EXPECT_EQ(taps.tapCount, 2u);

    chart::TapState again; // a press within the first beat is the Gap itself
    ApplyTap(again, timing, 0, 0.0);
    ApplyTap(again, timing, 500, 0.4);
    EXPECT_EQ(timing.gapSeconds, 0.4f);
}

// Ticks are a wrapping 32-bit count; a 0 ms interval measures nothing.
TEST(TapTempo, IntervalsAcrossACounterWrapAndZeroIntervals) {
    chart::TapState taps;
    chart::TimingState timing;
    ApplyTap(taps, timing, 0xFFFFFF00u, 0.0);
    ApplyTap(taps, timing, 0x000000F4u, 0.5); // 500 ms later, after the wrap
    EXPECT_NEAR(timing.bpm, 120.0f, kBpmTolerance);
    EXPECT_EQ(ApplyTap(taps, timing, 0x000000F4u, 0.5), TapOutcome::kIgnored);
    EXPECT_NEAR(timing.bpm, 120.0f, kBpmTolerance);
    EXPECT_EQ(taps.tapCount, 1u);
    ApplyTap(taps, timing, 0x000000F4u + 500u, 1.0);
    EXPECT_NEAR(timing.bpm, 120.0f, kBpmTolerance);
    EXPECT_EQ(taps.tapCount, 2u);
}

// Fixed faults: after opening, the first press threw away the estimated
// tempo although the time before it (on a message box, say) is no beat; and
// choosing tap mode set BPM 0.01 and Gap 0, which a save then wrote. Both
// now keep BPM and Gap until the second press.
TEST(TapTempo, AfterOpeningOrChoosingTapModeTheFirstPressKeepsTheTempo) {
    chart::TapState taps;
    chart::TimingState timing;
    timing.bpm = 127.9f;
    timing.nextClickSeconds = 0.47;
    chart::ArmAfterOpening(taps);
    EXPECT_EQ(ApplyTap(taps, timing, 9400, 0.0), TapOutcome::kSeriesStarted);
    EXPECT_EQ(timing.bpm, 127.9f);
    EXPECT_EQ(timing.nextClickSeconds, 0.47);
    for (std::uint32_t i = 1; i <= 9; ++i) {
        ApplyTap(taps, timing, 9400 + i * 469, 0.469 * i);
    }
    EXPECT_NEAR(timing.bpm, 60.0f / 0.469f, kBpmTolerance);

    const chart::TimingState tapped = timing;
    chart::ArmAfterOpening(taps);
    EXPECT_EQ(ApplyTap(taps, timing, 20000, 0.3), TapOutcome::kSeriesStarted);
    EXPECT_EQ(timing.bpm, tapped.bpm);
    EXPECT_EQ(timing.gapSeconds, tapped.gapSeconds);
    EXPECT_EQ(taps.tapCount, 0u);
}

// Fixed fault: a series never restarted: 8 taps, 10 s of thinking and 4
// taps gave 20.5 BPM. A pause longer than 2 s, or than twice the mean
// interval when that is longer, starts a new series; the tempo found stands
// until the new series has an interval.
TEST(TapTempo, APauseStartsANewSeries) {
    const struct {
        std::uint32_t intervalMs;
        std::uint32_t pauseMs;
        bool restarts;
    } cases[] = {
        {500, 10000, true}, {500, 2001, true},
        {500, 1999, false}, {1500, 2999, false}, // 40 BPM: within twice its mean interval
        {1500, 3001, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.intervalMs) + " then " + std::to_string(c.pauseMs));
        chart::TapState taps;
        chart::TimingState timing;
        std::uint32_t at = 1000;
        for (int i = 0; i < 8; ++i, at += c.intervalMs) {
            ApplyTap(taps, timing, at, 0.0);
        }
        at += c.pauseMs - c.intervalMs;
        const float series = timing.bpm;
        const TapOutcome outcome = ApplyTap(taps, timing, at, 0.0);
        if (!c.restarts) {
            EXPECT_EQ(outcome, TapOutcome::kIntervalCounted);
            continue;
        }
        EXPECT_EQ(outcome, TapOutcome::kSeriesStarted);
        EXPECT_EQ(timing.bpm, series);
        for (int i = 1; i <= 3; ++i) {
            ApplyTap(taps, timing, at + static_cast<std::uint32_t>(i) * 600, 0.0);
        }
        EXPECT_NEAR(timing.bpm, 100.0f, kBpmTolerance) << "the new series alone";
        EXPECT_EQ(taps.tapCount, 3u);
    }
}

} // namespace

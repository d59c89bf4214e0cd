#include "chart/TapTempo.h"

#include <gtest/gtest.h>

namespace {

using chart::ApplyTap;
using chart::TapOutcome;

// Float state: 1e-4 BPM and 1e-6 s are far below what the read-outs show.
constexpr float kBpmTolerance = 1e-4f;

TEST(TapTempo, FirstPressStartsASeriesWithoutChangingTheGap) {
    chart::TapState taps;
    chart::TimingState timing;
    timing.bpm = 140.0f;
    timing.gapSeconds = 0.7f;
    timing.nextClickSeconds = 3.0;
    EXPECT_EQ(ApplyTap(taps, timing, 1000, 5.0), TapOutcome::kSeriesStarted);
    EXPECT_EQ(timing.bpm, 0.01f);
    EXPECT_EQ(timing.gapSeconds, 0.7f);
    EXPECT_EQ(timing.nextClickSeconds, 999.0);
    EXPECT_TRUE(taps.tappingStarted);
    EXPECT_EQ(taps.firstTapMs, 1000u);
}

TEST(TapTempo, BpmIsTheTempoOfTheMeanInterval) {
    chart::TapState taps;
    chart::TimingState timing;
    ApplyTap(taps, timing, 10000, 0.0);
    EXPECT_EQ(ApplyTap(taps, timing, 10500, 0.5), TapOutcome::kIntervalCounted);
    EXPECT_NEAR(timing.bpm, 120.0f, kBpmTolerance);
    EXPECT_NEAR(taps.lastHitBpm, 120.0f, kBpmTolerance);
    ApplyTap(taps, timing, 11100, 1.1);
    EXPECT_NEAR(taps.lastHitBpm, 100.0f, kBpmTolerance);
    EXPECT_NEAR(timing.bpm, 60.0f / 0.55f, kBpmTolerance);
    EXPECT_EQ(taps.tapCount, 2u);
}

TEST(TapTempo, GapFoldsIntoTheFirstBeatAndClickComesTwoBeatsLater) {
    chart::TapState taps;
    chart::TimingState timing;
    ApplyTap(taps, timing, 0, 0.0);
    ApplyTap(taps, timing, 500, 1.25);
    EXPECT_FLOAT_EQ(timing.gapSeconds, 0.25f);
    EXPECT_DOUBLE_EQ(timing.nextClickSeconds, 2.25);

    chart::TapState again;
    ApplyTap(again, timing, 0, 0.0);
    ApplyTap(again, timing, 500, 0.4);
    EXPECT_FLOAT_EQ(timing.gapSeconds, 0.4f);
}

TEST(TapTempo, IntervalsAcrossACounterWrapAndZeroIntervals) {
    chart::TapState taps;
    chart::TimingState timing;
    ApplyTap(taps, timing, 0xFFFFFF00u, 0.0);
    ApplyTap(taps, timing, 0x000000F4u, 0.5); // 500 ms later, after the wrap
    EXPECT_NEAR(timing.bpm, 120.0f, kBpmTolerance);

    // A second press in the same millisecond measures nothing and changes nothing.
    EXPECT_EQ(ApplyTap(taps, timing, 0x000000F4u, 0.5), TapOutcome::kIgnored);
    EXPECT_NEAR(timing.bpm, 120.0f, kBpmTolerance);
    EXPECT_EQ(taps.tapCount, 1u);
    ApplyTap(taps, timing, 0x000000F4u + 500u, 1.0);
    EXPECT_NEAR(timing.bpm, 120.0f, kBpmTolerance);
}

TEST(TapTempo, ResetForTappingDisarmsAndStartsOver) {
    chart::TapState taps;
    chart::TimingState timing;
    ApplyTap(taps, timing, 0, 0.0);
    ApplyTap(taps, timing, 400, 0.9);
    chart::ResetForTapping(taps, timing);
    EXPECT_EQ(timing.bpm, 0.01f);
    EXPECT_EQ(timing.gapSeconds, 0.0f);
    EXPECT_EQ(timing.nextClickSeconds, 999.0);
    EXPECT_FALSE(taps.tappingStarted);
    EXPECT_EQ(taps.tapCount, 0u);
    EXPECT_EQ(ApplyTap(taps, timing, 5000, 1.0), TapOutcome::kSeriesStarted);
}

// After opening, the time before the first press is not a beat: the
// estimate stays until the second press measures an interval, and the
// tempo then comes from the presses alone.
TEST(TapTempo, AfterOpeningTheFirstPressStartsASeriesAndKeepsTheEstimate) {
    chart::TapState taps;
    chart::TimingState timing;
    timing.bpm = 127.9f;
    timing.nextClickSeconds = 0.47;
    chart::ArmAfterOpening(taps);
    // 9.4 s spent on a message box before the first tap.
    EXPECT_EQ(ApplyTap(taps, timing, 9400, 0.0), TapOutcome::kSeriesStarted);
    EXPECT_EQ(timing.bpm, 127.9f);
    EXPECT_EQ(timing.nextClickSeconds, 0.47);
    for (std::uint32_t i = 1; i <= 9; ++i) {
        ApplyTap(taps, timing, 9400 + i * 469, 0.469 * i);
    }
    EXPECT_NEAR(timing.bpm, 60.0f / 0.469f, kBpmTolerance);
    // A later series (Mode > Tap Tempo/BPM) clears the tempo again.
    chart::ResetForTapping(taps, timing);
    ApplyTap(taps, timing, 20000, 0.0);
    EXPECT_EQ(timing.bpm, 0.01f);
}

} // namespace

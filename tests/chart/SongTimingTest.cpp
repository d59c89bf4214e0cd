#include "chart/SongTiming.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using chart::AnchorNextClick;
using chart::SlotAtPosition;
using chart::SnapForward;

// Gap is a 32-bit float: 0.1f lies 1.5e-9 s above 0.1, which shifts every
// result by that much. 1e-8 s is still far below one audio sample.
constexpr double kSeconds = 1e-8;

TEST(SlotAtPosition, NearestSlotWithTiesToTheEarlier) {
    EXPECT_EQ(SlotAtPosition(0.36, 120.0f, 0.1f), 1);
    EXPECT_EQ(SlotAtPosition(0.5, 120.0f, 0.1f), 2);
    EXPECT_EQ(SlotAtPosition(0.05, 120.0f, 0.1f), std::nullopt);
    EXPECT_EQ(SlotAtPosition(0.375, 120.0f, 0.0f), 1);
    EXPECT_EQ(SlotAtPosition(0.25, 120.0f, 0.0f), 1);
    EXPECT_EQ(SlotAtPosition(0.0, 120.0f, 0.0f), 0);
}

// Positions half-way between slots, where repeated subtraction and a
// division disagree; the expected slots follow the subtraction steps.
TEST(SlotAtPosition, KeepsTheSubtractionResultsAtTies) {
    EXPECT_EQ(SlotAtPosition(1.1785714285714286, 140.0f, 0.0f), 5);
    EXPECT_EQ(SlotAtPosition(1.2406015037593985, 133.0f, 0.0f), 6);
    EXPECT_EQ(SlotAtPosition(0.9565217391304348, 172.5f, 0.0f), 6);
}

TEST(SlotAtPosition, NoSlotWithoutAUsableTempo) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float bpm : {0.0f, -5.0f, -120.0f, nan, inf, 1e30f}) {
        EXPECT_EQ(SlotAtPosition(100.0, bpm, 0.0f), std::nullopt) << bpm;
    }
    EXPECT_EQ(SlotAtPosition(std::nan(""), 120.0f, 0.0f), std::nullopt);
    EXPECT_EQ(SlotAtPosition(1.0, 120.0f, nan), std::nullopt);
    // Ten minutes at 1e6 BPM is 2e7 slots: more than a chart may hold.
    EXPECT_EQ(SlotAtPosition(600.0, 1e6f, 0.0f), std::nullopt);
    // A long but reasonable song still resolves.
    EXPECT_EQ(SlotAtPosition(3600.0, 300.0f, 0.0f), 36000);
}

TEST(SnapForward, MovesToATenthOfAHalfBeatBeforeTheNextSlot) {
    EXPECT_NEAR(SnapForward(0.36, 100.0, 120.0f, 0.1f), 0.575, kSeconds);
    EXPECT_NEAR(SnapForward(0.59, 100.0, 120.0f, 0.1f), 0.84, kSeconds);
    EXPECT_NEAR(SnapForward(0.05, 100.0, 120.0f, 0.1f), 0.325, kSeconds);
    EXPECT_DOUBLE_EQ(SnapForward(0.36, 0.5, 120.0f, 0.1f), 0.5);
    EXPECT_NEAR(SnapForward(-3.0, 100.0, 120.0f, 0.0f), 0.225, kSeconds);
}

TEST(SnapForward, StaysPutWithoutAUsableTempo) {
    EXPECT_DOUBLE_EQ(SnapForward(12.5, 100.0, 0.0f, 0.0f), 12.5);
    EXPECT_DOUBLE_EQ(SnapForward(12.5, 100.0, -120.0f, 0.0f), 12.5);
    EXPECT_DOUBLE_EQ(SnapForward(12.5, 100.0, 1e30f, 0.0f), 12.5);
    EXPECT_DOUBLE_EQ(SnapForward(-1.0, 100.0, 0.0f, 0.0f), 0.0);
    EXPECT_DOUBLE_EQ(SnapForward(150.0, 100.0, 0.0f, 0.0f), 100.0);
}

TEST(AnchorNextClick, OneBeatAfterTheFirstGridPointAtOrAfterThePosition) {
    EXPECT_NEAR(AnchorNextClick(0.2, 1.3, 0.5), 2.2, kSeconds);
    EXPECT_DOUBLE_EQ(AnchorNextClick(0.0, 1.0, 0.5), 1.5);
    EXPECT_DOUBLE_EQ(AnchorNextClick(3.0, 1.0, 0.5), 3.5);
    EXPECT_DOUBLE_EQ(AnchorNextClick(0.0, 1.0, 0.5, 2), 2.0);
}

TEST(AnchorNextClick, NeverArmsWithoutAGrid) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(AnchorNextClick(0.0, 10.0, inf), chart::NoClickGrid());
    EXPECT_EQ(AnchorNextClick(0.0, 10.0, 0.0), chart::NoClickGrid());
    EXPECT_EQ(AnchorNextClick(0.0, 10.0, -0.5), chart::NoClickGrid());
    EXPECT_EQ(AnchorNextClick(0.0, 10.0, 6e-29), chart::NoClickGrid());
    EXPECT_EQ(AnchorNextClick(0.0, std::nan(""), 0.5), chart::NoClickGrid());
}

TEST(BeatPositionAt, WholeBeatsAndFraction) {
    auto at = chart::BeatPositionAt(1.35, 120.0f, 0.1f);
    ASSERT_TRUE(at);
    EXPECT_EQ(at->beats, 2);
    // The float Gap 0.1f is 1.5e-9 s off 0.1, so the fraction is a little short.
    EXPECT_NEAR(at->fraction, 0.5, 1e-8);
    at = chart::BeatPositionAt(0.0, 120.0f, 0.25f);
    ASSERT_TRUE(at);
    EXPECT_EQ(at->beats, 0);
    EXPECT_NEAR(at->fraction, -0.5, 1e-9);
    EXPECT_FALSE(chart::BeatPositionAt(10.0, -120.0f, 0.0f));
    EXPECT_FALSE(chart::BeatPositionAt(10.0, 1e30f, 0.0f));
}

TEST(TimingControls, BpmSpinFloorsAtOneHundredthAndReanchors) {
    chart::TimingState state;
    chart::ApplyBpmSpin(state, -1, 0.0);
    EXPECT_FLOAT_EQ(state.bpm, 0.01f);

    state.bpm = 120.0f;
    state.gapSeconds = 0.2f;
    chart::ApplyBpmSpin(state, 1, 1.3);
    EXPECT_FLOAT_EQ(state.bpm, 120.1f);
    EXPECT_NEAR(state.nextClickSeconds, 0.2 + 4 * 60.0 / 120.1, 1e-5);
}

TEST(TimingControls, BpmSpinLandingOnZeroDisarmsTheClickInsteadOfHanging) {
    chart::TimingState state;
    state.bpm = 0.1f;
    chart::ApplyBpmSpin(state, -1, 30.0);
    EXPECT_EQ(state.bpm, 0.0f);
    EXPECT_EQ(state.nextClickSeconds, chart::NoClickGrid());
}

TEST(TimingControls, GapControlsNeverGoNegative) {
    chart::TimingState state;
    chart::ApplyGapSpin(state, -1, 0.0);
    EXPECT_EQ(state.gapSeconds, 0.0f);
    chart::ApplyGapSpin(state, 3, 0.0);
    EXPECT_FLOAT_EQ(state.gapSeconds, 0.03f);

    state.bpm = 120.0f;
    state.gapSeconds = 0.1f;
    chart::ApplyGapMinusHalfBeat(state, 0.0);
    EXPECT_EQ(state.gapSeconds, 0.0f);
    chart::ApplyGapPlusHalfBeat(state, 0.0);
    EXPECT_FLOAT_EQ(state.gapSeconds, 0.25f);
    EXPECT_NEAR(state.nextClickSeconds, 0.75, kSeconds);
}

TEST(TimingControls, FoundTempoKeepsItsBpmAndNeverANegativeGap) {
    chart::TimingState state;
    chart::ApplyBpmAndGap(state, 128.37f, 0.4567f, 2.0);
    EXPECT_EQ(state.bpm, 128.37f);
    EXPECT_EQ(state.gapSeconds, 0.4567f);
    // Beats at 0.4567 + k * 0.4674: beat 4 is the first at or after 2 s,
    // and the click comes one beat after it.
    EXPECT_NEAR(state.nextClickSeconds, 0.4567 + 5 * 60.0 / 128.37, 1e-4);
    chart::ApplyBpmAndGap(state, 90.0f, -0.01f, 0.0);
    EXPECT_EQ(state.gapSeconds, 0.0f);
}

TEST(TimingControls, HalfBeatButtonsIgnoreAnUnusableTempo) {
    chart::TimingState state;
    state.bpm = -5.0f;
    state.gapSeconds = 1.5f;
    chart::ApplyGapPlusHalfBeat(state, 0.0);
    chart::ApplyGapMinusHalfBeat(state, 0.0);
    EXPECT_EQ(state.gapSeconds, 1.5f);
}

TEST(TimingControls, DoubleAndHalveHaveNoBoundAndAnchorAtZero) {
    chart::TimingState state;
    chart::ApplyBpmDouble(state, 0.0);
    EXPECT_FLOAT_EQ(state.bpm, 0.02f);
    state.bpm = 0.01f;
    chart::ApplyBpmHalve(state, 0.0);
    EXPECT_FLOAT_EQ(state.bpm, 0.005f);

    state.bpm = 60.0f;
    state.gapSeconds = 0.3f;
    chart::ApplyBpmDouble(state, 1.1);
    // 120 BPM from song time 0: grid 0, 0.5, 1.0, 1.5, then one beat more.
    EXPECT_DOUBLE_EQ(state.nextClickSeconds, 2.0);
}

TEST(TimingControls, SamplePointIsNeverNegative) {
    EXPECT_EQ(chart::SamplePointAt(-0.5), 0.0f);
    EXPECT_FLOAT_EQ(chart::SamplePointAt(12.25), 12.25f);
}

} // namespace

namespace {

TEST(SubtractWhileAbove, CountsStepsAndRefusesLoopsThatWouldNotEnd) {
    double value = 1.0;
    EXPECT_EQ(chart::SubtractWhileAbove(value, 0.25), 3);
    EXPECT_DOUBLE_EQ(value, 0.25); // equal to the step: not reduced
    value = -2.0;
    EXPECT_EQ(chart::SubtractWhileAbove(value, 0.5), 0);
    EXPECT_EQ(value, -2.0);
    for (double step : {0.0, -0.5}) {
        value = 10.0;
        EXPECT_EQ(chart::SubtractWhileAbove(value, step), std::nullopt) << step;
        EXPECT_EQ(value, 10.0);
    }
    // Nothing is above NaN: the loop ends before it starts.
    value = 10.0;
    EXPECT_EQ(chart::SubtractWhileAbove(value, std::nan("")), 0);
    // 600 s in steps of 3e-29 s would never finish.
    value = 600.0;
    EXPECT_EQ(chart::SubtractWhileAbove(value, 3e-29), std::nullopt);
    EXPECT_EQ(value, 600.0);
}

} // namespace

#include "chart/SongTiming.h"

#include "chart/TimingMap.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using chart::TimingMap;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr float kNanF = std::numeric_limits<float>::quiet_NaN();
// Gap is a 32-bit float: 0.1f lies 1.5e-9 s above 0.1, which shifts every
// result by that much. 1e-8 s is still far below one audio sample.
constexpr double kSeconds = 1e-8;

// At 120 BPM slots are 0.25 s apart from the Gap. No slot (and no hang)
// without a usable tempo, a position or a Gap.
TEST(SlotAtPosition, NearestSlotWithTiesToTheEarlier) {
    struct Case {
        double position;
        float bpm;
        float gap;
        std::optional<std::int32_t> slot;
    };
    for (const Case& c :
         {Case{0.36, 120.0f, 0.1f, 1}, Case{0.5, 120.0f, 0.1f, 2}, Case{0.05, 120.0f, 0.1f, {}},
          Case{0.0, 120.0f, 0.0f, 0}, Case{0.125, 120.0f, 0.0f, 0}, Case{0.375, 120.0f, 0.0f, 1},
          // Half-way between slots, where repeated subtraction and a division
          // disagree: the slots follow the subtraction steps.
          Case{1.1785714285714286, 140.0f, 0.0f, 5}, Case{1.2406015037593985, 133.0f, 0.0f, 6},
          Case{0.9565217391304348, 172.5f, 0.0f, 6}, Case{100.0, 0.0f, 0.0f, {}},
          Case{100.0, -120.0f, 0.0f, {}}, Case{100.0, kNanF, 0.0f, {}},
          Case{100.0, 1e30f, 0.0f, {}}, Case{kNan, 120.0f, 0.0f, {}}, Case{1.0, 120.0f, kNanF, {}},
          // Ten minutes at 1e6 BPM is 2e7 slots, more than a chart may hold.
          Case{600.0, 1e6f, 0.0f, {}}, Case{3600.0, 300.0f, 0.0f, 36000}}) {
        EXPECT_EQ(chart::SlotAtPosition(c.position, c.bpm, c.gap), c.slot)
            << c.position << " s at " << c.bpm << " BPM, Gap " << c.gap;
    }
}

// A tenth of a half-beat before the next slot, one slot further when that
// is closer than 0.15 of one (0.59 s); never past the song. Without a usable
// tempo (1e30 BPM: too many slots to count) it stays at max(p, 0).
TEST(SnapForward, MovesToATenthOfAHalfBeatBeforeTheNextSlot) {
    EXPECT_NEAR(chart::SnapForward(0.36, 100.0, 120.0f, 0.1f), 0.575, kSeconds);
    EXPECT_NEAR(chart::SnapForward(0.05, 100.0, 120.0f, 0.1f), 0.325, kSeconds);
    EXPECT_NEAR(chart::SnapForward(0.59, 100.0, 120.0f, 0.1f), 0.84, kSeconds);
    EXPECT_NEAR(chart::SnapForward(-3.0, 100.0, 120.0f, 0.0f), 0.225, kSeconds);
    EXPECT_EQ(chart::SnapForward(0.36, 0.5, 120.0f, 0.1f), 0.5);
    EXPECT_EQ(chart::SnapForward(12.5, 100.0, 1e30f, 0.0f), 12.5);
    EXPECT_EQ(chart::SnapForward(-1.0, 100.0, 0.0f, 0.0f), 0.0);
    EXPECT_EQ(chart::SnapForward(150.0, 100.0, 0.0f, 0.0f), 100.0);
}

TEST(AnchorNextClick, OneBeatAfterTheFirstGridPointAtOrAfterThePosition) {
    EXPECT_NEAR(chart::AnchorNextClick(0.2, 1.3, 0.5), 2.2, kSeconds);
    EXPECT_EQ(chart::AnchorNextClick(0.0, 1.0, 0.5), 1.5);
    EXPECT_EQ(chart::AnchorNextClick(3.0, 1.0, 0.5), 3.5);
    EXPECT_EQ(chart::AnchorNextClick(0.0, 1.0, 0.5, 2), 2.0);
    // No grid: 6e-29 s beats would take forever to reach 10 s.
    for (double beat : {kInf, 0.0, -0.5, 6e-29}) {
        EXPECT_EQ(chart::AnchorNextClick(0.0, 10.0, beat), chart::NoClickGrid()) << beat;
    }
    EXPECT_EQ(chart::AnchorNextClick(0.0, kNan, 0.5), chart::NoClickGrid());
    EXPECT_EQ(chart::AnchorNextClick(kInf, 1.0, 0.5), chart::NoClickGrid());
}

TEST(BeatPositionAt, WholeBeatsAndFraction) {
    const auto at = chart::BeatPositionAt(1.35, 120.0f, 0.1f);
    EXPECT_EQ(at->beats, 2);
    EXPECT_NEAR(at->fraction, 0.5, kSeconds);
    const auto beforeGap = chart::BeatPositionAt(-1.0, 120.0f, 0.25f); // read as time 0
    EXPECT_EQ(beforeGap->beats, 0);
    EXPECT_EQ(beforeGap->fraction, -0.5);
    EXPECT_FALSE(chart::BeatPositionAt(10.0, -120.0f, 0.0f));
    EXPECT_FALSE(chart::BeatPositionAt(10.0, 1e30f, 0.0f));
    EXPECT_FALSE(chart::BeatPositionAt(10.0, 120.0f, kNanF));
}

TEST(SubtractWhileAbove, CountsStepsAndRefusesLoopsThatWouldNotEnd) {
    struct Case {
        double value;
        double step;
        std::optional<std::int32_t> count;
        double after;
    };
    // Nothing is above NaN; 600 s in steps of 3e-29 s would never finish.
    for (const Case& c :
         {Case{1.0, 0.25, 3, 0.25}, Case{-2.0, 0.5, 0, -2.0}, Case{10.0, 0.0, {}, 10.0},
          Case{10.0, -0.5, {}, 10.0}, Case{10.0, kNan, 0, 10.0}, Case{600.0, 3e-29, {}, 600.0}}) {
        double value = c.value;
        EXPECT_EQ(chart::SubtractWhileAbove(value, c.step), c.count) << c.value << " " << c.step;
        EXPECT_EQ(value, c.after) << c.value << " " << c.step;
    }
}

TEST(TimingControls, SpinsAndButtonsKeepBpmAndGapInBoundsAndReanchorTheClick) {
    chart::TimingState state;
    state.bpm = 120.0f;
    state.gapSeconds = 0.2f;
    chart::ApplyBpmSpin(state, 2, 1.3);
    EXPECT_EQ(state.bpm, 120.0f + 0.1f * 2.0f);
    EXPECT_NEAR(state.nextClickSeconds, 0.2 + 4 * 60.0 / 120.2, 1e-5);
    // Fixed fault: a spin landing on exactly 0 BPM hung re-anchoring the click.
    state.bpm = 0.1f;
    chart::ApplyBpmSpin(state, -1, 30.0);
    EXPECT_EQ(state.bpm, 0.0f);
    EXPECT_EQ(state.nextClickSeconds, chart::NoClickGrid());
    chart::ApplyBpmSpin(state, -1, 0.0);
    EXPECT_EQ(state.bpm, 0.01f); // below 0

    // Fixed fault: the Gap stopped at 0, so one click on a file's #GAP:-12
    // jumped to 0.00. It steps through 0 both ways now.
    state = {120.0f, 0.03f};
    chart::ApplyGapSpin(state, -4, 0.0);
    EXPECT_FLOAT_EQ(state.gapSeconds, -0.01f);
    chart::ApplyGapSpin(state, 2, 0.0);
    EXPECT_FLOAT_EQ(state.gapSeconds, 0.01f);
    chart::ApplyGapPlusHalfBeat(state, 0.0);
    EXPECT_FLOAT_EQ(state.gapSeconds, 0.26f);
    chart::ApplyGapMinusHalfBeat(state, 0.0);
    chart::ApplyGapMinusHalfBeat(state, 0.0);
    EXPECT_FLOAT_EQ(state.gapSeconds, -0.24f);
    // Beats at -0.24, 0.26, 0.76: the click re-anchors on the beat grid.
    EXPECT_NEAR(state.nextClickSeconds, 0.76, 1e-6);
    state = {-5.0f, 1.5f}; // the half-beat buttons ignore an unusable tempo
    chart::ApplyGapPlusHalfBeat(state, 0.0);
    chart::ApplyGapMinusHalfBeat(state, 0.0);
    EXPECT_EQ(state.gapSeconds, 1.5f);

    // A found or typed tempo: BPM and Gap as given.
    chart::ApplyBpmAndGap(state, 90.0f, -0.01f, 0.0);
    EXPECT_EQ(state.bpm, 90.0f);
    EXPECT_EQ(state.gapSeconds, -0.01f);
    // X2 and X.5 have no bound; the click grid then starts at song time 0.
    state = {60.0f, 0.3f};
    chart::ApplyBpmDouble(state, 1.1); // grid 0, 0.5, 1.0, 1.5, then one beat more
    EXPECT_EQ(state.nextClickSeconds, 2.0);
    chart::ApplyBpmHalve(state, 0.0);
    chart::ApplyBpmHalve(state, 0.0);
    EXPECT_EQ(state.bpm, 30.0f);
    EXPECT_EQ(chart::SamplePointAt(-0.5), 0.0f);
}

// 120 BPM from the Gap at 1 s (0.5 s a beat), 240 BPM from beat 4 (0.25 s a
// beat), two 250 ms stops on reaching beat 8, which add up; worked by hand.
// Inside the stop and at its end the beat stands at 8.
TEST(TimingMap, ChangesAndStopsMoveLaterBeats) {
    const std::vector<chart::BpmChange> changes{{4.0, 240.0}};
    const std::vector<chart::Stop> stops{{8.0, 250.0}, {8.0, 250.0}};
    const TimingMap map(120.0f, 1.0f, changes, stops);
    const std::pair<double, double> kBeatSeconds[] = {
        {-2.0, 0.0}, {0.0, 1.0}, {2.0, 2.0}, {4.0, 3.0}, {6.0, 3.5}, {8.0, 4.0}, {9.0, 4.75}};
    for (const auto& [beat, seconds] : kBeatSeconds) {
        EXPECT_EQ(map.SecondsAt(beat), seconds) << beat;
        EXPECT_EQ(map.BeatAt(seconds), beat) << seconds;
    }
    EXPECT_EQ(map.BeatAt(4.2), 8.0);
    EXPECT_EQ(map.BeatAt(4.5), 8.0);
    EXPECT_EQ(map.BpmAt(-1.0), 120.0);
    EXPECT_EQ(map.BpmAt(3.99), 120.0);
    EXPECT_EQ(map.BpmAt(4.0), 240.0);
}

TEST(TimingMap, HostileValuesStayBoundedAndMonotonic) {
    // Changes before beat 0 take effect at beat 0; those at no finite beat
    // are ignored, and so are stops of no finite positive length.
    const std::vector<chart::BpmChange> early{{-3.0, 60.0}, {kNan, 240.0}};
    const std::vector<chart::Stop> noStops{{kInf, 100.0}, {1.0, -100.0}, {2.0, kNan}};
    const TimingMap shifted(120.0f, 0.0f, early, noStops);
    EXPECT_EQ(shifted.SecondsAt(3.0), 3.0);
    EXPECT_EQ(shifted.BeatAt(-0.5), -1.0); // before beat 0 the first tempo holds
    // A stretch without a usable tempo takes no time; what follows never comes.
    const std::vector<chart::BpmChange> stall{{2.0, 0.0}};
    const TimingMap stalled(120.0f, 0.0f, stall);
    EXPECT_FALSE(stalled.HasUsableTempo());
    EXPECT_EQ(stalled.BeatAt(1.0), 2.0);
    EXPECT_EQ(stalled.BeatAt(5.0), kInf);
    const std::vector<chart::BpmChange> changes{
        {1.0, -120.0}, {3.0, kNan}, {4.0, kInf}, {5.0, 1e30}};
    const TimingMap map(0.0f, kNanF, changes, noStops);
    EXPECT_EQ(map.BeatAt(-1.0), -kInf);
    double lastSeconds = -kInf;
    for (double beat = -2.0; beat < 10.0; beat += 0.25) {
        EXPECT_GE(map.SecondsAt(beat), lastSeconds) << beat; // false for NaN too
        lastSeconds = map.SecondsAt(beat);
    }
}

} // namespace

#include "chart/SongTiming.h"

#include "chart/TimingMap.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr float kNanF = std::numeric_limits<float>::quiet_NaN();

// Each control from the state the previous row left (or the one it sets),
// with the player's position it is given; worked by hand.
TEST(TimingControls, SpinsAndButtonsKeepBpmAndGapInBoundsAndReanchorTheClick) {
    using namespace chart;
    using State = TimingState;
    const struct {
        void (*control)(State&);
        float bpm, gap;
        double click;
    } kRows[] = {
        // Beats 0.49917 s apart from 0.2 s: the click a beat after the fourth.
        {[](State& s) { ApplyBpmSpin(s = State(120.0f, 0.2f), 2, 1.3); }, 120.2f, 0.2f, 2.19667},
        // Fixed fault: a spin landing on exactly 0 BPM hung re-anchoring the click.
        {[](State& s) { ApplyBpmSpin(s = State(0.1f, 0.2f), -1, 30.0); }, 0.0f, 0.2f, kInf},
        {[](State& s) { ApplyBpmSpin(s, -1, 0.0); }, 0.01f, 0.2f, 6000.2}, // below 0
        // Fixed fault: the Gap stopped at 0, so one click on a file's
        // #GAP:-12 jumped to 0.00. It steps through 0 both ways now.
        {[](State& s) { ApplyGapSpin(s = State(120.0f, 0.03f), -4, 0.0); }, 120.0f, -0.01f, 0.99},
        {[](State& s) { ApplyGapSpin(s, 2, 0.0); }, 120.0f, 0.01f, 0.51},
        {[](State& s) { ApplyGapPlusHalfBeat(s, 0.0); }, 120.0f, 0.26f, 0.76},
        {[](State& s) { ApplyGapMinusHalfBeat(s, 0.0); }, 120.0f, 0.01f, 0.51},
        // The half-beat buttons ignore an unusable tempo.
        {[](State& s) { ApplyGapPlusHalfBeat(s = State(-5.0f, 1.5f, 7.0), 0.0); }, -5.0f, 1.5f,
         7.0},
        // A found or typed tempo: BPM and Gap as given.
        {[](State& s) { ApplyBpmAndGap(s, 90.0f, -0.01f, 1.0); }, 90.0f, -0.01f, 1.99},
        // X2 and X.5 have no bound; the click grid then starts at song time 0.
        {[](State& s) { ApplyBpmDouble(s = State(60.0f, 0.3f), 1.1); }, 120.0f, 0.3f, 2.0},
        {[](State& s) { ApplyBpmHalve(s, 3.2); }, 60.0f, 0.3f, 5.0},
    };
    State state;
    for (const auto& row : kRows) {
        row.control(state);
        // Float state; the click is never within 1e-3 s of a beat.
        EXPECT_NEAR(state.bpm, row.bpm, 1e-4f) << &row - kRows;
        EXPECT_NEAR(state.gapSeconds, row.gap, 1e-6f) << &row - kRows;
        EXPECT_TRUE(state.nextClickSeconds == row.click ||
                    std::abs(state.nextClickSeconds - row.click) < 1e-3)
            << state.nextClickSeconds << " for " << row.click;
    }
}

// 120 BPM from the Gap at 1 s (0.5 s a beat), 240 BPM from beat 4 (0.25 s a
// beat), two 250 ms stops on reaching beat 8, which add up; worked by hand.
// Inside the stop and at its end the beat stands at 8.
TEST(TimingMap, ChangesAndStopsMoveLaterBeatsAndHostileValuesStayBounded) {
    const std::vector<chart::BpmChange> changes{{4.0, 240.0}};
    const std::vector<chart::Stop> stops{{8.0, 250.0}, {8.0, 250.0}};
    const chart::TimingMap map(120.0f, 1.0f, changes, stops);
    const std::pair<double, double> kBeatSeconds[] = {
        {-2.0, 0.0}, {0.0, 1.0}, {2.0, 2.0}, {4.0, 3.0}, {6.0, 3.5}, {8.0, 4.0}, {9.0, 4.75}};
    for (const auto& [beat, seconds] : kBeatSeconds) {
        EXPECT_EQ(map.SecondsAt(beat), seconds) << beat;
        EXPECT_EQ(map.BeatAt(seconds), beat) << seconds;
    }
    EXPECT_EQ(map.BeatAt(4.2), 8.0);
    EXPECT_EQ(map.BeatAt(4.5), 8.0);
    EXPECT_EQ((std::vector{map.BpmAt(-1.0), map.BpmAt(3.99), map.BpmAt(4.0)}),
              (std::vector{120.0, 120.0, 240.0}));
    // Changes before beat 0 take effect at beat 0; those at no finite beat
    // are ignored, and so are stops of no finite positive length. A stretch
    // without a usable tempo takes no time; what follows never comes.
    const std::vector<chart::BpmChange> early{{-3.0, 60.0}, {kNan, 240.0}};
    const std::vector<chart::Stop> noStops{{kInf, 100.0}, {1.0, -100.0}, {2.0, kNan}};
    const chart::TimingMap shifted(120.0f, 0.0f, early, noStops);
    EXPECT_EQ(shifted.SecondsAt(3.0), 3.0);
    EXPECT_EQ(shifted.BeatAt(-0.5), -1.0); // before beat 0 the first tempo holds
    const std::vector<chart::BpmChange> stall{{2.0, 0.0}};
    const chart::TimingMap stalled(120.0f, 0.0f, stall);
    EXPECT_FALSE(stalled.HasUsableTempo());
    EXPECT_EQ(stalled.BeatAt(1.0), 2.0);
    EXPECT_EQ(stalled.BeatAt(5.0), kInf);
    const std::vector<chart::BpmChange> hostile{
        {1.0, -120.0}, {3.0, kNan}, {4.0, kInf}, {5.0, 1e30}};
    const chart::TimingMap bounded(0.0f, kNanF, hostile, noStops);
    EXPECT_EQ(bounded.BeatAt(-1.0), -kInf);
    for (double beat = -2.0; beat < 10.0; beat += 0.25) {
        EXPECT_GE(bounded.SecondsAt(beat + 0.25), bounded.SecondsAt(beat)) << beat; // not NaN
    }
}

// 120 BPM from the Gap at 1 s; a 500 ms delay at beat 2 (its notes sound
// after it), a warp over beats 4-6 (no time), a 250 ms stop at beat 8, and in
// the second map a change to 240 BPM inside the warp that holds after it.
// Worked by hand.
TEST(TimingMap, DelaysHoldBeforeTheBeatAndWarpsSkipBeatsInNoTime) {
    const std::vector<chart::Stop> stops{{8.0, 250.0}};
    const std::vector<chart::Delay> delays{{2.0, 500.0}};
    const std::vector<chart::Warp> warps{{4.0, 2.0}};
    const chart::TimingMap map(120.0f, 1.0f, {}, stops, delays, warps);
    const std::pair<double, double> kSecondsAt[] = {{1.0, 1.5}, {2.0, 2.5}, {3.0, 3.0},
                                                    {4.0, 3.5}, {5.0, 3.5}, {6.0, 3.5},
                                                    {7.0, 4.0}, {8.0, 4.5}, {9.0, 5.25}};
    for (const auto& [beat, seconds] : kSecondsAt) {
        EXPECT_EQ(map.SecondsAt(beat), seconds) << beat;
    }
    // During the delay the beat waits at 2; at the warp the latest beat wins.
    const std::pair<double, double> kBeatAt[] = {{1.75, 1.5}, {2.25, 2.0}, {2.5, 2.0}, {3.0, 3.0},
                                                 {3.5, 6.0},  {3.75, 6.5}, {4.6, 8.0}, {5.25, 9.0}};
    for (const auto& [seconds, beat] : kBeatAt) {
        EXPECT_EQ(map.BeatAt(seconds), beat) << seconds;
    }
    const std::vector<chart::BpmChange> inWarp{{5.0, 240.0}};
    const chart::TimingMap changed(120.0f, 1.0f, inWarp, {}, {}, warps);
    EXPECT_EQ(changed.SecondsAt(6.0), 3.0);
    EXPECT_EQ(changed.SecondsAt(7.0), 3.25);
    EXPECT_EQ(changed.BpmAt(6.5), 240.0);
    // Warps of no finite positive length are ignored.
    const std::vector<chart::Warp> empty{{1.0, 0.0}, {1.0, -2.0}, {1.0, kNan}};
    EXPECT_EQ(chart::TimingMap(120.0f, 0.0f, {}, {}, {}, empty).SecondsAt(2.0), 1.0);
}

} // namespace

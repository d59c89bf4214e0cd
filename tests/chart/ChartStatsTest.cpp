// The chart's counts, busiest stretch and notes per measure, worked by hand.
#include "chart/ChartStats.h"

#include <gtest/gtest.h>

namespace {

using chart::Note;

struct Case {
    const char* name;
    std::int32_t sixteenths; // taps on column 0, one every 12 rows from row 0
    std::vector<Note> notes;
    std::vector<chart::BpmChange> changes;
    std::vector<chart::Stop> stops;
    chart::ChartStats expected;
    std::vector<std::int32_t> density;
};

TEST(ChartStats, CountsStepsPeakAndDensity) {
    // All at 120 BPM (a beat is 0.5 s, a 4-beat window 2 s), Gap 0.5 s.
    const Case cases[] = {
        {"empty", 0, {}, {}, {}, {}, {}},
        // 16 steps in any window from a step up to the 16th: 16 / 2 s. The
        // last note at beat 228/48 = 4.75.
        {"16ths", 20, {}, {}, {}, {20, 0, 0, 0, 8.0, 2.375}, {16, 4}},
        // A 1 s stop at beat 2: every window from rows 0..96 takes 3 s, and
        // the one from row 0 holds all 16 steps; later ones hold at most 7
        // in 2 s. Last note at beat 3.75: 1.875 s + the stop.
        {"stop", 16, {}, {}, {{2.0, 1000.0}}, {16, 0, 0, 0, 16.0 / 3.0, 2.875}, {16}},
        // 240 BPM from beat 4: the window from row 192 holds 16 steps in
        // 1 s; the stop at beat 8 lies just past it. Last note at beat 7.75:
        // 2 s + 3.75 beats of 0.25 s.
        {"240 BPM", 32, {}, {{4.0, 240.0}}, {{8.0, 1000.0}}, {32, 0, 0, 0, 16.0, 2.9375}, {16, 16}},
        // A step a beat, so 4 steps per window: 2 steps/s whatever the heads.
        // Row 0: hold + tap, a jump. 48: two taps while column 0 is held, a
        // hand. 96: two taps on the hold's tail row, a hand. 144: jump. 192:
        // three taps, a hand. 240: hold + tap, a jump. 288: one tap while
        // column 3 is held, neither. 336: hold + tap while column 3 is held,
        // a hand. The last tail at row 480, beat 10, in measure 2.
        {"jumps and hands",
         0,
         {{0, 0, 96},
          {0, 1, 0},
          {48, 2, 0},
          {48, 3, 0},
          {96, 1, 0},
          {96, 2, 0},
          {144, 1, 0},
          {144, 2, 0},
          {192, 0, 0},
          {192, 1, 0},
          {192, 2, 0},
          {240, 3, 240},
          {240, 0, 0},
          {288, 1, 0},
          {336, 0, 48},
          {336, 1, 0}},
         {},
         {},
         {13, 3, 4, 3, 2.0, 5.0},
         {8, 8, 0}},
        // Only the roll (48) and the lift (144) are steps: a row holding a
        // mine or a fake alone is none. Last note at row 144, beat 3.
        {"kinds",
         0,
         {{0, 0, 0, chart::NoteKind::Mine},
          {48, 1, 48, chart::NoteKind::Roll},
          {96, 2, 0, chart::NoteKind::Fake},
          {144, 3, 0, chart::NoteKind::Lift}},
         {},
         {},
         {1, 0, 0, 0, 1.0, 1.5, 1, 1},
         {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        chart::SongChart songChart;
        for (std::int32_t i = 0; i < c.sixteenths; ++i) {
            ASSERT_TRUE(songChart.notes.Set({i * 12, 0, 0}));
        }
        for (const Note& note : c.notes) {
            ASSERT_TRUE(songChart.notes.Set(note));
        }
        const chart::ChartStats stats =
            chart::StatsOf(songChart, chart::TimingMap(120.0f, 0.5f, c.changes, c.stops));
        EXPECT_EQ(stats.taps, c.expected.taps);
        EXPECT_EQ(stats.jumps, c.expected.jumps);
        EXPECT_EQ(stats.hands, c.expected.hands);
        EXPECT_EQ(stats.holds, c.expected.holds);
        EXPECT_EQ(stats.rolls, c.expected.rolls);
        EXPECT_EQ(stats.mines, c.expected.mines);
        EXPECT_NEAR(stats.peakNps, c.expected.peakNps, 1e-9);
        EXPECT_NEAR(stats.lengthSeconds, c.expected.lengthSeconds, 1e-9);
        EXPECT_EQ(chart::DensityPerMeasure(songChart), c.density);
    }
    EXPECT_EQ(chart::StatsLine({412, 38, 2, 17, 7.94, 111.6}),
              "Taps 412  Jumps 38  Hands 2  Holds 17  Peak 7.9 notes/s  Length 1:52");
    EXPECT_EQ(chart::StatsLine({13, 3, 4, 3, 2.0, 3599.5}),
              "Taps 13  Jumps 3  Hands 4  Holds 3  Peak 2.0 notes/s  Length 60:00");
    EXPECT_EQ(
        chart::StatsLine({1, 0, 0, 0, 1.0, 1.5, 0, 12}),
        "Taps 1  Jumps 0  Hands 0  Holds 0  Peak 1.0 notes/s  Length 0:02  Rolls 0  Mines 12");
}

} // namespace

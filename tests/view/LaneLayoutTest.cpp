// The lane's arithmetic (StepLane at one tempo, LaneLayout on the timing
// map): lines, cells, seeks, wheel and zoom, and tempos no control gives.
// Expected values are worked by hand. At 120 BPM and a Gap of 0.5 s, 8th
// slot j plays at 0.5 + 0.25 j s.
#include "view/LaneLayout.h"

#include "view/StepLane.h"

#include <array>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

using enum view::SeekButton;

const float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kBpm = 120.0f;
constexpr float kGap = 0.5f;

chart::Song SongAt(float bpm, float gapSeconds, std::vector<chart::BpmChange> changes = {},
                   std::vector<chart::Stop> stops = {}) {
    chart::Song song;
    song.bpm = bpm;
    song.gapSeconds = gapSeconds;
    song.changes = std::move(changes);
    song.stops = std::move(stops);
    return song;
}

// Without a usable beat grid the lane stands still with slot 0 on the
// targets; these loops once never ended there (the program hung).
TEST(StepLane, ScrollPlacesTheFirstLineAndSlotForEveryTempo) {
    // Position, BPM, Gap; first line and slot. A quarter beat into beat 1:
    // 16 - 4.5 truncates to 11, below 16, so one line down. One beat before
    // the Gap (a negative position counts as 0); long before it the lines
    // lie below the view. BPM 0, NaN, a negative BPM where the loop would
    // not end, 1e30 past the longest chart, a billion seconds: slot 0 on the
    // targets. A negative BPM where the loop ends at once (b = -0.5, t = -2):
    // f = 4.
    // clang-format off
    const std::tuple<double, float, float, int, std::int32_t> kCases[] = {
        {1.125, kBpm, kGap, 29, 3}, {0.0, kBpm, kGap, 34, 0}, {-3.0, kBpm, kGap, 34, 0},
        {0.0, kBpm, 100.0f, 3616, 0}, {42.0, 0.0f, kGap, 16, 0}, {42.0, kNan, kGap, 16, 0},
        {42.0, -120.0f, kGap, 16, 0}, {0.0, -120.0f, 2.0f, -38, 1}, {5.0, 1e30f, kGap, 16, 0},
        {1e9, kBpm, kGap, 16, 0}};
    // clang-format on
    for (const auto& [position, bpm, gap, firstLineY, firstSlot] : kCases) {
        const view::LaneScroll scroll = view::ScrollAt(position, bpm, gap);
        EXPECT_EQ(std::pair(scroll.firstLineY, scroll.firstSlot), std::pair(firstLineY, firstSlot))
            << position << " s at " << bpm << " BPM, Gap " << gap;
    }
    for (const float bpm : {0.0f, -120.0f, 1e30f, kBpm}) {
        for (const int y : {11, 100, 299}) {
            EXPECT_EQ(view::SlotAtRow(y, bpm == kBpm ? 1e9 : 42.0, bpm, kGap), 0) << bpm;
        }
    }
}

// 120 BPM from a Gap of 0: beat b at b / 2 s. A change at beat 4 to 240
// BPM halves the beat from 2 s on; a stop of 1 s at beat 2 holds the lane
// from 1 s to 2 s, beat 3 comes at 2.5 s, and a change there to 60 BPM
// makes beat 4 come at 3.5 s. Times and tempos are exact in binary.
TEST(LaneLayout, TempoChangesAndStopsMoveTheLaneByBeats) {
    const chart::Song changed = SongAt(120.0f, 0.0f, {{4.0, 240.0}});
    const chart::Song stopped = SongAt(120.0f, 0.0f, {{3.0, 60.0}}, {{2.0, 1000.0}});
    const std::tuple<const chart::Song*, double, std::int32_t, double> kCases[] = {
        {&changed, 2.0, 4, 0.0}, {&changed, 2.125, 4, 0.5}, {&stopped, 0.75, 1, 0.5},
        {&stopped, 1.7, 2, 0.0}, {&stopped, 2.25, 2, 0.5},  {&stopped, 3.0, 3, 0.5}};
    for (const auto& [song, seconds, beats, fraction] : kCases) {
        const chart::BeatPosition position = view::LanePosition(*song, seconds);
        EXPECT_EQ(position.beats, beats) << seconds << " s";
        EXPECT_NEAR(position.fraction, fraction, 1e-9) << seconds << " s";
    }
    // Rows lie PixelsPerBeat a beat apart whatever the tempo: at 36 pixels a
    // 16th is 9 pixels, a 192nd rounds down. Half a beat on, a 16th after the
    // beat stays until it reaches the targets.
    const view::LaneFrame frame = view::FrameAt({6, 0.0}, 36, 300);
    EXPECT_EQ((std::vector{frame.RowY(6 * 48 + 12), frame.RowY(6 * 48 + 1), frame.RowY(6 * 48 - 1),
                           view::FrameAt({6, 0.2}, 18, 300).beginRow}),
              (std::vector{25, 16, 15, 6 * 48 + 10}));
}

// 16ths at 120 BPM are 0.125 s apart from the Gap at 0.5 s; 1e-9 allows the
// timing map's sums. A stop of 1 s at beat 1 (reached at 1.0 s) is no
// cell: seeks and notches go on past it. Seeks land a tenth of a cell
// before the next; from within 0.15 before a cell they go a cell back.
TEST(LaneLayout, SeeksAndWheelStepByCellsThroughTheTiming) {
    const chart::Song song = SongAt(120.0f, 0.5f);
    const chart::Song stopped = SongAt(120.0f, 0.5f, {}, {{1.0, 1000.0}});
    const std::tuple<const chart::Song*, view::SeekButton, double, double> kSeeks[] = {
        {&song, kForwardOne, 1.0, 1.1125},   {&song, kForwardOne, 1.1125, 1.2375},
        {&song, kForwardTwo, 1.0, 1.2375},   {&song, kBackOne, 1.05, 0.9875},
        {&song, kBackOne, 1.1125, 0.9875},   {&song, kBackThirty, 1.0, 0.0},
        {&song, kForwardThirty, 19.9, 20.0}, {&stopped, kForwardOne, 1.5, 2.1125}};
    for (const auto& [s, button, from, to] : kSeeks) {
        EXPECT_NEAR(view::SeekTargetAt(*s, 12, button, from, 20.0).value_or(-1.0), to, 1e-9)
            << int(button) << " from " << from;
    }
    EXPECT_FALSE(view::SeekTargetAt(song, 12, kNone, 1.0, 20.0));
    // At 8ths the seek is StepLane's, rounding included.
    EXPECT_EQ(view::SeekTargetAt(song, 24, kBackTwo, 1.625, 20.0),
              view::SeekTarget(kBackTwo, 1.625, 20.0, 120.0f, 0.5f));
    const std::tuple<const chart::Song*, int, double, double> kWheels[] = {
        {&song, 1, 1.0, 1.125},    {&song, -1, 1.0, 0.875},   {&song, 1, 1.05, 1.125},
        {&song, -1, 1.05, 1.0},    {&song, -20, 1.0, 0.0},    {&song, 200, 1.0, 20.0},
        {&stopped, 1, 1.5, 2.125}, {&stopped, -1, 1.5, 0.875}};
    for (const auto& [s, notches, from, to] : kWheels) {
        EXPECT_NEAR(view::WheelTarget(*s, 12, notches, from, 20.0).value_or(-1.0), to, 1e-9)
            << notches << " notches from " << from;
    }
    EXPECT_FALSE(view::WheelTarget(SongAt(0.0f, 0.5f), 12, 1, 1.0, 20.0));
}

// Arrows are 16 pixels wide, 32 apart from x = 20; the seek strips are 32
// wide, 8 from the view's right edge, and the beat lines end 46 before
// them (a 36-pixel gutter holds measure numbers and tempo marks). Each seek button is 34 rows tall,
// 2 apart; a taller view keeps the rewind strip at the top and the forward strip at the bottom.
TEST(LaneLayout, ColumnsStripsButtonsAndZoomSteps) {
    for (const auto& [columns, width] : {std::pair{4, 236}, {6, 300}, {8, 364}}) {
        EXPECT_EQ((std::vector{view::ViewWidthFor(columns), view::SeekStripX(columns),
                               view::BeatLineLastX(columns)}),
                  (std::vector{width, width - 40, width - 86}));
    }
    // clang-format off
    const std::tuple<int, int, int> kColumns[] = { // x, columns, the column or -1
        {19, 4, -1}, {20, 4, 0}, {35, 4, 0}, {36, 4, -1}, {52, 4, 1}, {131, 4, 3}, {132, 4, -1},
        {148, 4, -1}, {148, 6, 4}, {195, 6, 5}, {212, 6, -1}, {227, 8, 6}};
    const std::tuple<int, int, view::SeekButton> kButtons[] = { // y, height, the button
        {-1, 300, kNone}, {0, 300, kBackOne}, {33, 300, kBackOne}, {34, 300, kNone},
        {36, 300, kBackTwo}, {70, 300, kNone}, {105, 300, kBackThirty}, {106, 300, kNone},
        {194, 300, kForwardThirty}, {230, 300, kForwardTwo}, {299, 300, kForwardOne},
        {300, 300, kNone}, {194, 500, kNone}, {394, 500, kForwardThirty}, {500, 500, kNone}};
    const std::tuple<int, int, int> kZooms[] = { // from, steps, to
        {18, 1, 24}, {18, -1, 12}, {18, 2, 36}, {20, 1, 24}, {20, -1, 18}, {144, 1, 144},
        {6, -1, 6}, {1000, -1, 144}, {1, 1, 6}};
    // clang-format on
    for (const auto& [x, columns, column] : kColumns) {
        EXPECT_EQ(view::ColumnAtX(x, columns).value_or(255), column < 0 ? 255 : column) << x;
    }
    for (const auto& [y, height, button] : kButtons) {
        EXPECT_EQ(view::SeekButtonAt(y, height), button) << y << " of " << height;
    }
    for (const auto& [from, steps, to] : kZooms) {
        EXPECT_EQ(view::ZoomedPixelsPerBeat(from, steps), to) << from << " " << steps;
    }
}

} // namespace

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

using view::SeekButton;

const float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kBpm = 120.0f;
constexpr float kGap = 0.5f;

chart::Song SongAt(float bpm, float gapSeconds) {
    chart::Song song;
    song.bpm = bpm;
    song.gapSeconds = gapSeconds;
    return song;
}

// Without a usable beat grid the lane stands still with slot 0 on the
// targets; these loops once never ended there (the program hung).
TEST(StepLane, ScrollPlacesTheFirstLineAndSlotForEveryTempo) {
    const struct {
        const char* what;
        double positionSeconds;
        float bpm;
        float gapSeconds;
        int firstLineY;
        std::int32_t firstSlot;
    } cases[] = {// f = 0.25: 16 - 4.5 truncates to 11, below 16, so one line down.
                 {"a quarter beat into beat 1", 1.125, kBpm, kGap, 29, 3},
                 {"one beat before the Gap", 0.0, kBpm, kGap, 34, 0},
                 {"a negative position counts as 0", -3.0, kBpm, kGap, 34, 0},
                 {"long before the Gap: lines below the view", 0.0, kBpm, 100.0f, 3616, 0},
                 {"BPM 0 stands still at slot 0", 42.0, 0.0f, kGap, 16, 0},
                 {"NaN BPM as BPM 0", 42.0, kNan, kGap, 16, 0},
                 {"negative BPM where the loop would not end", 42.0, -120.0f, kGap, 16, 0},
                 // b = -0.5 and t = -2: the loop ends at once, f = 4.
                 {"negative BPM where the loop ends at once", 0.0, -120.0f, 2.0f, -38, 1},
                 {"BPM 1e30 past the longest chart", 5.0, 1e30f, kGap, 16, 0},
                 {"a billion seconds at 120 BPM", 1e9, kBpm, kGap, 16, 0}};
    for (const auto& c : cases) {
        const view::LaneScroll scroll = view::ScrollAt(c.positionSeconds, c.bpm, c.gapSeconds);
        EXPECT_EQ(scroll.firstLineY, c.firstLineY) << c.what;
        EXPECT_EQ(scroll.firstSlot, c.firstSlot) << c.what;
    }
    const std::array<float, 4> bpms = {0.0f, -120.0f, 1e30f, kBpm};
    for (const float bpm : bpms) {
        for (const int y : {11, 100, 299}) {
            EXPECT_EQ(view::SlotAtRow(y, bpm == kBpm ? 1e9 : 42.0, bpm, kGap), 0)
                << bpm << " " << y;
        }
    }
}

// Seeks land a tenth of a slot, 0.025 s, before a slot time, clamped to the
// song. 0.025 is not exact in binary; 1e-12 s allows its rounding only.
TEST(StepLane, SeekButtonsMoveByOneTwoOrThirtySlots) {
    // Slot 4 plays at 1.5 s. "Before" is 0.1 slot ahead of it (where every
    // seek lands): whole slots. "On" it: whole slots. "Between" it and slot
    // 5: to just before slot 4 (back) or 5 (forward), then on. Before the
    // Gap the remainder is negative: back leads into slot 0.
    const struct {
        const char* from;
        double position;
        std::array<double, 6> to; // back 1, 2, 30, forward 30, 2, 1
    } cases[] = {{"before", 1.475, {1.225, 0.975, 0.0, 8.975, 1.975, 1.725}},
                 {"on", 1.5, {1.25, 1.0, 0.0, 9.0, 2.0, 1.75}},
                 {"between", 1.625, {1.475, 1.225, 0.0, 8.975, 1.975, 1.725}},
                 {"between, later", 10.125, {9.975, 9.725, 2.725, 17.475, 10.475, 10.225}},
                 {"on, near the end", 19.0, {18.75, 18.5, 11.5, 20.0, 19.5, 19.25}},
                 {"before, near the end", 19.99, {19.74, 19.49, 12.49, 20.0, 20.0, 20.0}},
                 {"before the Gap", 0.1, {0.475, 0.225, 0.0, 7.975, 0.975, 0.725}}};
    for (const auto& c : cases) {
        for (int button = 1; button <= 6; ++button) {
            const auto to =
                view::SeekTarget(static_cast<SeekButton>(button), c.position, 20.0, kBpm, kGap);
            ASSERT_TRUE(to) << c.from << ", button " << button;
            EXPECT_NEAR(*to, c.to[static_cast<std::size_t>(button - 1)], 1e-12)
                << c.from << ", button " << button;
        }
    }
    // No beat grid: nothing moves, except at BPM 0 (an endless half-beat).
    EXPECT_EQ(view::SeekTarget(SeekButton::kNone, 1.5, 20.0, kBpm, kGap), std::nullopt);
    EXPECT_EQ(view::SeekTarget(SeekButton::kBackOne, 7.0, 20.0, 0.0f, kGap), 0.0);
    EXPECT_EQ(view::SeekTarget(SeekButton::kForwardOne, 7.0, 20.0, 0.0f, kGap), 20.0);
    for (const float bpm : {-120.0f, 1e30f, kNan}) {
        for (int button = 1; button <= 6; ++button) {
            EXPECT_EQ(view::SeekTarget(static_cast<SeekButton>(button), 7.0, 20.0, bpm, kGap),
                      std::nullopt)
                << "BPM " << bpm << ", button " << button;
        }
    }
}

// Under constant tempo at 18 pixels a beat the frame puts its first line
// where StepLane always did, and starts its notes at StepLane's first slot.
TEST(LaneLayout, ConstantTempoFramesMatchTheLaneOfEighths) {
    for (const float bpm : {120.0f, 137.3f, 251.7f}) {
        const chart::Song song = SongAt(bpm, 0.237f);
        for (double position = 0.0; position < 30.0; position += 0.0731) {
            SCOPED_TRACE(std::to_string(bpm) + " BPM at " + std::to_string(position) + " s");
            const view::LaneScroll scroll = view::ScrollAt(position, bpm, 0.237f);
            const view::LaneFrame frame =
                view::FrameAt(view::LanePosition(song, position), 18, 300);
            EXPECT_EQ(frame.firstLineY, scroll.firstLineY);
            EXPECT_EQ(frame.lines, 16);
            // Only 8ths in such a chart: the first drawn is StepLane's.
            EXPECT_EQ((frame.beginRow + 23) / 24, scroll.firstSlot);
            EXPECT_EQ(frame.endRow, 24 * (scroll.firstSlot + 32));
            // An even slot is centred on its line, an odd one 9 rows above.
            EXPECT_EQ(frame.RowY(24 * scroll.firstSlot),
                      scroll.firstLineY - (scroll.firstSlot % 2 != 0 ? 9 : 0));
        }
    }
}

// 120 BPM from a Gap of 0: beat b at b / 2 s. A change at beat 4 to 240
// BPM halves the beat from 2 s on; a stop of 1 s at beat 2 holds the lane
// from 1 s to 2 s, beat 3 comes at 2.5 s, and a change there to 60 BPM
// makes beat 4 come at 3.5 s.
TEST(LaneLayout, TempoChangesAndStopsMoveTheLaneByBeats) {
    chart::Song changed = SongAt(120.0f, 0.0f);
    changed.changes = {{4.0, 240.0}};
    chart::Song stopped = SongAt(120.0f, 0.0f);
    stopped.stops = {{2.0, 1000.0}};
    stopped.changes = {{3.0, 60.0}};
    const struct {
        const chart::Song* song;
        double position;
        std::int32_t beats;
        double fraction;
    } cases[] = {{&changed, 1.0, 2, 0.0}, {&changed, 2.0, 4, 0.0},  {&changed, 2.125, 4, 0.5},
                 {&changed, 2.5, 6, 0.0}, {&stopped, 0.75, 1, 0.5}, {&stopped, 1.0, 2, 0.0},
                 {&stopped, 1.7, 2, 0.0}, {&stopped, 2.25, 2, 0.5}, {&stopped, 3.0, 3, 0.5},
                 {&stopped, 3.5, 4, 0.0}};
    for (const auto& c : cases) {
        const chart::BeatPosition position = view::LanePosition(*c.song, c.position);
        EXPECT_EQ(position.beats, c.beats) << c.position << " s";
        // Times and tempos are exact in binary.
        EXPECT_NEAR(position.fraction, c.fraction, 1e-9) << c.position << " s";
    }
    // Rows lie PixelsPerBeat a beat apart whatever the tempo: at 36 pixels a
    // 16th is 9 pixels, a 192nd rounds down.
    const view::LaneFrame frame = view::FrameAt({6, 0.0}, 36, 300);
    EXPECT_EQ(frame.firstLineY, 16);
    const std::pair<std::int32_t, int> rowYs[] = {
        {6 * 48, 16}, {6 * 48 + 12, 25}, {6 * 48 + 1, 16}, {6 * 48 - 1, 15}, {8 * 48, 88}};
    for (const auto& [row, y] : rowYs) {
        EXPECT_EQ(frame.RowY(row), y) << "row " << row;
    }
    EXPECT_EQ(frame.lines, 8) << "lines at 16, 52, ..., 268";
    EXPECT_EQ(view::FrameAt({6, 0.0}, 18, 600).lines, 33) << "a taller view shows more beats";
    // Half a beat on, a 16th after the beat stays until it reaches the
    // targets; the off-beat 8th stays until the next beat does.
    EXPECT_EQ(view::FrameAt({6, 0.2}, 18, 300).beginRow, 6 * 48 + 10);
    EXPECT_EQ(view::FrameAt({6, 0.8}, 18, 300).beginRow, 6 * 48 + 24);
}

// 8ths at 18 pixels: StepLane's rows, 11-19 slot 0, 20-28 slot 1. 16ths:
// 4.5 pixels a cell, the nearest centre. Zoomed to 72 pixels, 4ths: a beat
// 72 pixels down. Never below cell 0, above the targets or before the Gap.
// With a change to 60 BPM at beat 1 (1.0 s) the lane is spaced by beats.
TEST(LaneLayout, CellsUnderTheMouseFollowSnapZoomAndTempo) {
    const chart::Song song = SongAt(120.0f, 0.5f);
    chart::Song changed = song;
    changed.changes = {{1.0, 60.0}};
    const struct {
        const chart::Song* song;
        std::int32_t cellRows;
        int pixelsPerBeat;
        int y;
        double position;
        std::int32_t cell;
    } cases[] = {{&song, 24, 18, 19, 0.5, 0},         {&song, 24, 18, 20, 0.5, 1},
                 {&song, 12, 18, 16, 0.5, 0},         {&song, 12, 18, 17, 0.5, 0},
                 {&song, 12, 18, 18, 0.5, 1},         {&song, 12, 18, 34, 0.5, 4},
                 {&song, 48, 72, 16 + 72, 0.5, 1},    {&song, 48, 72, 16 + 35, 0.5, 0},
                 {&song, 12, 18, 0, 0.5, 0},          {&song, 12, 18, 16, 0.0, 0},
                 {&changed, 12, 18, 16 + 18, 1.0, 8}, {&changed, 12, 18, 16 + 18, 2.0, 12}};
    for (const auto& c : cases) {
        EXPECT_EQ(view::CellAtY(*c.song, c.cellRows, c.pixelsPerBeat, c.y, c.position), c.cell)
            << c.cellRows << " rows, " << c.pixelsPerBeat << " px, y " << c.y << ", " << c.position
            << " s";
    }
}

// 16ths at 120 BPM are 0.125 s apart from the Gap at 0.5 s. Times are exact
// in binary; 1e-9 allows the timing map's sums. A stop of 1 s at beat 1
// (reached at 1.0 s) is no cell: seeks and notches go on past it.
TEST(LaneLayout, SeeksAndWheelStepByCellsThroughTheTiming) {
    const chart::Song song = SongAt(120.0f, 0.5f);
    chart::Song stopped = song;
    stopped.stops = {{1.0, 1000.0}};
    const struct {
        const chart::Song* song;
        SeekButton button;
        double from;
        double to;
    } seeks[] = {
        {&song, SeekButton::kForwardOne, 1.0, 1.1125},    // a tenth of a cell before the next
        {&song, SeekButton::kForwardOne, 1.1125, 1.2375}, // from just before one: a cell on
        {&song, SeekButton::kForwardTwo, 1.0, 1.2375},
        {&song, SeekButton::kBackOne, 1.05, 0.9875},
        {&song, SeekButton::kBackOne, 1.1125, 0.9875}, // within 0.15 before a cell: a cell back
        {&song, SeekButton::kBackThirty, 1.0, 0.0},
        {&song, SeekButton::kForwardThirty, 19.9, 20.0},
        {&stopped, SeekButton::kForwardOne, 1.5, 2.1125}};
    for (const auto& s : seeks) {
        const auto target = view::SeekTargetAt(*s.song, 12, s.button, s.from, 20.0);
        ASSERT_TRUE(target.has_value());
        EXPECT_NEAR(*target, s.to, 1e-9) << static_cast<int>(s.button) << " from " << s.from;
    }
    EXPECT_FALSE(view::SeekTargetAt(song, 12, SeekButton::kNone, 1.0, 20.0));
    // At 8ths the seek is StepLane's, rounding included.
    EXPECT_EQ(view::SeekTargetAt(song, 24, SeekButton::kBackTwo, 1.625, 20.0),
              view::SeekTarget(SeekButton::kBackTwo, 1.625, 20.0, 120.0f, 0.5f));
    EXPECT_NEAR(*view::SeekTargetAt(stopped, 24, SeekButton::kForwardOne, 1.5, 20.0), 2.225, 1e-9);

    const struct {
        const chart::Song* song;
        int notches;
        double from;
        double to;
    } wheels[] = {{&song, 1, 1.0, 1.125},  {&song, -1, 1.0, 0.875},   {&song, 1, 1.05, 1.125},
                  {&song, -1, 1.05, 1.0},  {&song, 3, 1.0, 1.375},    {&song, -20, 1.0, 0.0},
                  {&song, 200, 1.0, 20.0}, {&stopped, 1, 1.5, 2.125}, {&stopped, -1, 1.5, 0.875}};
    for (const auto& w : wheels) {
        const auto target = view::WheelTarget(*w.song, 12, w.notches, w.from, 20.0);
        ASSERT_TRUE(target.has_value());
        EXPECT_NEAR(*target, w.to, 1e-9) << w.notches << " notches from " << w.from;
    }
    EXPECT_FALSE(view::WheelTarget(SongAt(0.0f, 0.5f), 12, 1, 1.0, 20.0));
}

// Arrows are 16 pixels wide, 32 apart from x = 20; the seek strips are 32
// wide, 8 from the view's right edge, and the beat lines end 10 before
// them. Each seek button is 34 rows tall, 2 apart.
TEST(LaneLayout, ColumnsStripsButtonsAndZoomSteps) {
    for (const auto& [columns, width] : {std::pair{4, 200}, {6, 264}, {8, 328}}) {
        EXPECT_EQ(view::ViewWidthFor(columns), width);
        EXPECT_EQ(view::SeekStripX(columns), width - 40);
        EXPECT_EQ(view::BeatLineLastX(columns), width - 50);
    }
    const struct {
        int x, columns, column; // -1: none
    } xs[] = {{19, 4, -1},  {20, 4, 0},   {35, 4, 0},  {36, 4, -1}, {52, 4, 1},   {131, 4, 3},
              {132, 4, -1}, {148, 4, -1}, {148, 6, 4}, {195, 6, 5}, {212, 6, -1}, {227, 8, 6}};
    for (const auto& c : xs) {
        EXPECT_EQ(view::ColumnAtX(c.x, c.columns).value_or(255), c.column < 0 ? 255 : c.column)
            << c.columns << " columns, x " << c.x;
    }
    // A taller view keeps the rewind strip at the top and the forward strip
    // at the bottom.
    using enum SeekButton;
    const struct {
        int y, height;
        SeekButton button;
    } buttons[] = {
        {-1, 300, kNone},           {0, 300, kBackOne},         {33, 300, kBackOne},
        {34, 300, kNone},           {35, 300, kNone},           {36, 300, kBackTwo},
        {69, 300, kBackTwo},        {70, 300, kNone},           {72, 300, kBackThirty},
        {105, 300, kBackThirty},    {106, 300, kNone},          {193, 300, kNone},
        {194, 300, kForwardThirty}, {227, 300, kForwardThirty}, {230, 300, kForwardTwo},
        {263, 300, kForwardTwo},    {266, 300, kForwardOne},    {299, 300, kForwardOne},
        {300, 300, kNone},          {194, 500, kNone},          {394, 500, kForwardThirty},
        {499, 500, kForwardOne},    {500, 500, kNone}};
    for (const auto& b : buttons) {
        EXPECT_EQ(view::SeekButtonAt(b.y, b.height), b.button) << b.y << " of " << b.height;
    }
    const struct {
        int from, steps, to;
    } zooms[] = {{18, 1, 24},   {18, -1, 12}, {18, 2, 36},     {20, 1, 24}, {20, -1, 18},
                 {144, 1, 144}, {6, -1, 6},   {1000, -1, 144}, {1, 1, 6}};
    for (const auto& z : zooms) {
        EXPECT_EQ(view::ZoomedPixelsPerBeat(z.from, z.steps), z.to) << z.from << " " << z.steps;
    }
}

} // namespace

#include "view/LaneLayout.h"

#include <gtest/gtest.h>
#include <string>

namespace {

chart::Song SongAt(float bpm, float gapSeconds) {
    chart::Song song;
    song.bpm = bpm;
    song.gapSeconds = gapSeconds;
    return song;
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
// from 1 s to 2 s, and everything after it comes 1 s later.
TEST(LaneLayout, TempoChangesAndStopsMoveTheLaneByBeats) {
    chart::Song changed = SongAt(120.0f, 0.0f);
    changed.changes = {{4.0, 240.0}};
    chart::Song stopped = SongAt(120.0f, 0.0f);
    stopped.stops = {{2.0, 1000.0}};
    const struct {
        const chart::Song* song;
        double position;
        std::int32_t beats;
        double fraction;
    } cases[] = {
        {&changed, 1.0, 2, 0.0}, {&changed, 2.0, 4, 0.0},  {&changed, 2.125, 4, 0.5},
        {&changed, 2.5, 6, 0.0}, {&stopped, 0.75, 1, 0.5}, {&stopped, 1.0, 2, 0.0},
        {&stopped, 1.7, 2, 0.0}, {&stopped, 2.25, 2, 0.5}, {&stopped, 3.0, 4, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.position) + " s");
        const chart::BeatPosition position = view::LanePosition(*c.song, c.position);
        EXPECT_EQ(position.beats, c.beats);
        EXPECT_NEAR(position.fraction, c.fraction, 1e-9); // times and tempos are exact in binary
    }
    // Rows lie PixelsPerBeat a beat apart whatever the tempo: at 36 pixels a
    // 16th is 9 pixels, a 192nd rounds down.
    const view::LaneFrame frame = view::FrameAt({6, 0.0}, 36, 300);
    EXPECT_EQ(frame.firstLineY, 16);
    EXPECT_EQ(frame.RowY(6 * 48), 16);
    EXPECT_EQ(frame.RowY(6 * 48 + 12), 25);
    EXPECT_EQ(frame.RowY(6 * 48 + 1), 16);
    EXPECT_EQ(frame.RowY(6 * 48 - 1), 15);
    EXPECT_EQ(frame.RowY(8 * 48), 88);
    EXPECT_EQ(frame.lines, (300 - 16) / 36 + 1);
    // A taller view shows more beats.
    EXPECT_EQ(view::FrameAt({6, 0.0}, 18, 600).lines, 33);
    // Half a beat on, a 16th after the beat stays until it reaches the
    // targets; the off-beat 8th stays until the next beat does.
    EXPECT_EQ(view::FrameAt({6, 0.2}, 18, 300).beginRow, 6 * 48 + 10);
    EXPECT_EQ(view::FrameAt({6, 0.8}, 18, 300).beginRow, 6 * 48 + 24);
}

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
    } cases[] = {
        // 8ths at 18 pixels: StepLane's rows, 11-19 slot 0, 20-28 slot 1.
        {&song, 24, 18, 19, 0.5, 0},
        {&song, 24, 18, 20, 0.5, 1},
        // 16ths at 18 pixels, 4.5 pixels a cell: nearest centre.
        {&song, 12, 18, 16, 0.5, 0},
        {&song, 12, 18, 17, 0.5, 0},
        {&song, 12, 18, 18, 0.5, 1},
        {&song, 12, 18, 34, 0.5, 4},
        // Zoomed to 72 pixels, 4ths: a beat 72 pixels down.
        {&song, 48, 72, 16 + 72, 0.5, 1},
        {&song, 48, 72, 16 + 35, 0.5, 0},
        // Above the targets and before the Gap: never below cell 0.
        {&song, 12, 18, 0, 0.5, 0},
        {&song, 12, 18, 16, 0.0, 0},
        // One beat on, at the half-speed stretch: the lane is spaced by beats.
        {&changed, 12, 18, 16 + 18, 1.0, 8},
        {&changed, 12, 18, 16 + 18, 2.0, 12},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(view::CellAtY(*c.song, c.cellRows, c.pixelsPerBeat, c.y, c.position), c.cell)
            << c.cellRows << " rows, " << c.pixelsPerBeat << " px, y " << c.y << ", " << c.position
            << " s";
    }
}

// 16ths at 120 BPM are 0.125 s apart from the Gap at 0.5 s. Times are exact
// in binary; 1e-9 allows the timing map's sums.
TEST(LaneLayout, SeeksAndWheelStepByCellsThroughTheTiming) {
    using view::SeekButton;
    const chart::Song song = SongAt(120.0f, 0.5f);
    const struct {
        SeekButton button;
        double from;
        double to;
    } seeks[] = {
        {SeekButton::kForwardOne, 1.0, 1.1125},    // to a tenth of a cell before the next
        {SeekButton::kForwardOne, 1.1125, 1.2375}, // from just before one: a whole cell on
        {SeekButton::kForwardTwo, 1.0, 1.2375},    {SeekButton::kBackOne, 1.05, 0.9875},
        {SeekButton::kBackOne, 1.1125, 0.9875}, // within 0.15 before a cell: whole cell back
        {SeekButton::kBackThirty, 1.0, 0.0},       {SeekButton::kForwardThirty, 19.9, 20.0},
    };
    for (const auto& s : seeks) {
        const auto target = view::SeekTargetAt(song, 12, s.button, s.from, 20.0);
        ASSERT_TRUE(target.has_value());
        EXPECT_NEAR(*target, s.to, 1e-9) << static_cast<int>(s.button) << " from " << s.from;
    }
    EXPECT_FALSE(view::SeekTargetAt(song, 12, SeekButton::kNone, 1.0, 20.0));
    // At 8ths the seek is StepLane's, rounding included.
    EXPECT_EQ(view::SeekTargetAt(song, 24, SeekButton::kBackTwo, 1.625, 20.0),
              view::SeekTarget(SeekButton::kBackTwo, 1.625, 20.0, 120.0f, 0.5f));
    // Across a stop of 1 s at beat 1 (reached at 1.0 s): forward from the
    // stop goes on past it; the stop's time is not a cell.
    chart::Song stopped = song;
    stopped.stops = {{1.0, 1000.0}};
    EXPECT_NEAR(*view::SeekTargetAt(stopped, 24, SeekButton::kForwardOne, 1.5, 20.0), 2.225, 1e-9);

    const struct {
        const chart::Song* song;
        int notches;
        double from;
        double to;
    } wheels[] = {
        {&song, 1, 1.0, 1.125},  {&song, -1, 1.0, 0.875},   {&song, 1, 1.05, 1.125},
        {&song, -1, 1.05, 1.0},  {&song, 3, 1.0, 1.375},    {&song, -20, 1.0, 0.0},
        {&song, 200, 1.0, 20.0}, {&stopped, 1, 1.5, 2.125}, {&stopped, -1, 1.5, 0.875},
    };
    for (const auto& w : wheels) {
        const auto target = view::WheelTarget(*w.song, 12, w.notches, w.from, 20.0);
        ASSERT_TRUE(target.has_value());
        EXPECT_NEAR(*target, w.to, 1e-9) << w.notches << " notches from " << w.from;
    }
    EXPECT_FALSE(view::WheelTarget(SongAt(0.0f, 0.5f), 12, 1, 1.0, 20.0));
}

TEST(LaneLayout, ColumnsStripsAndZoomSteps) {
    EXPECT_EQ(view::ViewWidthFor(4), 200);
    EXPECT_EQ(view::SeekStripX(4), view::kSeekStripX);
    EXPECT_EQ(view::BeatLineLastX(4), view::kBeatLineLastX);
    EXPECT_EQ(view::ViewWidthFor(6), 264);
    EXPECT_EQ(view::ViewWidthFor(8), 328);
    for (const int columns : {4, 6, 8}) {
        for (int x = 0; x < view::ViewWidthFor(columns); ++x) {
            const auto column = view::ColumnAtX(x, columns);
            const int expected = x >= 20 && (x - 20) % 32 < 16 ? (x - 20) / 32 : -1;
            EXPECT_EQ(column ? *column : -1, expected < columns ? expected : -1)
                << columns << " columns, x " << x;
        }
    }
    // A taller view keeps the rewind strip at the top and the forward strip
    // at the bottom.
    using view::SeekButton;
    EXPECT_EQ(view::SeekButtonAt(0, 300), SeekButton::kBackOne);
    EXPECT_EQ(view::SeekButtonAt(34, 300), SeekButton::kNone);
    EXPECT_EQ(view::SeekButtonAt(194, 300), SeekButton::kForwardThirty);
    EXPECT_EQ(view::SeekButtonAt(299, 300), SeekButton::kForwardOne);
    EXPECT_EQ(view::SeekButtonAt(194, 500), SeekButton::kNone);
    EXPECT_EQ(view::SeekButtonAt(394, 500), SeekButton::kForwardThirty);
    EXPECT_EQ(view::SeekButtonAt(500, 500), SeekButton::kNone);

    const struct {
        int from, steps, to;
    } zooms[] = {{18, 1, 24},   {18, -1, 12}, {18, 2, 36},     {20, 1, 24}, {20, -1, 18},
                 {144, 1, 144}, {6, -1, 6},   {1000, -1, 144}, {1, 1, 6}};
    for (const auto& z : zooms) {
        EXPECT_EQ(view::ZoomedPixelsPerBeat(z.from, z.steps), z.to) << z.from << " " << z.steps;
    }
}

} // namespace

// The lane arithmetic where the step view's frames and clicks cannot show
// it; CCustomDisplayTest covers the ordinary tempos through the widget.
#include "view/StepLane.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

using view::SeekButton;
using view::SeekTarget;

const float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kBpm = 120.0f;
constexpr float kGap = 0.5f;

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
}

// Where the slot and seek loops would not end, or would run past the
// longest chart, every row is slot 0 and no seek button moves; BPM 0 has
// an infinite half-beat, so back goes to 0 and forward to the end.
TEST(StepLane, RowsAndSeeksStayBoundedWithoutABeatGrid) {
    EXPECT_EQ(view::SlotAtRow(11, 42.0, 0.0f, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(299, 42.0, 0.0f, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(100, 42.0, -120.0f, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(100, 5.0, 1e30f, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(100, 1e9, kBpm, kGap), 0);
    EXPECT_EQ(SeekTarget(SeekButton::kNone, 1.5, 20.0, kBpm, kGap), std::nullopt);
    EXPECT_EQ(SeekTarget(SeekButton::kBackOne, 7.0, 20.0, 0.0f, kGap), 0.0);
    EXPECT_EQ(SeekTarget(SeekButton::kForwardOne, 7.0, 20.0, 0.0f, kGap), 20.0);
    for (float bpm : {-120.0f, 1e30f, kNan}) {
        for (int code = 1; code <= 6; ++code) {
            EXPECT_EQ(SeekTarget(static_cast<SeekButton>(code), 7.0, 20.0, bpm, kGap), std::nullopt)
                << "BPM " << bpm << ", button " << code;
        }
    }
}

} // namespace

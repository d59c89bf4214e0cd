#include "view/StepLane.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <ostream>

namespace {

using view::LaneScroll;
using view::SeekButton;
using view::SeekTarget;

const float kNan = std::numeric_limits<float>::quiet_NaN();

// At 120 BPM a slot is 0.25 s; with a Gap of 0.5 s slot j plays at
// 0.5 + 0.25 j. Seeks land a tenth of a slot, 0.025 s, before a slot time.
// 0.025 is not exact in binary; 1e-12 s allows its rounding and no more.
constexpr float kBpm = 120.0f;
constexpr float kGap = 0.5f;
constexpr double kSeconds = 1e-12;

struct ScrollCase {
    const char* what;
    double positionSeconds;
    float bpm;
    float gapSeconds;
    int firstLineY;
    std::int32_t firstSlot;
};

void PrintTo(const ScrollCase& c, std::ostream* out) {
    *out << c.what;
}

class ScrollAt : public testing::TestWithParam<ScrollCase> {};

TEST_P(ScrollAt, FirstLineAndSlot) {
    const ScrollCase& c = GetParam();
    const LaneScroll scroll = view::ScrollAt(c.positionSeconds, c.bpm, c.gapSeconds);
    EXPECT_EQ(scroll.firstLineY, c.firstLineY) << c.what;
    EXPECT_EQ(scroll.firstSlot, c.firstSlot) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Lane, ScrollAt,
    testing::Values(
        ScrollCase{"on the Gap: slot 0 on the targets", 0.5, kBpm, kGap, 16, 0},
        ScrollCase{"half a beat on: slot 1 on the targets", 0.75, kBpm, kGap, 25, 1},
        ScrollCase{"one beat on: a beat equal to b is not reduced", 1.0, kBpm, kGap, 16, 1},
        // f = 0.25: 16 - 4.5 truncates to 11, below 16, so one line down.
        ScrollCase{"a quarter beat into beat 1", 1.125, kBpm, kGap, 29, 3},
        ScrollCase{"one beat before the Gap", 0.0, kBpm, kGap, 34, 0},
        ScrollCase{"a negative position counts as 0", -3.0, kBpm, kGap, 34, 0},
        ScrollCase{"long before the Gap: lines below the view", 0.0, kBpm, 100.0f, 3616, 0},
        ScrollCase{"BPM 0 stands still at slot 0", 42.0, 0.0f, kGap, 16, 0},
        ScrollCase{"NaN BPM as BPM 0", 42.0, kNan, kGap, 16, 0},
        ScrollCase{"negative BPM where the loop would not end", 42.0, -120.0f, kGap, 16, 0},
        // b = -0.5 and t = -2: the loop ends at once, f = 4.
        ScrollCase{"negative BPM where the loop ends at once", 0.0, -120.0f, 2.0f, -38, 1},
        ScrollCase{"BPM 1e30 past the longest chart", 5.0, 1e30f, kGap, 16, 0},
        ScrollCase{"a billion seconds at 120 BPM", 1e9, kBpm, kGap, 16, 0}));

TEST(SlotAtRow, TheSlotWhoseRowsTheClickHits) {
    // On the Gap slot 0's arrows cover rows 8-23, slot 1's 17-32, slot 2's 26-41.
    EXPECT_EQ(view::SlotAtRow(11, 0.5, kBpm, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(19, 0.5, kBpm, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(20, 0.5, kBpm, kGap), 1);
    EXPECT_EQ(view::SlotAtRow(28, 0.5, kBpm, kGap), 1);
    EXPECT_EQ(view::SlotAtRow(29, 0.5, kBpm, kGap), 2);
    // One beat later everything is two slots on.
    EXPECT_EQ(view::SlotAtRow(19, 1.0, kBpm, kGap), 2);
    EXPECT_EQ(view::SlotAtRow(299, 1.0, kBpm, kGap), 34);
    // A beat before the Gap the lane lies 18 rows lower: slot 0 at 26-41.
    EXPECT_EQ(view::SlotAtRow(30, 0.0, kBpm, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(40, 0.0, kBpm, kGap), 1);
}

TEST(SlotAtRow, SlotZeroWhereTheRuleWouldNotEnd) {
    EXPECT_EQ(view::SlotAtRow(11, 42.0, 0.0f, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(299, 42.0, 0.0f, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(100, 42.0, -120.0f, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(100, 5.0, 1e30f, kGap), 0);
    EXPECT_EQ(view::SlotAtRow(100, 1e9, kBpm, kGap), 0);
}

struct SeekCase {
    const char* from;
    double positionSeconds;
    SeekButton button;
    double expectedSeconds;
};

void PrintTo(const SeekCase& c, std::ostream* out) {
    *out << c.from << " " << c.positionSeconds << " s, button " << static_cast<int>(c.button);
}

class Seek : public testing::TestWithParam<SeekCase> {};

TEST_P(Seek, LandsWhereTheButtonSays) {
    const SeekCase& c = GetParam();
    const auto target = SeekTarget(c.button, c.positionSeconds, 20.0, kBpm, kGap);
    ASSERT_TRUE(target.has_value()) << c.from;
    EXPECT_NEAR(*target, c.expectedSeconds, kSeconds)
        << c.from << ", button " << static_cast<int>(c.button);
}

// Slot 4 plays at 1.5 s. "Before" is 0.1 slot ahead of it (where every seek
// lands), "on" exactly on it, "between" half-way to slot 5.
constexpr double kBefore = 1.475;
constexpr double kOn = 1.5;
constexpr double kBetween = 1.625;

INSTANTIATE_TEST_SUITE_P(
    Buttons, Seek,
    testing::Values(
        // From just before a slot: whole slots, still just before one.
        SeekCase{"before", kBefore, SeekButton::kBackOne, 1.225},
        SeekCase{"before", kBefore, SeekButton::kBackTwo, 0.975},
        SeekCase{"before", kBefore, SeekButton::kBackThirty, 0.0},
        SeekCase{"before", kBefore, SeekButton::kForwardThirty, 8.975},
        SeekCase{"before", kBefore, SeekButton::kForwardTwo, 1.975},
        SeekCase{"before", kBefore, SeekButton::kForwardOne, 1.725},
        // Exactly on a slot: the remainder ends at a full slot, so whole slots.
        SeekCase{"on", kOn, SeekButton::kBackOne, 1.25},
        SeekCase{"on", kOn, SeekButton::kBackTwo, 1.0},
        SeekCase{"on", kOn, SeekButton::kBackThirty, 0.0},
        SeekCase{"on", kOn, SeekButton::kForwardThirty, 9.0},
        SeekCase{"on", kOn, SeekButton::kForwardTwo, 2.0},
        SeekCase{"on", kOn, SeekButton::kForwardOne, 1.75},
        // Between: to just before slot 4 (back) or slot 5 (forward), then on.
        SeekCase{"between", kBetween, SeekButton::kBackOne, 1.475},
        SeekCase{"between", kBetween, SeekButton::kBackTwo, 1.225},
        SeekCase{"between", kBetween, SeekButton::kBackThirty, 0.0},
        SeekCase{"between", kBetween, SeekButton::kForwardThirty, 8.975},
        SeekCase{"between", kBetween, SeekButton::kForwardTwo, 1.975},
        SeekCase{"between", kBetween, SeekButton::kForwardOne, 1.725},
        // Thirty back without reaching 0: between slots 38 and 39 to just
        // before slot 9.
        SeekCase{"between, later", 10.125, SeekButton::kBackThirty, 2.725},
        // Clamped to the duration of 20 s.
        SeekCase{"on, near the end", 19.0, SeekButton::kForwardThirty, 20.0},
        SeekCase{"before, near the end", 19.99, SeekButton::kForwardOne, 20.0},
        // Before the Gap the remainder is negative: back leads into slot 0.
        SeekCase{"before the Gap", 0.1, SeekButton::kBackOne, 0.475}));

TEST(SeekTarget, NoButtonNoSeek) {
    EXPECT_EQ(SeekTarget(SeekButton::kNone, kOn, 20.0, kBpm, kGap), std::nullopt);
}

TEST(SeekTarget, BoundedWithoutABeatGrid) {
    // BPM 0: the half-beat is infinite, so back goes to 0 and forward to the end.
    EXPECT_EQ(SeekTarget(SeekButton::kBackOne, 7.0, 20.0, 0.0f, kGap), 0.0);
    EXPECT_EQ(SeekTarget(SeekButton::kForwardOne, 7.0, 20.0, 0.0f, kGap), 20.0);
    // Where the remainder loop would not end, or gives NaN, nothing moves.
    for (float bpm : {-120.0f, 1e30f, kNan}) {
        for (int code = 1; code <= 6; ++code) {
            EXPECT_EQ(SeekTarget(static_cast<SeekButton>(code), 7.0, 20.0, bpm, kGap), std::nullopt)
                << "BPM " << bpm << ", button " << code;
        }
    }
}

} // namespace

#include "chart/StepChart.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using chart::CombineStep;

// Worked from the keypad layout (8 up, 2 down, 4 left, 6 right), one row per
// code; columns: toggle Down, Left, Right, Up, then add Down, Left, Right, Up.
// A third arrow is refused, so e.g. "1" (down-left) + Up stays "1".
struct CombineRow {
    char existing;
    const char* results;
};
constexpr CombineRow kCombineTable[] = {
    {'0', "24682468"}, {'1', "42111111"}, {'2', "013A213A"}, {'3', "63233333"},
    {'4', "10B714B7"}, {'6', "3B093B69"}, {'7', "78747777"}, {'8', "A790A798"},
    {'9', "99869999"}, {'A', "8AA2AAAA"}, {'B', "B64BBBBB"},
};
constexpr char kArrowCodes[] = {'2', '4', '6', '8'};

TEST(CombineStep, MatchesTheTableForEveryCodeArrowAndMode) {
    for (const auto& row : kCombineTable) {
        for (int column = 0; column < 8; ++column) {
            const bool toggle = column < 4;
            const char arrow = kArrowCodes[column % 4];
            EXPECT_EQ(CombineStep(row.existing, arrow, toggle), row.results[column])
                << "existing " << row.existing << " arrow " << arrow
                << (toggle ? " toggle" : " add");
        }
        EXPECT_TRUE(chart::IsStepCode(row.existing));
        EXPECT_EQ(chart::CodeOfArrows(chart::ArrowsOfCode(row.existing)), row.existing);
    }
    EXPECT_EQ(chart::ArrowsOfCode('0'), 0);
    EXPECT_EQ(chart::CodeOfArrows(chart::kArrowUp | chart::kArrowDown | chart::kArrowLeft), '\0');
    EXPECT_EQ(chart::CodeOfArrow(chart::kArrowRight), '6');
}

// Bytes that are no code stay as they are, and an argument that is not one
// arrow ("1", "A", "0", a non-code) changes nothing.
TEST(CombineStep, NonCodesAndArgumentsThatAreNotOneArrowChangeNothing) {
    for (char existing : std::string("5abcz#\x01\xff \0", 11)) {
        for (char arrow : kArrowCodes) {
            EXPECT_EQ(CombineStep(existing, arrow, true), existing);
            EXPECT_EQ(CombineStep(existing, arrow, false), existing);
        }
        EXPECT_EQ(chart::ArrowsOfCode(existing), 0) << existing;
        EXPECT_FALSE(chart::IsStepCode(existing));
    }
    for (char arrow : std::string("1A0x")) {
        EXPECT_EQ(CombineStep('2', arrow, true), '2') << arrow;
        EXPECT_EQ(CombineStep('0', arrow, false), '0') << arrow;
    }
}

TEST(StepChart, GrowsWithZerosOnlyForSlotsItMayHold) {
    struct Case {
        std::int32_t slot;
        bool accepted;
        const char* after;
    };
    for (const Case& c : {Case{10, true, "40000000008"}, Case{0, true, "8"}, Case{1, true, "48"},
                          Case{-1, false, "4"}, Case{chart::kMaxChartSlots, false, "4"},
                          Case{INT32_MAX, false, "4"}}) {
        SCOPED_TRACE(c.slot);
        chart::StepChart steps = "4";
        EXPECT_EQ(chart::SetStep(steps, c.slot, '8'), c.accepted);
        EXPECT_EQ(steps, c.after);
    }
    chart::StepChart steps = "48";
    EXPECT_TRUE(chart::EnsureChartLength(steps, 0)); // never shrinks
    EXPECT_EQ(steps, "48");
    EXPECT_EQ(chart::StepAt(steps, 0), '4');
    EXPECT_EQ(chart::StepAt(steps, 1), '8');
    EXPECT_EQ(chart::StepAt(steps, 2), '0');
    EXPECT_EQ(chart::StepAt(steps, -1), '0');
}

} // namespace

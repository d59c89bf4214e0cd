#include "chart/StepChart.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using chart::CombineStep;

// Worked from the keypad layout (8 up, 2 down, 4 left, 6 right), one row per
// code; columns: toggle Down, Left, Right, Up, then add Down, Left, Right, Up.
// A third arrow is refused, so e.g. "1" (down-left) + Up stays "1".
constexpr std::pair<char, const char*> kCombineTable[] = {
    {'0', "24682468"}, {'1', "42111111"}, {'2', "013A213A"}, {'3', "63233333"},
    {'4', "10B714B7"}, {'6', "3B093B69"}, {'7', "78747777"}, {'8', "A790A798"},
    {'9', "99869999"}, {'A', "8AA2AAAA"}, {'B', "B64BBBBB"},
};

// Bytes that are no code stay as they are, and an argument that is not one
// arrow ("1", "A", "0", a non-code) changes nothing.
TEST(CombineStep, MatchesTheTableForEveryCodeArrowAndMode) {
    for (const auto& [existing, results] : kCombineTable) {
        for (int column = 0; column < 8; ++column) {
            EXPECT_EQ(CombineStep(existing, "2468"[column % 4], column < 4), results[column])
                << "existing " << existing << ", column " << column;
        }
        EXPECT_TRUE(chart::IsStepCode(existing));
    }
    for (char other : std::string("5abz#\x01\xff \0", 9)) {
        EXPECT_EQ(CombineStep(other, '8', false), other);
        EXPECT_FALSE(chart::IsStepCode(other)) << int(other);
        EXPECT_EQ(CombineStep(other == '5' ? '0' : '2', other == '5' ? '1' : other, true),
                  other == '5' ? '0' : '2');
    }
}

TEST(StepChart, GrowsWithZerosOnlyForSlotsItMayHold) {
    constexpr std::int32_t kMax = chart::kMaxChartSlots;
    const std::tuple<std::int32_t, bool, const char*> kCases[] = {
        {10, true, "40000000008"}, {0, true, "8"},     {1, true, "48"},
        {-1, false, "4"},          {kMax, false, "4"}, {INT32_MAX, false, "4"}};
    for (const auto& [slot, accepted, after] : kCases) {
        chart::StepChart steps = "4";
        EXPECT_EQ(chart::SetStep(steps, slot, '8'), accepted) << slot;
        EXPECT_EQ(steps, after) << slot;
    }
    chart::StepChart steps = "48";
    EXPECT_TRUE(chart::EnsureChartLength(steps, 0)); // never shrinks
    const auto at = [&steps](std::int32_t slot) { return chart::StepAt(steps, slot); };
    EXPECT_EQ((std::string{at(0), at(1), at(2), at(-1)}), "4800");
}

} // namespace

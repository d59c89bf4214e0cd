#include "chart/StepChart.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using chart::CombineStep;

// Expected results, one row per existing code; columns: toggle Down, Left,
// Right, Up, then add Down, Left, Right, Up.
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
    }
}

TEST(CombineStep, ToggleTwiceRestoresAndThirdArrowIsRefused) {
    EXPECT_EQ(CombineStep('2', '2', true), '0');
    EXPECT_EQ(CombineStep(CombineStep('2', '2', true), '2', true), '2');
    EXPECT_EQ(CombineStep('1', '8', true), '1');
    EXPECT_EQ(CombineStep('1', '8', false), '1');
}

TEST(CombineStep, NonCodesAreReturnedUnchangedInBothModes) {
    for (char existing : std::string("5abcz#\x01\xff ")) {
        for (char arrow : kArrowCodes) {
            EXPECT_EQ(CombineStep(existing, arrow, true), existing);
            EXPECT_EQ(CombineStep(existing, arrow, false), existing);
        }
        EXPECT_EQ(chart::ArrowsOfCode(existing), 0) << existing;
        EXPECT_FALSE(chart::IsStepCode(existing));
    }
}

TEST(CombineStep, ArgumentThatIsNotASingleArrowChangesNothing) {
    EXPECT_EQ(CombineStep('0', '1', true), '0');
    EXPECT_EQ(CombineStep('2', 'A', false), '2');
    EXPECT_EQ(CombineStep('4', '0', true), '4');
}

TEST(ArrowsOfCode, EveryCodeHasItsArrowsAndRoundTrips) {
    using namespace chart;
    EXPECT_EQ(ArrowsOfCode('1'), kArrowDown | kArrowLeft);
    EXPECT_EQ(ArrowsOfCode('9'), kArrowUp | kArrowRight);
    EXPECT_EQ(ArrowsOfCode('A'), kArrowUp | kArrowDown);
    EXPECT_EQ(ArrowsOfCode('B'), kArrowLeft | kArrowRight);
    EXPECT_EQ(ArrowsOfCode('0'), 0);
    for (char code : std::string("012346789AB")) {
        EXPECT_EQ(CodeOfArrows(ArrowsOfCode(code)), code);
    }
    EXPECT_EQ(CodeOfArrows(kArrowUp | kArrowDown | kArrowLeft), '\0');
}

TEST(EnsureChartLength, GrowsWithZerosAndNeverShrinks) {
    chart::StepChart steps;
    ASSERT_TRUE(chart::SetStep(steps, 10, '8'));
    EXPECT_EQ(steps, "00000000008");

    EXPECT_TRUE(chart::EnsureChartLength(steps, 3));
    EXPECT_EQ(steps.size(), 11u);

    EXPECT_FALSE(chart::EnsureChartLength(steps, -1));
    EXPECT_FALSE(chart::SetStep(steps, -5, '2'));
    EXPECT_EQ(steps, "00000000008");
}

TEST(EnsureChartLength, RefusesSlotsBeyondTheBound) {
    chart::StepChart steps = "4";
    EXPECT_FALSE(chart::EnsureChartLength(steps, chart::kMaxChartSlots));
    EXPECT_FALSE(chart::SetStep(steps, INT32_MAX, '2'));
    EXPECT_EQ(steps, "4");
    EXPECT_EQ(chart::StepAt(steps, 7), '0');
    EXPECT_EQ(chart::StepAt(steps, -1), '0');
}

} // namespace

#include "chart/RangeActions.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace {

using enum chart::RangeAction;
using enum chart::RangeActionOutcome;

constexpr std::int32_t kTooFar = chart::kMaxChartSlots;
constexpr const char* kAskErase =
    "Confirm Erase: Are you sure you want to erase the selected range of beats?";
constexpr const char* kAskRandomize =
    "Confirm Randomize: Are you sure you want to randomize the selected range of beats?";

// The chart and range before and after, the answer to the question and the
// question asked ("caption: text"), the outcome.
struct ActionCase {
    std::optional<chart::RangeAction> action;
    const char *steps, *stepsAfter;
    chart::EditRange range, rangeAfter;
    bool answer;
    const char* asked;
    chart::RangeActionOutcome outcome;
};

// Worked by hand: a shift inserts an empty slot where the range starts (or
// just after it) and drops the slot it moves over; past the chart's end
// nothing is dropped, so the chart grows. Randomize (Jump Probability 45,
// Max String/Jumps 1) from a fresh generator, whose runtime sequence starts
// 41, 18467, 6334, 26500, 19169, 15724, 11478:
//  "1010100001": slot 0 has an empty slot after it, so any row: 41 % 13 = 2
//  -> "2". Slot 2 is isolated: r = 18467 * 100 / 32767 = 56 > 100 - 45, any
//  row that may follow row 2: 6334 % 13 = 3 -> "6". Slot 4: r = 80, 19169 %
//  13 = 7 -> "1" (a jump). Slot 9: the slot past the chart's end counts as
//  occupied, so a single: 15724 % 6 = 4 may not follow row 7, 11478 % 6 = 0
//  -> "4".
//  "80808" from slot 1, which is empty: slot 2 takes 41 % 13 = 2 -> "2";
//  slot 4 (before the end): a single, 18467 % 6 = 5 may not follow row 2,
//  6334 % 6 = 4 -> "8". A lone "8": 41 % 6 = 5 -> "2".
constexpr ActionCase kActionCases[] = {
    {kShiftLater, "4826", "4826", {1, 0}, {1, 0}, true, "", kInvalidRange},
    {kRandomize, "4826", "4826", {-1, 2}, {-1, 2}, true, "", kInvalidRange},
    {std::nullopt, "4826", "4826", {0, 3}, {0, 3}, true, "", kNoAction},
    {kShiftLater, "48260", "40820", {1, 2}, {2, 3}, true, "", kChartChanged},
    {kShiftLater, "48", "408", {1, 1}, {2, 2}, true, "", kChartChanged},
    {kShiftLater, "48", "480", {5, 6}, {6, 7}, true, "", kChartChanged},
    {kShiftLater, "48", "048", {0, kTooFar - 1}, {1, kTooFar}, true, "", kChartChanged},
    {kShiftLater, "48", "48", {0, kTooFar}, {0, kTooFar}, true, "", kNoAction},
    {kShiftEarlier, "48260", "82060", {1, 2}, {0, 1}, true, "", kChartChanged},
    {kShiftEarlier, "4826", "4260", {2, 9}, {1, 8}, true, "", kChartChanged},
    {kShiftEarlier, "82060", "82060", {0, 1}, {0, 1}, true, "", kNoAction},
    {kShiftEarlier, "48", "48", {1, kTooFar}, {1, kTooFar}, true, "", kNoAction},
    {kClear, "48269", "48069", {2, 2}, {2, 2}, true, kAskErase, kChartChanged},
    {kClear, "48269", "48200", {3, 100}, {3, 100}, true, kAskErase, kChartChanged},
    {kClear, "4826", "4826", {0, 3}, {0, 3}, false, kAskErase, kDeclined},
    {kRandomize, "4826", "4826", {0, 3}, {0, 3}, false, kAskRandomize, kDeclined},
    {kRandomize, "1010100001", "2060100004", {0, 9}, {0, 9}, true, kAskRandomize, kChartChanged},
    {kRandomize, "80808", "80208", {1, 9}, {1, 9}, true, kAskRandomize, kChartChanged},
    {kRandomize, "8", "2", {0, 0}, {0, 0}, true, kAskRandomize, kChartChanged},
    // Nothing to change: no steps in the range, a range from past the chart, no chart.
    {kRandomize, "0000", "0000", {0, 3}, {0, 3}, true, kAskRandomize, kChartChanged},
    {kRandomize, "8", "8", {1, 9}, {1, 9}, true, kAskRandomize, kChartChanged},
    {kRandomize, "", "", {0, 10}, {0, 10}, true, kAskRandomize, kChartChanged},
};

TEST(DoRangeAction, OutcomeStepsRangeAndQuestionOfEachAction) {
    for (const ActionCase& c : kActionCases) {
        chart::StepChart steps = c.steps;
        chart::EditRange range = c.range;
        std::string asked;
        chart::StepRandom random;
        const auto outcome = chart::DoRangeAction(
            steps, range, {c.action, {45, 1}},
            [&](std::string_view text, std::string_view caption) {
                asked += std::string(caption) + ": " + std::string(text);
                return c.answer;
            },
            random);
        EXPECT_EQ(
            std::tuple(outcome, steps, range.start, range.end, asked),
            std::tuple(c.outcome, c.stepsAfter, c.rangeAfter.start, c.rangeAfter.end, c.asked))
            << c.steps << " from " << c.range.start;
    }
}

// The succession table: which steps may follow each row, as the arrows they
// write. Rows 0-5 are single arrows, 6-12 jumps; "8", "2" and "A" appear
// twice so that a row can steer the next arrow: after an "8" of row 1 no
// Left may come, after one of row 4 no Right.
constexpr std::pair<char, const char*> kSuccession[] = {
    {'4', "12346789AB"}, {'8', "1236789AB"},  {'2', "1236789AB"},  {'6', "12346789AB"},
    {'8', "1234789AB"},  {'2', "1234789AB"},  {'7', "12346789AB"}, {'1', "12346789AB"},
    {'B', "134679B"},    {'9', "12346789AB"}, {'A', "12346789AB"}, {'3', "12346789AB"},
    {'A', "12346789AB"}};

// Two isolated steps at Jump Probability 100: the first takes row Next() % 13
// (the slot after it is empty), the second any row the table lets follow.
// Over 2000 draws every allowed follower of every row turns up.
TEST(RandomizeRange, EveryRowIsFollowedByExactlyTheStepsItsTableRowAllows) {
    chart::StepRandom random;
    std::vector<std::set<char>> seen(std::size(kSuccession));
    for (int trial = 0; trial < 2000; ++trial) {
        chart::StepRandom peek = random;
        const auto row = static_cast<std::size_t>(peek.Next() % 13);
        chart::StepChart steps = "10100";
        chart::RandomizeRange(steps, {0, 2}, {100, 100}, random);
        ASSERT_EQ(steps[0], kSuccession[row].first) << "row " << row;
        seen[row].insert(steps[2]);
    }
    for (std::size_t row = 0; row < std::size(kSuccession); ++row) {
        EXPECT_EQ(std::string(seen[row].begin(), seen[row].end()), kSuccession[row].second)
            << "row " << row;
    }
}

// A randomized chart's steps: "j" for a jump, "s" for a single arrow, "."
// for an empty slot.
std::string Shape(const char* steps, int jumpPercent, int maxJumps, chart::StepRandom& random) {
    chart::StepChart chart = steps;
    chart::RandomizeRange(chart, {0, 39}, {jumpPercent, maxJumps}, random);
    std::string shape;
    for (std::size_t i = 0; i < chart.size(); ++i) {
        const bool jump = std::string_view("1379AB").find(chart[i]) != std::string_view::npos;
        shape += chart[i] == '0' ? '.' : jump ? 'j' : 's';
    }
    return shape;
}

// 40 runs x 19 isolated steps after the first, which looks only at the
// slot after it. At 1 % a jump needs the one draw in 32768 that gives r =
// 100; at 100 % about half the table's rows are jumps. With the limit at 2,
// two jumps may follow each other (the first step's jump counts), three
// never. Steps next to others (the slot past the chart counts as one) are
// single arrows only.
TEST(RandomizeRange, JumpProbabilityMaxJumpsAndNeighboursShapeTheSteps) {
    constexpr const char* kIsolated = "1010101010101010101010101010101010101010";
    chart::StepRandom random;
    std::string rare, often, limited, streams;
    int twoJumpsFirst = 0;
    for (int run = 0; run < 40; ++run) {
        rare += Shape(kIsolated, 1, 100, random).substr(1);
        often += Shape(kIsolated, 100, 100, random).substr(1);
        const std::string shape = Shape(kIsolated, 100, 2, random);
        twoJumpsFirst += shape.rfind("j.j", 0) == 0;
        limited += shape + ".s";
        streams += Shape("8808808808808808808808808808808808808808", 100, 100, random);
    }
    EXPECT_EQ(std::count(rare.begin(), rare.end(), '.'), 40 * 20);
    EXPECT_LE(std::count(rare.begin(), rare.end(), 'j'), 2);
    EXPECT_GT(std::count(often.begin(), often.end(), 'j'), 200);
    EXPECT_GT(twoJumpsFirst, 0);
    EXPECT_EQ(limited.find("j.j.j"), std::string::npos);
    EXPECT_EQ(std::count(streams.begin(), streams.end(), 's'), 40 * 27);
    EXPECT_EQ(std::count(streams.begin(), streams.end(), '.'), 40 * 13);
}

} // namespace

#include "chart/RangeActions.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

using chart::EditRange;
using chart::RangeAction;
using chart::RangeActionOutcome;

TEST(StepRandom, FollowsTheClassicRuntimeSequence) {
    chart::StepRandom random;
    for (int value : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}) {
        EXPECT_EQ(random.Next(), value);
    }
}

constexpr std::int32_t kTooFar = chart::kMaxChartSlots;
constexpr auto kLater = RangeAction::kShiftLater;
constexpr auto kEarlier = RangeAction::kShiftEarlier;
constexpr auto kInvalid = RangeActionOutcome::kInvalidRange;
constexpr auto kNothing = RangeActionOutcome::kNoAction;
constexpr auto kDeclined = RangeActionOutcome::kDeclined;
constexpr auto kDone = RangeActionOutcome::kChartChanged;
constexpr const char* kErase =
    "Confirm Erase: Are you sure you want to erase the selected range of beats?";
constexpr const char* kRandomize =
    "Confirm Randomize: Are you sure you want to randomize the selected range of beats?";

struct ActionCase {
    std::optional<RangeAction> action;
    const char* steps;
    EditRange range;
    bool answer;
    RangeActionOutcome outcome;
    const char* stepsAfter;
    EditRange rangeAfter;
    const char* asked; // "caption: text", or empty
};

// Worked by hand: a shift inserts an empty slot where the range starts (or
// just after it) and drops the slot it moves over; past the chart's end
// nothing is dropped, so the chart grows.
constexpr ActionCase kActionCases[] = {
    {kLater, "4826", {1, 0}, true, kInvalid, "4826", {1, 0}, ""},
    {kEarlier, "4826", {1, 0}, true, kInvalid, "4826", {1, 0}, ""},
    {RangeAction::kClear, "4826", {1, 0}, true, kInvalid, "4826", {1, 0}, ""},
    {RangeAction::kRandomize, "4826", {-1, 2}, true, kInvalid, "4826", {-1, 2}, ""},
    {std::nullopt, "4826", {0, 3}, true, kNothing, "4826", {0, 3}, ""},
    {kLater, "48260", {1, 2}, true, kDone, "40820", {2, 3}, ""},
    {kLater, "48", {1, 1}, true, kDone, "408", {2, 2}, ""},
    {kLater, "48", {5, 6}, true, kDone, "480", {6, 7}, ""},
    {kLater, "48", {0, kTooFar - 1}, true, kDone, "048", {1, kTooFar}, ""},
    {kLater, "48", {0, kTooFar}, true, kNothing, "48", {0, kTooFar}, ""},
    {kEarlier, "48260", {1, 2}, true, kDone, "82060", {0, 1}, ""},
    {kEarlier, "4826", {2, 9}, true, kDone, "4260", {1, 8}, ""},
    {kEarlier, "82060", {0, 1}, true, kNothing, "82060", {0, 1}, ""},
    {kEarlier, "48", {1, kTooFar}, true, kNothing, "48", {1, kTooFar}, ""},
    {RangeAction::kClear, "48269", {2, 2}, true, kDone, "48069", {2, 2}, kErase},
    {RangeAction::kClear, "48269", {3, 100}, true, kDone, "48200", {3, 100}, kErase},
    {RangeAction::kClear, "4826", {0, 3}, false, kDeclined, "4826", {0, 3}, kErase},
    {RangeAction::kRandomize, "4826", {0, 3}, false, kDeclined, "4826", {0, 3}, kRandomize},
};

TEST(DoRangeAction, OutcomeStepsRangeAndQuestionOfEachAction) {
    for (const ActionCase& c : kActionCases) {
        SCOPED_TRACE(testing::Message() << c.steps << " [" << c.range.start << ", " << c.range.end
                                        << "] action " << (c.action ? int(*c.action) : -1));
        chart::StepChart steps = c.steps;
        EditRange range = c.range;
        std::string asked;
        const chart::AskYesNo ask = [&](std::string_view text, std::string_view caption) {
            asked += std::string(caption) + ": " + std::string(text);
            return c.answer;
        };
        chart::StepRandom random;
        chart::RangeActionRequest request;
        request.action = c.action;
        EXPECT_EQ(chart::DoRangeAction(steps, range, request, ask, random), c.outcome);
        EXPECT_EQ(steps, c.stepsAfter);
        EXPECT_EQ(range.start, c.rangeAfter.start);
        EXPECT_EQ(range.end, c.rangeAfter.end);
        EXPECT_EQ(asked, c.asked);
    }
}

// Derived by hand from the rules with the runtime sequence 41, 18467, 6334,
// 26500, 19169, 15724, 11478 and Jump Probability 50:
//  slot 0: slot 1 empty, so any row: 41 % 13 = 2 -> row 2 "2".
//  slot 2: isolated; r = 18467*100/32767 = 56 > 50, any row: 6334 % 13 = 3
//          -> row 3 "6", allowed after row 2.
//  slot 4: isolated; r = 80 > 50, any row: 19169 % 13 = 7 -> row 7 "1" (jump).
//  slot 9: the slot after the chart's end counts as occupied, so a single:
//          15724 % 6 = 4 (row 4 may not follow row 7), 11478 % 6 = 0 -> "4".
TEST(RandomizeRange, GoldenChartFromAFreshGenerator) {
    chart::StepRandom random;
    chart::StepChart steps = "1010100001";
    chart::RandomizeRange(steps, {0, 9}, {50, 1}, random);
    EXPECT_EQ(steps, "2060100004");
}

// The succession table: which steps may follow each row, as the arrows they
// write. Rows 0-5 are single arrows, 6-12 jumps; "8", "2" and "A" appear
// twice so that a row can steer the next arrow: after an "8" of row 1 no
// Left may come, after one of row 4 no Right.
struct Succession {
    char step;
    const char* followers;
};
constexpr Succession kSuccession[] = {
    {'4', "12346789AB"}, {'8', "1236789AB"},  {'2', "1236789AB"},  {'6', "12346789AB"},
    {'8', "1234789AB"},  {'2', "1234789AB"},  {'7', "12346789AB"}, {'1', "12346789AB"},
    {'B', "134679B"},    {'9', "12346789AB"}, {'A', "12346789AB"}, {'3', "12346789AB"},
    {'A', "12346789AB"},
};

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
        ASSERT_EQ(steps[0], kSuccession[row].step) << "row " << row;
        seen[row].insert(steps[2]);
    }
    for (std::size_t row = 0; row < std::size(kSuccession); ++row) {
        EXPECT_EQ(std::string(seen[row].begin(), seen[row].end()), kSuccession[row].followers)
            << "row " << row;
    }
}

TEST(RandomizeRange, KeepsRhythmAndStaysInsideRangeAndChart) {
    chart::StepRandom random;
    const std::string original = "8080808080808080";
    chart::StepChart steps = original;
    chart::RandomizeRange(steps, {4, 40}, {100, 100}, random);
    ASSERT_EQ(steps.size(), original.size());
    EXPECT_EQ(steps.substr(0, 4), "8080");
    for (std::size_t i = 4; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i] == '0', original[i] == '0') << i;
    }
    // Nothing to change: no steps in the range, a range from past the chart, no chart.
    for (const auto& [before, range] :
         {std::pair{"0000", EditRange{0, 3}}, {"8", EditRange{1, 9}}, {"", EditRange{0, 10}}}) {
        steps = before;
        chart::RandomizeRange(steps, range, {100, 100}, random);
        EXPECT_EQ(steps, before);
    }
}

bool IsJump(char step) {
    return std::string("1379AB").find(step) != std::string::npos;
}

// The steps after the first of a randomized chart: "j" for a jump, "s" for
// a single arrow, "." for an empty slot.
std::string Shape(const char* steps, int jumpPercent, int maxJumps, chart::StepRandom& random) {
    chart::StepChart chart = steps;
    chart::RandomizeRange(chart, {0, 39}, {jumpPercent, maxJumps}, random);
    std::string shape;
    for (std::size_t i = 1; i < chart.size(); ++i) {
        shape += chart[i] == '0' ? '.' : IsJump(chart[i]) ? 'j' : 's';
    }
    return shape;
}

constexpr const char* kIsolated = "1010101010101010101010101010101010101010";

// 40 runs x 19 isolated steps. At 1 % a jump needs the one draw in 32768
// that gives r = 100; at 100 % about half the table's rows are jumps. With
// the limit at 2, two jumps may follow each other, three never. Steps next
// to others (the slot past the chart counts as one) are single arrows only.
TEST(RandomizeRange, JumpProbabilityMaxJumpsAndNeighboursShapeTheSteps) {
    chart::StepRandom random;
    std::string rare, often, limited, streams;
    for (int run = 0; run < 40; ++run) {
        rare += Shape(kIsolated, 1, 100, random);
        often += Shape(kIsolated, 100, 100, random);
        limited += Shape(kIsolated, 100, 2, random) + ".s";
        streams += Shape("8888888888888888888888888888888888888888", 100, 100, random);
    }
    EXPECT_LE(std::count(rare.begin(), rare.end(), 'j'), 2);
    EXPECT_GT(std::count(often.begin(), often.end(), 'j'), 200);
    EXPECT_NE(limited.find("j.j"), std::string::npos);
    EXPECT_EQ(limited.find("j.j.j"), std::string::npos);
    EXPECT_EQ(streams, std::string(40 * 39, 's'));
}

} // namespace

#include "chart/RangeActions.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using chart::DoRangeAction;
using chart::EditRange;
using chart::RangeAction;
using chart::RangeActionOutcome;
using chart::RangeActionRequest;

struct Questions {
    bool answer = true;
    std::vector<std::string> asked;

    chart::AskYesNo Callback() {
        return [this](std::string_view text, std::string_view caption) {
            asked.push_back(std::string(caption) + ": " + std::string(text));
            return answer;
        };
    }
};

RangeActionRequest Request(RangeAction action, int jumpPercent = 1, int maxJumps = 1) {
    RangeActionRequest request;
    request.action = action;
    request.randomize.jumpProbabilityPercent = jumpPercent;
    request.randomize.maxJumpsInARow = maxJumps;
    return request;
}

TEST(StepRandom, FollowsTheClassicRuntimeSequence) {
    chart::StepRandom random;
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) {
        EXPECT_EQ(random.Next(), value);
    }
}

TEST(RangeActions, StartUpRangeIsInvalidForEveryAction) {
    Questions questions;
    chart::StepRandom random;
    for (auto action : {RangeAction::kShiftLater, RangeAction::kShiftEarlier, RangeAction::kClear,
                        RangeAction::kRandomize}) {
        chart::StepChart steps = "4826";
        EditRange range;
        EXPECT_EQ(DoRangeAction(steps, range, Request(action), questions.Callback(), random),
                  RangeActionOutcome::kInvalidRange);
        EXPECT_EQ(steps, "4826");
        EXPECT_EQ(range.start, 1);
        EXPECT_EQ(range.end, 0);
    }
    EXPECT_TRUE(questions.asked.empty());
}

TEST(RangeActions, ShiftsMoveStepsAndRange) {
    Questions questions;
    chart::StepRandom random;
    chart::StepChart steps = "48260";
    EditRange range{1, 2};
    EXPECT_EQ(DoRangeAction(steps, range, Request(RangeAction::kShiftLater), questions.Callback(),
                            random),
              RangeActionOutcome::kChartChanged);
    EXPECT_EQ(steps, "40820");
    EXPECT_EQ(range.start, 2);
    EXPECT_EQ(range.end, 3);

    steps = "48260";
    range = {1, 2};
    DoRangeAction(steps, range, Request(RangeAction::kShiftEarlier), questions.Callback(), random);
    EXPECT_EQ(steps, "82060");
    EXPECT_EQ(range.start, 0);
    EXPECT_EQ(range.end, 1);

    // At slot 0 there is nowhere to go.
    EXPECT_EQ(DoRangeAction(steps, range, Request(RangeAction::kShiftEarlier), questions.Callback(),
                            random),
              RangeActionOutcome::kNoAction);
    EXPECT_EQ(steps, "82060");
    EXPECT_TRUE(questions.asked.empty());
}

TEST(RangeActions, ShiftsAtTheChartsEndGrowItByOneSlot) {
    chart::StepChart steps = "48";
    EditRange range{1, 1};
    chart::ShiftRangeLater(steps, range);
    EXPECT_EQ(steps, "408");

    steps = "48";
    range = {5, 6};
    chart::ShiftRangeLater(steps, range);
    EXPECT_EQ(steps, "480");
    EXPECT_EQ(range.start, 6);

    steps = "4826";
    range = {2, 9};
    EXPECT_TRUE(chart::ShiftRangeEarlier(steps, range));
    EXPECT_EQ(steps, "4260");
}

TEST(RangeActions, ClearAsksAndEmptiesOnlyExistingSlotsOfTheRange) {
    Questions questions;
    chart::StepRandom random;
    chart::StepChart steps = "48269";
    EditRange range{2, 2};
    EXPECT_EQ(
        DoRangeAction(steps, range, Request(RangeAction::kClear), questions.Callback(), random),
        RangeActionOutcome::kChartChanged);
    EXPECT_EQ(steps, "48069");
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0],
              "Confirm Erase: Are you sure you want to erase the selected range of beats?");

    range = {3, 100};
    DoRangeAction(steps, range, Request(RangeAction::kClear), questions.Callback(), random);
    EXPECT_EQ(steps, "48000");

    questions.answer = false;
    steps = "4826";
    range = {0, 3};
    EXPECT_EQ(
        DoRangeAction(steps, range, Request(RangeAction::kClear), questions.Callback(), random),
        RangeActionOutcome::kDeclined);
    EXPECT_EQ(steps, "4826");
}

TEST(RangeActions, NoSelectionDoesNothing) {
    Questions questions;
    chart::StepRandom random;
    chart::StepChart steps = "4826";
    EditRange range{0, 3};
    EXPECT_EQ(DoRangeAction(steps, range, RangeActionRequest{}, questions.Callback(), random),
              RangeActionOutcome::kNoAction);
    EXPECT_EQ(steps, "4826");
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
    Questions questions;
    chart::StepRandom random;
    chart::StepChart steps = "1010100001";
    EditRange range{0, 9};
    EXPECT_EQ(DoRangeAction(steps, range, Request(RangeAction::kRandomize, 50),
                            questions.Callback(), random),
              RangeActionOutcome::kChartChanged);
    EXPECT_EQ(steps, "2060100004");
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0], "Confirm Randomize: Are you sure you want to randomize the "
                                  "selected range of beats?");
}

TEST(RandomizeRange, KeepsRhythmAndStaysInsideRangeAndChart) {
    chart::StepRandom random;
    chart::StepChart steps = "0000";
    chart::RandomizeRange(steps, {0, 3}, {100, 100}, random);
    EXPECT_EQ(steps, "0000");

    const std::string original = "8080808080808080";
    steps = original;
    chart::RandomizeRange(steps, {4, 40}, {100, 100}, random);
    ASSERT_EQ(steps.size(), original.size());
    EXPECT_EQ(steps.substr(0, 4), original.substr(0, 4));
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i] == '0', original[i] == '0') << i;
    }

    chart::StepChart empty;
    chart::RandomizeRange(empty, {0, 10}, {100, 100}, random);
    EXPECT_TRUE(empty.empty());
}

TEST(RandomizeRange, StreamsOfConsecutiveStepsGetSingleArrowsOnly) {
    chart::StepRandom random;
    for (int run = 0; run < 50; ++run) {
        // The slot before the first step is occupied too, so the first step
        // (which looks only at the slot after it) is a single as well.
        chart::StepChart steps(40, '8');
        chart::RandomizeRange(steps, {1, 38}, {100, 100}, random);
        for (std::size_t i = 2; i <= 38; ++i) {
            EXPECT_NE(std::string("4826").find(steps[i]), std::string::npos) << steps;
        }
    }
}

int CountJumps(const chart::StepChart& steps) {
    int jumps = 0;
    for (char c : steps) {
        jumps += std::string("1379AB").find(c) != std::string::npos ? 1 : 0;
    }
    return jumps;
}

TEST(RandomizeRange, JumpProbabilityAndMaxJumpsShapeIsolatedSteps) {
    const chart::StepChart isolated = "1010101010101010101010101010101010101010";
    chart::StepRandom random;
    int lowProbabilityJumps = 0;
    int highProbabilityJumps = 0;
    for (int run = 0; run < 40; ++run) {
        chart::StepChart steps = isolated;
        chart::RandomizeRange(steps, {0, 39}, {1, 100}, random);
        lowProbabilityJumps += CountJumps(steps.substr(1));

        steps = isolated;
        chart::RandomizeRange(steps, {0, 39}, {100, 100}, random);
        highProbabilityJumps += CountJumps(steps.substr(1));

        // With the limit at 1, two jumps never follow each other.
        steps = isolated;
        chart::RandomizeRange(steps, {0, 39}, {100, 1}, random);
        for (std::size_t i = 0; i + 2 < steps.size(); i += 2) {
            EXPECT_FALSE(CountJumps(steps.substr(i, 1)) && CountJumps(steps.substr(i + 2, 1)))
                << steps;
        }
    }
    // 40 runs x 19 later isolated steps. At 1 % a jump needs the one draw in
    // 32768 that gives r = 100; at 100 % about half the table's rows are jumps.
    EXPECT_LE(lowProbabilityJumps, 2);
    EXPECT_GT(highProbabilityJumps, 200);
}

TEST(RandomizeRange, SameActionsGiveTheSameStepsEveryRun) {
    chart::StepRandom first;
    chart::StepRandom second;
    chart::StepChart a = "1010001110100000101";
    chart::StepChart b = a;
    chart::RandomizeRange(a, {0, 18}, {30, 2}, first);
    chart::RandomizeRange(b, {0, 18}, {30, 2}, second);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, "1010001110100000101");
}

} // namespace

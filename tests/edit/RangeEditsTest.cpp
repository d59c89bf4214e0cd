#include "edit/RangeEdits.h"

#include "EditorTestSongs.h"
#include "edit/ChartSong.h"
#include "edit/ImportedSong.h"
#include "edit/SongEditor.h"

#include <gtest/gtest.h>
#include <random>

namespace {

using edit_test::Applied;
using edit_test::ChartOf;
using edit_test::kYes;

chart::StepChart RandomSlots(std::mt19937& random) {
    static const char kCodes[] = "0000000012346789AB";
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    chart::StepChart steps(static_cast<std::size_t>(1 + pick(80)), '0');
    for (char& step : steps) {
        step = kCodes[pick(sizeof kCodes - 1)];
    }
    return steps;
}

// At 8th snap every range action on a chart of 8th taps gives what the
// half-beat action gives on its slots: the same arrows, the same length,
// the same range, the same random steps from the same generator state.
TEST(RangeEdits, EighthSnapDoesWhatTheHalfBeatActionsDo) {
    std::mt19937 random(11);
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    for (int round = 0; round < 300; ++round) {
        chart::StepChart slots = RandomSlots(random);
        chart::Song song;
        song.bpm = 120.0f;
        song.charts = {edit::ChartFromSteps(slots)};
        edit::SongEditor editor(song);
        chart::StepRandom reference;
        // Both generators move on together through several randomizes.
        for (int action = 0; action < 6; ++action) {
            chart::RangeActionRequest request;
            request.action = static_cast<chart::RangeAction>(pick(4));
            request.randomize = {1 + pick(100), 1 + pick(4)};
            const std::int32_t start = pick(90);
            chart::EditRange expectedRange{start, start + pick(30)};
            chart::EditRange range = expectedRange;
            const auto expected =
                chart::DoRangeAction(slots, expectedRange, request, kYes, reference);
            const auto outcome = editor.DoRangeAction(range, request, kYes);
            ASSERT_EQ(outcome, expected) << round;
            ASSERT_EQ(range.start, expectedRange.start);
            ASSERT_EQ(range.end, expectedRange.end);
            bool lossy = false;
            ASSERT_EQ(edit::SlotsOfChart(*editor.Selected(), lossy), slots)
                << round << " action " << static_cast<int>(*request.action);
            ASSERT_FALSE(lossy);
        }
    }
}

TEST(RangeEdits, ShiftsAtFinerSnapsCarryHoldsAndOffGridNotes) {
    // 16th cells of 12 rows; the range is cells 2-5 (rows 24-71).
    const chart::SongChart chart =
        ChartOf({{12, 0, 0}, {24, 1, 60}, {50, 2, 0}, {72, 3, 0}, {80, 2, 0}, {90, 1, 0}}, 192);
    // Moved a cell later the hold reaches row 96 and takes the note at 90;
    // the cell after the range (rows 72-83) is lost.
    const chart::SongChart later = Applied(chart, edit::ShiftLaterEdit(chart, {2, 5}, 12));
    EXPECT_EQ(later.notes.Notes(), (std::vector<chart::Note>{{12, 0, 0}, {36, 1, 60}, {62, 2, 0}}));
    EXPECT_EQ(later.lengthRows, 192);
    // Earlier: the cell before the range (rows 12-23) is lost.
    const chart::SongChart earlier = Applied(chart, edit::ShiftEarlierEdit(chart, {2, 5}, 12));
    EXPECT_EQ(
        earlier.notes.Notes(),
        (std::vector<chart::Note>{{12, 1, 60}, {38, 2, 0}, {72, 3, 0}, {80, 2, 0}, {90, 1, 0}}));
    // A range over the last cell lengthens the chart by a cell.
    EXPECT_EQ(Applied(chart, edit::ShiftLaterEdit(chart, {10, 15}, 12)).lengthRows, 204);
    EXPECT_EQ(edit::ShiftEarlierEdit(chart, {0, 5}, 12), std::nullopt);
}

TEST(RangeEdits, ClearTakesEveryHeadOfTheRangeAndKeepsHoldsFromBefore) {
    const chart::SongChart chart =
        ChartOf({{0, 0, 60}, {24, 1, 0}, {31, 2, 0}, {48, 3, 24}, {96, 1, 0}}, 192);
    const chart::SongChart cleared = Applied(chart, edit::ClearRangeEdit(chart, {1, 3}, 24));
    EXPECT_EQ(cleared.notes.Notes(), (std::vector<chart::Note>{{0, 0, 60}, {96, 1, 0}}));
}

// Worked by hand with the runtime sequence 41, 18467, 6334, 26500. 16th
// cells 0-4 read "420B0" (the off-grid row 20 is not read), then "0":
//  cell 0: the next cell is occupied, a single: 41 % 6 = 5 -> "2";
//  cell 1: 18467 % 6 = 5 -> "2", its hold becomes a tap;
//  cell 3: isolated, r = 6334 * 100 / 32767 = 19 > 0: 26500 % 13 = 6 -> "7".
TEST(RangeEdits, RandomizeAtFinerSnapsKeepsTheRhythmAndTurnsHoldsIntoTaps) {
    const chart::SongChart chart =
        ChartOf({{0, 0, 0}, {12, 1, 24}, {20, 2, 0}, {36, 0, 0}, {36, 3, 0}, {96, 2, 0}}, 192);
    chart::StepRandom random;
    EXPECT_EQ(
        Applied(chart, edit::RandomizeRangeEdit(chart, {0, 4}, 12, {100, 5}, random)).notes.Notes(),
        (std::vector<chart::Note>{
            {0, 1, 0}, {12, 1, 0}, {20, 2, 0}, {36, 0, 0}, {36, 2, 0}, {96, 2, 0}}));
    // SOLO takes its four straight arrows: after two draws, 6334 % 13 = 3 -> "6",
    // Right, which is the solo pad's column 5.
    const chart::SongChart solo = ChartOf({{0, 1, 0}}, 48, chart::ChartStyle::Solo);
    chart::StepRandom later;
    later.Next();
    later.Next();
    EXPECT_EQ(
        Applied(solo, edit::RandomizeRangeEdit(solo, {0, 0}, 24, {1, 1}, later)).notes.Notes(),
        (std::vector<chart::Note>{{0, 5, 0}}));
}

} // namespace

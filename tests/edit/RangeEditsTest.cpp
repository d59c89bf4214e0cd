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
using Notes = std::vector<chart::Note>;

// At 8th snap every range action on a chart of 8th taps gives what the
// half-beat action gives on its slots: the same arrows, the same length,
// the same range, the same random steps from the same generator state.
TEST(RangeEdits, EighthSnapDoesWhatTheHalfBeatActionsDo) {
    std::mt19937 random(11);
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    for (int round = 0; round < 300; ++round) {
        chart::StepChart slots(static_cast<std::size_t>(1 + pick(160)), '0');
        for (char& step : slots) {
            step = "0000000012346789AB"[pick(18)];
        }
        chart::Song song;
        song.charts = {edit::ChartFromSteps(slots)};
        edit::SongEditor editor(song);
        chart::StepRandom reference;
        // Both generators move on together through several randomizes.
        for (int action = 0; action < 6; ++action) {
            const chart::RangeActionRequest request{static_cast<chart::RangeAction>(pick(4)),
                                                    {1 + pick(100), 1 + pick(4)}};
            const std::int32_t start = pick(170);
            chart::EditRange expected{start, start + pick(60)}, range = expected;
            const auto outcome = chart::DoRangeAction(slots, expected, request, kYes, reference);
            ASSERT_EQ(editor.DoRangeAction(range, request, kYes), outcome) << round;
            ASSERT_EQ(std::pair(range.start, range.end), std::pair(expected.start, expected.end));
            bool lossy = false;
            const chart::StepChart shown = edit::SlotsOfChart(*editor.Selected(), lossy);
            ASSERT_EQ(std::pair(shown, lossy), std::pair(slots, false))
                << round << " action " << static_cast<int>(*request.action);
        }
    }
}

TEST(RangeEdits, ShiftsAndClearAtFinerSnapsCarryHoldsAndOffGridNotes) {
    // 16th cells of 12 rows; the range is cells 2-5 (rows 24-71).
    const chart::SongChart chart =
        ChartOf({{12, 0, 0}, {24, 1, 60}, {50, 2, 0}, {72, 3, 0}, {80, 2, 0}, {90, 1, 0}}, 192);
    // Moved a cell later the hold reaches row 96 and takes the note at 90;
    // the cell after the range (rows 72-83) is lost.
    const chart::SongChart later = Applied(chart, edit::ShiftLaterEdit(chart, {2, 5}, 12));
    EXPECT_EQ(later.notes.Notes(), (Notes{{12, 0, 0}, {36, 1, 60}, {62, 2, 0}}));
    EXPECT_EQ(later.lengthRows, 192);
    // Earlier: the cell before the range (rows 12-23) is lost.
    const chart::SongChart earlier = Applied(chart, edit::ShiftEarlierEdit(chart, {2, 5}, 12));
    EXPECT_EQ(earlier.notes.Notes(),
              (Notes{{12, 1, 60}, {38, 2, 0}, {72, 3, 0}, {80, 2, 0}, {90, 1, 0}}));
    // A range over the last cell lengthens the chart by a cell.
    EXPECT_EQ(Applied(chart, edit::ShiftLaterEdit(chart, {10, 15}, 12)).lengthRows, 204);
    EXPECT_EQ(edit::ShiftEarlierEdit(chart, {0, 5}, 12), std::nullopt);
    // Clear takes every head of the range's rows (24-71, then 36-71), off-grid
    // ones too, and keeps a hold from before.
    EXPECT_EQ(Applied(chart, edit::ClearRangeEdit(chart, {2, 5}, 12)).notes.Notes(),
              (Notes{{12, 0, 0}, {72, 3, 0}, {80, 2, 0}, {90, 1, 0}}));
    EXPECT_EQ(Applied(chart, edit::ClearRangeEdit(chart, {3, 5}, 12)).notes.Notes(),
              (Notes{{12, 0, 0}, {24, 1, 60}, {72, 3, 0}, {80, 2, 0}, {90, 1, 0}}));
}

} // namespace

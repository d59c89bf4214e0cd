#include "edit/NoteDiff.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// A chart changed by `edits` random Set/Remove calls: the edits a command
// may stand for, from one note to a whole range.
chart::NoteData Changed(chart::NoteData notes, int edits, std::mt19937& random) {
    std::uniform_int_distribution<std::int32_t> row(0, 2000);
    std::uniform_int_distribution<int> column(0, 3);
    std::uniform_int_distribution<int> kind(0, 5);
    for (int i = 0; i < edits; ++i) {
        const auto c = static_cast<std::uint8_t>(column(random));
        switch (kind(random)) {
        case 0:
            notes.Remove(row(random), c);
            break;
        case 1:
            notes.Set({row(random), c, row(random) % 97});
            break;
        default:
            notes.Set({row(random), c, 0});
            break;
        }
    }
    return notes;
}

// Small diffs go note by note, large ones rebuild the chart: both ways,
// forward and back, must land exactly on the other state.
TEST(NoteDiff, AppliedForwardAndBackItGivesTheOtherStateExactly) {
    std::mt19937 random(5);
    for (int edits : {1, 3, 20, 60, 200, 1500}) {
        for (int round = 0; round < 20; ++round) {
            const chart::NoteData before = Changed(chart::NoteData(4), 800, random);
            const chart::NoteData after = Changed(before, edits, random);
            const edit::NoteDiff diff = edit::DiffNotes(before, after);
            chart::NoteData notes = before;
            edit::ApplyNoteDiff(notes, diff.removed, diff.added);
            ASSERT_EQ(notes, after) << edits;
            edit::ApplyNoteDiff(notes, diff.added, diff.removed);
            ASSERT_EQ(notes, before) << edits;
        }
    }
}

TEST(NoteDiff, ComposedDiffIsTheDirectDiffOfTheEnds) {
    std::mt19937 random(9);
    for (int round = 0; round < 200; ++round) {
        const chart::NoteData first = Changed(chart::NoteData(4), 100, random);
        const chart::NoteData middle = Changed(first, 1 + round % 7, random);
        const chart::NoteData last = Changed(middle, 1 + round % 5, random);
        const edit::NoteDiff composed =
            edit::ComposeDiffs(edit::DiffNotes(first, middle), edit::DiffNotes(middle, last));
        const edit::NoteDiff direct = edit::DiffNotes(first, last);
        ASSERT_EQ(composed.removed, direct.removed) << round;
        ASSERT_EQ(composed.added, direct.added) << round;
    }
    // A tap turned into a hold, then back: no change at all.
    chart::NoteData tap(4);
    tap.Set({48, 1, 0});
    chart::NoteData hold(4);
    hold.Set({48, 1, 24});
    EXPECT_TRUE(edit::ComposeDiffs(edit::DiffNotes(tap, hold), edit::DiffNotes(hold, tap)).Empty());
}

TEST(NoteDiff, ExcerptHoldsEveryNoteAnEditOfTheWindowCanTouch) {
    chart::NoteData notes(4);
    for (const chart::Note& note :
         {chart::Note{0, 0, 200}, chart::Note{10, 1, 5}, chart::Note{100, 2, 0},
          chart::Note{150, 1, 0}, chart::Note{300, 3, 0}}) {
        notes.Set(note);
    }
    const chart::NoteData excerpt = edit::Excerpt(notes, 100, 200);
    // The hold from row 0 reaches into the window, so the excerpt starts at
    // its head; it ends with the window.
    EXPECT_EQ(excerpt.Notes(),
              (std::vector<chart::Note>{{0, 0, 200}, {10, 1, 5}, {100, 2, 0}, {150, 1, 0}}));
    EXPECT_EQ(edit::Excerpt(notes, 250, 400).Notes(), (std::vector<chart::Note>{{300, 3, 0}}));
}

} // namespace

#pragma once

#include "chart/NoteData.h"

#include <cstdint>
#include <span>
#include <vector>

// A change of a chart's notes as the notes taken out and the notes put in,
// so that an edit of one note costs one note to keep, whatever the chart's
// size. Both lists are sorted by (row, column).
namespace edit {

struct NoteDiff {
    std::vector<chart::Note> removed;
    std::vector<chart::Note> added;
    bool Empty() const { return removed.empty() && added.empty(); }
};

// The notes of a chart that an edit of the heads in [beginRow, endRow)
// may touch: those heads and every hold reaching into the window from
// before. An edit that puts notes only inside the window (tails included)
// can be made on the excerpt and diffed against it.
chart::NoteData Excerpt(const chart::NoteData& notes, std::int32_t beginRow, std::int32_t endRow);

// What turns before into after (two excerpts, or two whole charts).
NoteDiff DiffNotes(const chart::NoteData& before, const chart::NoteData& after);

// Takes the removed notes out (by head) and puts the added ones in. The
// lists must fit the chart (the diff of the chart's own state).
void ApplyNoteDiff(chart::NoteData& notes, std::span<const chart::Note> removed,
                   std::span<const chart::Note> added);

// Folds a later diff into an earlier one: the result takes the state before
// the first straight to the state after the second.
NoteDiff ComposeDiffs(const NoteDiff& first, const NoteDiff& second);

} // namespace edit

#include "edit/NoteDiff.h"

#include <algorithm>
#include <iterator>
#include <tuple>

namespace edit {

namespace {

using chart::Note;

bool HeadBefore(const Note& a, const Note& b) {
    return a.row < b.row || (a.row == b.row && a.column < b.column);
}

// Whole notes: a note that changes only its kind or keysound is a change too.
bool NoteBefore(const Note& a, const Note& b) {
    return std::tuple(a.row, a.column, a.holdRows, a.kind, a.keysound) <
           std::tuple(b.row, b.column, b.holdRows, b.kind, b.keysound);
}

std::vector<Note> Minus(const std::vector<Note>& a, const std::vector<Note>& b) {
    std::vector<Note> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out),
                        NoteBefore);
    return out;
}

std::vector<Note> Union(const std::vector<Note>& a, const std::vector<Note>& b) {
    std::vector<Note> out;
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out), NoteBefore);
    return out;
}

// Below this many notes a diff is applied note by note; above it the chart
// is rebuilt in one pass, so a range action over thousands of rows costs
// one copy of the chart instead of one shift of it per note.
constexpr std::size_t kFewNotes = 64;

} // namespace

chart::NoteData Excerpt(const chart::NoteData& notes, std::int32_t beginRow, std::int32_t endRow) {
    std::int32_t from = beginRow;
    for (std::uint8_t column = 0; column < notes.Columns(); ++column) {
        if (const Note* hold = notes.Covering(beginRow, column)) {
            from = std::min(from, hold->row);
        }
    }
    chart::NoteData excerpt(notes.Columns());
    for (const Note& note : notes.HeadsIn(from, endRow)) {
        excerpt.AppendSorted(note);
    }
    return excerpt;
}

NoteDiff DiffNotes(const chart::NoteData& before, const chart::NoteData& after) {
    std::vector<Note> a = before.Notes();
    std::vector<Note> b = after.Notes();
    NoteDiff diff;
    diff.removed = Minus(a, b);
    diff.added = Minus(b, a);
    return diff;
}

void ApplyNoteDiff(chart::NoteData& notes, std::span<const Note> removed,
                   std::span<const Note> added) {
    if (removed.size() + added.size() <= kFewNotes) {
        for (const Note& note : removed) {
            notes.Remove(note.row, note.column);
        }
        for (const Note& note : added) {
            notes.Set(note);
        }
        return;
    }
    const std::vector<Note>& old = notes.Notes();
    std::vector<Note> kept;
    kept.reserve(old.size());
    std::set_difference(old.begin(), old.end(), removed.begin(), removed.end(),
                        std::back_inserter(kept), HeadBefore);
    std::vector<Note> merged;
    merged.reserve(kept.size() + added.size());
    std::merge(kept.begin(), kept.end(), added.begin(), added.end(), std::back_inserter(merged),
               HeadBefore);
    notes.Clear();
    for (const Note& note : merged) {
        notes.AppendSorted(note);
    }
}

NoteDiff ComposeDiffs(const NoteDiff& first, const NoteDiff& second) {
    // A note the second takes out is either one the first put in (then
    // neither happened) or one of the original state.
    const std::vector<Note> cancelledAdds = Minus(first.added, Minus(first.added, second.removed));
    const std::vector<Note> originalsOut = Minus(second.removed, cancelledAdds);
    NoteDiff out;
    out.removed = Union(first.removed, originalsOut);
    out.added = Union(Minus(first.added, cancelledAdds), second.added);
    // An original note taken out and put back unchanged is no change.
    const std::vector<Note> restored = Minus(out.removed, Minus(out.removed, out.added));
    out.removed = Minus(out.removed, restored);
    out.added = Minus(out.added, restored);
    return out;
}

} // namespace edit

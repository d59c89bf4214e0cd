#include "edit/RangeEdits.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

namespace edit {

namespace {

constexpr char kNotAStep = 'X'; // occupied, but no step code can say so

bool FitsRows(chart::EditRange cells, std::int32_t cellRows) {
    // The cell after the range is read or written by every action.
    return cells.start >= 0 && cells.start <= cells.end &&
           cells.end < chart::kMaxRows / cellRows - 2;
}

NoteEdit MakeEdit(const chart::NoteData& before, const chart::NoteData& after,
                  std::int32_t lengthAfter, std::string text) {
    NoteDiff diff = DiffNotes(before, after);
    const std::int32_t length = CoveringLength(lengthAfter, diff);
    return {std::move(diff), length, std::move(text)};
}

std::optional<NoteEdit> NothingOrEdit(const chart::SongChart& chart, NoteEdit edit) {
    if (edit.diff.Empty() && edit.lengthAfter == chart.lengthRows) {
        return std::nullopt;
    }
    return edit;
}

// Heads in [beginRow, endRow) taken out of the excerpt and moved by delta
// rows, each replacing what it overlaps; the heads of [lostBegin, lostEnd)
// are dropped first.
void MoveHeads(chart::NoteData& excerpt, std::int32_t beginRow, std::int32_t endRow,
               std::int32_t delta, std::int32_t lostBegin, std::int32_t lostEnd) {
    const auto moving = excerpt.HeadsIn(beginRow, endRow);
    const std::vector<chart::Note> moved(moving.begin(), moving.end());
    const auto lost = excerpt.HeadsIn(lostBegin, lostEnd);
    std::vector<chart::Note> gone(lost.begin(), lost.end());
    gone.insert(gone.end(), moved.begin(), moved.end());
    for (const chart::Note& note : gone) {
        excerpt.Remove(note.row, note.column);
    }
    for (chart::Note note : moved) {
        note.row += delta;
        excerpt.Set(note);
    }
}

// The end of the window a move must cover: the moved notes' new tails.
std::int32_t MovedEnd(const chart::NoteData& notes, std::int32_t beginRow, std::int32_t endRow,
                      std::int32_t delta, std::int32_t atLeast) {
    std::int32_t end = atLeast;
    for (const chart::Note& note : notes.HeadsIn(beginRow, endRow)) {
        end = std::max(end, note.EndRow() + delta + 1);
    }
    return end;
}

// The four straight arrows of a style, indexed by bit of chart::Arrow.
std::array<std::uint8_t, 4> ArrowColumns(chart::ChartStyle style) {
    if (style == chart::ChartStyle::Solo) {
        return {0, 2, 3, 5};
    }
    return {0, 1, 2, 3};
}

char CellCode(const chart::NoteData& notes, std::int32_t row,
              const std::array<std::uint8_t, 4>& columns) {
    chart::ArrowSet arrows = 0;
    for (const chart::Note& note : notes.HeadsIn(row, row + 1)) {
        const auto it = std::find(columns.begin(), columns.end(), note.column);
        if (it == columns.end()) {
            return kNotAStep;
        }
        arrows = static_cast<chart::ArrowSet>(arrows | (1u << (it - columns.begin())));
    }
    const char code = chart::CodeOfArrows(arrows);
    return code == '\0' ? kNotAStep : code;
}

// The notes with every head on the given rows (ascending) replaced by the
// taps (sorted), in one pass over the notes: a randomize over thousands of
// rows must not shift the chart once per note. A tap inside a hold of its
// column from an earlier row replaces the hold, as NoteData::Set does.
chart::NoteData ReplaceRows(const chart::NoteData& notes, const std::vector<std::int32_t>& rows,
                            const std::vector<chart::Note>& taps) {
    chart::NoteData kept(notes.Columns());
    for (const chart::Note& note : notes.Notes()) {
        if (!std::binary_search(rows.begin(), rows.end(), note.row)) {
            kept.AppendSorted(note);
        }
    }
    std::vector<chart::Note> free;
    std::vector<chart::Note> insideHolds;
    for (const chart::Note& tap : taps) {
        (kept.Covering(tap.row, tap.column) == nullptr ? free : insideHolds).push_back(tap);
    }
    chart::NoteData out(notes.Columns());
    std::vector<chart::Note> merged;
    std::merge(kept.Notes().begin(), kept.Notes().end(), free.begin(), free.end(),
               std::back_inserter(merged), [](const chart::Note& a, const chart::Note& b) {
                   return a.row < b.row || (a.row == b.row && a.column < b.column);
               });
    for (const chart::Note& note : merged) {
        out.AppendSorted(note);
    }
    for (const chart::Note& tap : insideHolds) {
        out.Set(tap);
    }
    return out;
}

} // namespace

std::int32_t CellCount(const chart::SongChart& chart, std::int32_t cellRows) {
    const std::int32_t rows = std::max(chart.lengthRows, chart.notes.EndRow());
    return (rows + cellRows - 1) / cellRows;
}

std::optional<NoteEdit> ShiftLaterEdit(const chart::SongChart& chart, chart::EditRange cells,
                                       std::int32_t cellRows) {
    if (!FitsRows(cells, cellRows)) {
        return std::nullopt;
    }
    const std::int32_t begin = cells.start * cellRows;
    const std::int32_t end = (cells.end + 1) * cellRows;
    const std::int32_t cellCount = CellCount(chart, cellRows);
    const chart::NoteData before =
        Excerpt(chart.notes, begin, MovedEnd(chart.notes, begin, end, cellRows, end + cellRows));
    chart::NoteData after = before;
    MoveHeads(after, begin, end, cellRows, end, end + cellRows);
    const std::int32_t length =
        cells.end >= cellCount - 1 ? (cellCount + 1) * cellRows : chart.lengthRows;
    return MakeEdit(before, after, length, "Shift Later");
}

std::optional<NoteEdit> ShiftEarlierEdit(const chart::SongChart& chart, chart::EditRange cells,
                                         std::int32_t cellRows) {
    if (!FitsRows(cells, cellRows) || cells.start == 0) {
        return std::nullopt;
    }
    const std::int32_t begin = cells.start * cellRows;
    const std::int32_t end = (cells.end + 1) * cellRows;
    const std::int32_t cellCount = CellCount(chart, cellRows);
    const chart::NoteData before = Excerpt(chart.notes, begin - cellRows, end);
    chart::NoteData after = before;
    MoveHeads(after, begin, end, -cellRows, begin - cellRows, begin);
    // As the half-beat shift: the empty cell put in after the range stays
    // only when the lost cell lies past the chart's end.
    const std::int32_t length =
        cells.start > cellCount + 1 ? (cellCount + 1) * cellRows : chart.lengthRows;
    return MakeEdit(before, after, length, "Shift Earlier");
}

std::optional<NoteEdit> ClearRangeEdit(const chart::SongChart& chart, chart::EditRange cells,
                                       std::int32_t cellRows) {
    if (!FitsRows(cells, cellRows)) {
        return std::nullopt;
    }
    const std::int32_t begin = cells.start * cellRows;
    const std::int32_t end = (cells.end + 1) * cellRows;
    const chart::NoteData before = Excerpt(chart.notes, begin, end);
    chart::NoteData after(before.Columns());
    for (const chart::Note& note : before.Notes()) {
        if (note.row < begin) {
            after.AppendSorted(note);
        }
    }
    return NothingOrEdit(chart, MakeEdit(before, after, chart.lengthRows, "Clear"));
}

std::optional<NoteEdit> RandomizeRangeEdit(const chart::SongChart& chart, chart::EditRange cells,
                                           std::int32_t cellRows,
                                           const chart::RandomizeSettings& settings,
                                           chart::StepRandom& random) {
    if (!FitsRows(cells, cellRows)) {
        return std::nullopt;
    }
    const std::int32_t cellCount = CellCount(chart, cellRows);
    if (cells.start >= cellCount) {
        return std::nullopt;
    }
    const auto columns = ArrowColumns(chart.style);
    // The randomizer reads the cells of the range and the one after it;
    // past the chart's last cell it counts every cell as occupied.
    const std::int32_t lastRead = std::min(cells.end + 1, cellCount - 1);
    chart::StepChart steps;
    steps.reserve(static_cast<std::size_t>(lastRead - cells.start + 1));
    for (std::int32_t cell = cells.start; cell <= lastRead; ++cell) {
        steps.push_back(CellCode(chart.notes, cell * cellRows, columns));
    }
    const chart::StepChart read = steps;
    chart::RandomizeRange(steps, {0, cells.end - cells.start}, settings, random);

    const std::int32_t begin = cells.start * cellRows;
    const std::int32_t end = (cells.end + 1) * cellRows;
    const chart::NoteData before = Excerpt(chart.notes, begin, end);
    std::vector<std::int32_t> rewritten;
    std::vector<chart::Note> taps;
    const std::int32_t lastWritten = std::min(cells.end, lastRead);
    for (std::int32_t cell = cells.start; cell <= lastWritten; ++cell) {
        const auto i = static_cast<std::size_t>(cell - cells.start);
        if (read[i] == chart::kEmptyStep) {
            continue;
        }
        rewritten.push_back(cell * cellRows);
        const chart::ArrowSet arrows = chart::ArrowsOfCode(steps[i]);
        for (std::size_t bit = 0; bit < columns.size(); ++bit) {
            if ((arrows >> bit) & 1u) {
                taps.push_back({cell * cellRows, columns[bit], 0});
            }
        }
    }
    return NothingOrEdit(chart, MakeEdit(before, ReplaceRows(before, rewritten, taps),
                                         chart.lengthRows, "Randomize"));
}

} // namespace edit

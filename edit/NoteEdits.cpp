#include "edit/NoteEdits.h"

#include <algorithm>

namespace edit {

namespace {

constexpr std::size_t kArrowsPerSingleRow = 2; // two feet, as CombineStep

bool RowInRange(std::int32_t row, std::int32_t cellRows) {
    return row >= 0 && row < chart::kMaxRows - cellRows;
}

constexpr std::int32_t kRowsPerStep = chart::kRowsPerBeat / 2; // the file's 8th step

std::int32_t WholeSteps(std::int32_t rows) {
    return (rows + kRowsPerStep - 1) / kRowsPerStep * kRowsPerStep;
}

std::int32_t PaddedLength(const chart::SongChart& chart, std::int32_t row, std::int32_t cellRows) {
    return std::max(chart.lengthRows, WholeSteps(row + cellRows));
}

// Finishes an edit made on an excerpt of the chart.
std::optional<NoteEdit> Finish(const chart::SongChart& chart, const chart::NoteData& before,
                               const chart::NoteData& after, std::int32_t lengthAfter,
                               std::string text) {
    NoteEdit edit;
    edit.diff = DiffNotes(before, after);
    edit.lengthAfter = CoveringLength(lengthAfter, edit.diff);
    if (edit.diff.Empty()) {
        if (edit.lengthAfter == chart.lengthRows) {
            return std::nullopt;
        }
        text = "Extend Chart";
    }
    edit.text = std::move(text);
    return edit;
}

} // namespace

std::int32_t CoveringLength(std::int32_t lengthRows, const NoteDiff& diff) {
    std::int32_t end = 0;
    for (const chart::Note& note : diff.added) {
        end = std::max(end, note.EndRow() + 1);
    }
    return std::max(lengthRows, WholeSteps(end));
}

bool RowIsFull(const chart::SongChart& chart, std::int32_t row) {
    return chart.style == chart::ChartStyle::Single &&
           chart.notes.HeadsIn(row, row + 1).size() >= kArrowsPerSingleRow;
}

std::optional<NoteEdit> AddArrowEdit(const chart::SongChart& chart, std::int32_t row,
                                     std::uint8_t column, std::int32_t cellRows) {
    if (!RowInRange(row, cellRows) || column >= chart.notes.Columns()) {
        return std::nullopt;
    }
    const chart::NoteData before = Excerpt(chart.notes, row, row + 1);
    chart::NoteData after = before;
    if (chart.notes.Covering(row, column) == nullptr && !RowIsFull(chart, row)) {
        after.Set({row, column, 0});
    }
    return Finish(chart, before, after, PaddedLength(chart, row, cellRows), "Add Note");
}

std::optional<NoteEdit> ToggleNoteEdit(const chart::SongChart& chart, std::int32_t row,
                                       std::uint8_t column, std::int32_t cellRows) {
    if (!RowInRange(row, cellRows) || column >= chart.notes.Columns()) {
        return std::nullopt;
    }
    const chart::NoteData before = Excerpt(chart.notes, row, row + 1);
    chart::NoteData after = before;
    std::string text = "Add Note";
    if (const chart::Note* present = chart.notes.Covering(row, column)) {
        text = present->IsHold() ? "Remove Hold" : "Remove Note";
        after.Remove(present->row, present->column);
    } else if (!RowIsFull(chart, row)) {
        after.Set({row, column, 0});
    }
    return Finish(chart, before, after, PaddedLength(chart, row, cellRows), std::move(text));
}

std::optional<NoteEdit> ClearRowEdit(const chart::SongChart& chart, std::int32_t row,
                                     std::int32_t cellRows) {
    if (!RowInRange(row, cellRows)) {
        return std::nullopt;
    }
    const chart::NoteData before = Excerpt(chart.notes, row, row + 1);
    chart::NoteData after = before;
    for (std::uint8_t column = 0; column < chart.notes.Columns(); ++column) {
        after.Remove(row, column);
    }
    return Finish(chart, before, after, PaddedLength(chart, row, cellRows), "Clear Row");
}

std::optional<NoteEdit> SetHoldEdit(const chart::SongChart& chart, std::int32_t row,
                                    std::uint8_t column, std::int32_t holdRows,
                                    std::int32_t cellRows) {
    if (!RowInRange(row, cellRows) || column >= chart.notes.Columns() || holdRows < 0 ||
        holdRows >= chart::kMaxRows - row) {
        return std::nullopt;
    }
    const chart::Note note{row, column, holdRows};
    const chart::NoteData before = Excerpt(chart.notes, row, note.EndRow() + 1);
    chart::NoteData after = before;
    after.Set(note);
    const chart::Note* head = chart.notes.Find(row, column);
    std::string text = holdRows == 0                       ? "Add Note"
                       : head != nullptr && head->IsHold() ? "Change Hold"
                                                           : "Add Hold";
    return Finish(chart, before, after, PaddedLength(chart, row, cellRows), std::move(text));
}

std::optional<NoteEdit> PadEdit(const chart::SongChart& chart, std::int32_t row,
                                std::int32_t cellRows) {
    if (!RowInRange(row, cellRows)) {
        return std::nullopt;
    }
    const chart::NoteData none(chart.notes.Columns());
    return Finish(chart, none, none, PaddedLength(chart, row, cellRows), "Extend Chart");
}

} // namespace edit

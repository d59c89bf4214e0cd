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
    if (chart.style != chart::ChartStyle::Single) {
        return false;
    }
    const auto heads = chart.notes.HeadsIn(row, row + 1);
    return static_cast<std::size_t>(std::count_if(heads.begin(), heads.end(), [](const auto& n) {
               return n.IsStep();
           })) >= kArrowsPerSingleRow;
}

bool FormatHolds(chart::SongFormat format, chart::NoteKind kind) {
    return format != chart::SongFormat::Dwi || kind == chart::NoteKind::Normal;
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
                                    std::int32_t cellRows, chart::NoteKind kind) {
    if (!RowInRange(row, cellRows) || column >= chart.notes.Columns() || holdRows < 0 ||
        holdRows >= chart::kMaxRows - row) {
        return std::nullopt;
    }
    const bool roll = kind == chart::NoteKind::Roll && holdRows > 0;
    chart::Note note{row, column, holdRows};
    note.kind = roll ? chart::NoteKind::Roll : chart::NoteKind::Normal;
    const chart::NoteData before = Excerpt(chart.notes, row, note.EndRow() + 1);
    chart::NoteData after = before;
    after.Set(note);
    const chart::Note* head = chart.notes.Find(row, column);
    const bool change = head != nullptr && head->IsHold();
    std::string text = holdRows == 0 ? "Add Note"
                       : roll        ? (change ? "Change Roll" : "Add Roll")
                                     : (change ? "Change Hold" : "Add Hold");
    return Finish(chart, before, after, PaddedLength(chart, row, cellRows), std::move(text));
}

std::optional<NoteEdit> PutNoteEdit(const chart::SongChart& chart, std::int32_t row,
                                    std::uint8_t column, chart::NoteKind kind,
                                    std::int32_t cellRows) {
    if (!RowInRange(row, cellRows) || column >= chart.notes.Columns() ||
        kind == chart::NoteKind::Roll) {
        return std::nullopt;
    }
    const std::string name = kind == chart::NoteKind::Mine           ? "Mine"
                             : kind == chart::NoteKind::Lift         ? "Lift"
                             : kind == chart::NoteKind::Fake         ? "Fake"
                             : kind == chart::NoteKind::AutoKeysound ? "Keysound"
                                                                     : "Note";
    const chart::NoteData before = Excerpt(chart.notes, row, row + 1);
    chart::NoteData after = before;
    std::string text = "Add " + name;
    const chart::Note* head = chart.notes.Find(row, column);
    if (head != nullptr && !head->IsHold() && head->kind == kind) {
        text = "Remove " + name;
        after.Remove(row, column);
    } else if (head != nullptr || chart.notes.Covering(row, column) == nullptr) {
        // A step replacing a step keeps the row's count of them.
        chart::SongChart rest;
        rest.style = chart.style;
        rest.notes = after;
        rest.notes.Remove(row, column);
        chart::Note note{row, column, 0};
        note.kind = kind;
        if (!note.IsStep() || !RowIsFull(rest, row)) {
            after.Set(note);
        }
    }
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

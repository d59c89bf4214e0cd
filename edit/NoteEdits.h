#pragma once

#include "chart/Song.h"
#include "edit/NoteDiff.h"

#include <cstdint>
#include <optional>
#include <string>

// The note edits of one chart, worked out without changing it: each gives
// the diff, the chart's length after and the text for the undo menu, or
// nothing when the chart would not change. Rows are 48 a beat; cellRows is
// the snap's cell: a row written pads the chart to cover its cell, rounded
// up to whole 8th steps (as a key press pads the half-beat chart to its
// slot).
namespace edit {

struct NoteEdit {
    NoteDiff diff;
    std::int32_t lengthAfter = 0;
    std::string text;
};

// The length a chart needs after an edit: at least lengthRows, and the
// whole 8th steps (24 rows) that cover every added note's tail, as the file
// will hold them, so that a chart read back from a save equals the
// document.
std::int32_t CoveringLength(std::int32_t lengthRows, const NoteDiff& diff);

// A SINGLE row holds at most two arrows to step on (taps, holds, rolls,
// lifts), as a half-beat slot does; mines and fakes do not count. The other
// styles have no limit.
bool RowIsFull(const chart::SongChart& chart, std::int32_t row);

// Whether a file of the format can hold notes of the kind: a .dwi file
// holds only taps and holds (Normal), so nothing else may be entered there
// that a save would drop.
bool FormatHolds(chart::SongFormat format, chart::NoteKind kind);

// Key entry (add mode): a tap at the row unless the column already has a
// note there (a head, or a hold passing through) or the row is full; pads
// the chart either way. "Add Note", or "Extend Chart" when only the length
// changes.
std::optional<NoteEdit> AddArrowEdit(const chart::SongChart& chart, std::int32_t row,
                                     std::uint8_t column, std::int32_t cellRows);

// Mouse (toggle mode): a note whose span covers (row, column) is removed
// ("Remove Note" / "Remove Hold"); otherwise a tap is added unless the row
// is full ("Add Note"). Pads the chart.
std::optional<NoteEdit> ToggleNoteEdit(const chart::SongChart& chart, std::int32_t row,
                                       std::uint8_t column, std::int32_t cellRows);

// Space: every head on the row goes; holds from earlier rows stay. Pads the
// chart. "Clear Row", or "Extend Chart".
std::optional<NoteEdit> ClearRowEdit(const chart::SongChart& chart, std::int32_t row,
                                     std::int32_t cellRows);

// A note of holdRows (0 for a tap) at (row, column), replacing whatever it
// overlaps in its column: makes, lengthens and shortens holds, or rolls
// when kind is Roll (any other kind makes holds). "Add Hold", "Change Hold"
// (the head was a hold or roll already), "Add Roll", "Change Roll" or "Add
// Note". Pads the chart.
std::optional<NoteEdit> SetHoldEdit(const chart::SongChart& chart, std::int32_t row,
                                    std::uint8_t column, std::int32_t holdRows,
                                    std::int32_t cellRows,
                                    chart::NoteKind kind = chart::NoteKind::Normal);

// A note of a single-row kind (Normal is a tap; Mine, Lift, Fake,
// AutoKeysound) by a key or a click: a head of the same kind at (row,
// column) is taken away ("Remove Mine"...); a head of another kind, a hold
// or roll included, is replaced; an empty cell gets the note unless it is a
// lift and the row is full ("Add Mine", "Add Lift", "Add Fake", "Add
// Note"). A hold passing through the cell from an earlier row is left whole
// (a stray click does not cut it). Nothing for Roll, which has a length.
// Pads the chart.
std::optional<NoteEdit> PutNoteEdit(const chart::SongChart& chart, std::int32_t row,
                                    std::uint8_t column, chart::NoteKind kind,
                                    std::int32_t cellRows);

// Only the chart's length: "Extend Chart" when row + cellRows lies past it.
std::optional<NoteEdit> PadEdit(const chart::SongChart& chart, std::int32_t row,
                                std::int32_t cellRows);

} // namespace edit

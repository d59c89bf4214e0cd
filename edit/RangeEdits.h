#pragma once

#include "chart/RangeActions.h"
#include "edit/NoteEdits.h"

// The range actions on a chart at any snap. The range is in cells of the
// snap (inclusive, as the half-beat EditRange is in slots); the chart's
// cells run to its length or its last note, whichever is later, as the
// half-beat chart's slots do. At 8th snap on a chart of 8th taps each gives
// exactly what the half-beat action of chart::RangeActions gives on the
// chart's slots, the random steps included.
namespace edit {

// Cells of the chart: ceil(max(length, last note's end) / cellRows).
std::int32_t CellCount(const chart::SongChart& chart, std::int32_t cellRows);

// Heads in the range's cells move one cell later (holds with them, a moved
// note replacing what it overlaps); the heads of the cell after the range
// are lost. A range reaching the chart's last cell lengthens the chart by
// one cell. The caller moves the range. Nothing only when the range cannot
// move (past the largest chart); an empty edit when only the range moves.
std::optional<NoteEdit> ShiftLaterEdit(const chart::SongChart& chart, chart::EditRange cells,
                                       std::int32_t cellRows);
// One cell earlier; the heads of the cell before the range are lost.
// Nothing at cell 0.
std::optional<NoteEdit> ShiftEarlierEdit(const chart::SongChart& chart, chart::EditRange cells,
                                         std::int32_t cellRows);
// Every head in the range's rows (off-grid ones too); holds starting before
// the range stay.
std::optional<NoteEdit> ClearRangeEdit(const chart::SongChart& chart, chart::EditRange cells,
                                       std::int32_t cellRows);
// The half-beat randomizer run over the range's cells: a cell with any head
// counts as occupied, and every occupied cell in the range gets the taps of
// the step drawn for it (its holds and other notes go). The arrows land on
// Left, Down, Up, Right: the first pad's for DOUBLE and COUPLE, SOLO's four
// straight arrows. Off-grid heads are neither read nor changed.
std::optional<NoteEdit> RandomizeRangeEdit(const chart::SongChart& chart, chart::EditRange cells,
                                           std::int32_t cellRows,
                                           const chart::RandomizeSettings& settings,
                                           chart::StepRandom& random);

} // namespace edit

#pragma once

#include "chart/Song.h"
#include "player/MediaPlayer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

// What the step view reads and asks of its owner, the main window. The view
// draws the owner's song document and never changes it: every edit is a
// request that the owner turns into one undoable command (and a repaint).
// Rows are the document's, 48 a beat; cells are rows of the current snap
// (CellRows() rows each). Window thread only.
namespace view {

// The selection of rows the view draws and the mouse makes: whole cells of
// the snap, inclusive, as the edit range is.
class SelectionOwner {
public:
    virtual ~SelectionOwner() = default;
    virtual std::optional<std::pair<std::int32_t, std::int32_t>> SelectedCells() const = 0;
    // Shift+click: from the cell at the target line to `cell`.
    virtual void SelectFromCurrentTo(std::int32_t cell) = 0;
    // A drag with Shift held, from one cell to another (either order).
    virtual void SelectCells(std::int32_t from, std::int32_t to) = 0;
};

class StepViewOwner {
public:
    virtual ~StepViewOwner() = default;

    virtual player::MediaPlayer& Player() = 0;

    // The document drawn (its timing map places every row) and the chart
    // shown; without a chart only targets and seek buttons show and clicks
    // on the lanes do nothing.
    virtual const chart::Song& Song() const = 0;
    virtual const chart::SongChart* ShownChart() const = 0;
    // Rows per cell of the snap: the grid of the lane, clicks and drags.
    virtual std::int32_t CellRows() const = 0;

    // Zoom: view pixels per beat (18 at start, the lane of the 8th snap).
    virtual int PixelsPerBeat() const = 0;
    virtual void SetPixelsPerBeat(int pixels) = 0;

    // The view drew up to this row (exclusive): a save pads the shown chart
    // to cover what the author has seen, as the program always did.
    virtual void RowsShown(std::int32_t endRow) = 0;

    // Note edits on the shown chart. A drag sends SetHold once per cell
    // crossed with one mergeId, so the whole drag undoes as one step;
    // holdRows 0 makes the note a tap.
    virtual void ToggleNote(std::int32_t row, std::uint8_t column) = 0;
    virtual void SetHold(std::int32_t row, std::uint8_t column, std::int32_t holdRows,
                         std::uint64_t mergeId) = 0;

    // The edit range's ends, in cells of the current snap; shown in the
    // window's range fields.
    virtual void SetRangeStart(std::int32_t cell) = 0;
    virtual void SetRangeEnd(std::int32_t cell) = 0;

    // Context menu, tempo changes and stops: the owner asks for the value
    // ("Add BPM Change Here...", "Add Stop Here...") and adds, changes or
    // removes; indexes are into Song().changes / Song().stops.
    virtual void AddBpmChangeAt(std::int32_t row) = 0;
    virtual void AddStopAt(std::int32_t row) = 0;
    virtual void EditBpmChange(std::size_t index) = 0;
    virtual void EditStop(std::size_t index) = 0;
    virtual void RemoveBpmChange(std::size_t index) = 0;
    virtual void RemoveStop(std::size_t index) = 0;

    // The selection, when the owner keeps one.
    virtual SelectionOwner* Selection() { return nullptr; }
};

} // namespace view

#pragma once

#include "chart/Song.h"
#include "chart/StepRandom.h"
#include "edit/NoteEdits.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// Transforms of a selection of rows (all columns). They act on the notes
// whose head lies in the span; a hold keeps its length and its tail may pass
// the span's end. Where a moved note meets another note of its column, the
// two become one note covering both (a tap inside a hold is absorbed by it),
// so a transform never deletes a hold because a tap landed on it.
//
// The column moves, per style (columns as chart::ColumnsOf):
// - Mirror: Left<->Right, Up<->Down; SOLO also Up-Left<->Up-Right. DOUBLE
//   mirrors the whole line of eight panels (column c -> 7 - c, so the pads
//   swap), as the dance games' mirror does; COUPLE mirrors each player's pad
//   on its own.
// - Flip Left-Right: Left<->Right (SOLO: Up-Left<->Up-Right too, the
//   diagonals being left and right as well); Flip Up-Down: Up<->Down. Per pad.
// - Rotate Right moves every arrow one lane to the right as the step view
//   shows them, the last lane wrapping to the first (Left->Down->Up->Right->
//   Left); Rotate Left the other way. Per pad; SOLO turns its six lanes, so a
//   diagonal steps to its neighbour lane like any other arrow.
// - Shuffle: one random permutation of the four lanes (applied to both pads
//   of DOUBLE and COUPLE) or of SOLO's six, never the identity.
// - Swap Pads: pad 1 <-> pad 2 (DOUBLE and COUPLE only).
//
// Expand and compress warp the rows: row r of the span goes to
// begin + (r - begin) * num / den (rounded to the nearest row, ties to the
// earlier), every head and tail after the span moves by the change of the
// span's length, so nothing after is overwritten. A hold reaching into the
// span from before stretches with it, since its tail is warped like any other
// row. Quantize moves each head in the span and its hold's tail to the
// nearest cell (ties to the earlier); a hold that quantizes to no length
// becomes a tap at its head's cell, being at that snap no longer than a tap.
namespace edit {

struct RowSpan {
    std::int32_t begin = 0;
    std::int32_t end = 0; // rows [begin, end)
    bool Empty() const { return end <= begin; }
    friend bool operator==(const RowSpan&, const RowSpan&) = default;
};

enum class Transform : std::uint8_t {
    Mirror,
    FlipLeftRight,
    FlipUpDown,
    RotateLeft,
    RotateRight,
    Shuffle,
    SwapPads,
    Expand1to2,
    Compress2to1,
    Expand2to3,
    Compress3to2,
    Quantize
};

inline constexpr std::array<Transform, 12> kAllTransforms = {
    Transform::Mirror,     Transform::FlipLeftRight, Transform::FlipUpDown,
    Transform::RotateLeft, Transform::RotateRight,   Transform::Shuffle,
    Transform::SwapPads,   Transform::Expand1to2,    Transform::Compress2to1,
    Transform::Expand2to3, Transform::Compress3to2,  Transform::Quantize};

// The menu item and undo text: "Mirror", "Flip Left-Right", ... "Quantize".
std::string_view TransformName(Transform t);

// Swap Pads needs two pads (DOUBLE, COUPLE); every other transform applies
// to every style.
bool TransformApplies(chart::ChartStyle style, Transform t);

struct TransformResult {
    NoteEdit edit;
    RowSpan span; // the selection after: the warped span for expand/compress
};

// Nothing when the chart would not change, the span is empty or out of the
// chart's rows, or the transform does not apply to the style. cellRows is
// Quantize's cell; Shuffle draws from random.
std::optional<TransformResult> TransformEdit(const chart::SongChart& chart, RowSpan span,
                                             Transform t, std::int32_t cellRows,
                                             chart::StepRandom& random);

} // namespace edit

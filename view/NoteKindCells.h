#pragma once

#include <QImage>

// The step view's pictures of the note kinds beyond taps and holds, drawn
// from the note sheet's own cells so that they keep its arrows and rhythm
// colours: rows appended below the sheet's twelve, in its 16 x 16 cells.
namespace view {

inline constexpr int kSheetColours = 9; // the rows of edit::NoteColour
// A lift is its arrow drawn hollow: outline and a ring of its colour
// inside, white within.
inline constexpr int kLiftFirstRow = 12;
// A fake (and a note that only sounds) is its arrow faded two thirds of the
// way to white: seen, never stepped on.
inline constexpr int kFakeFirstRow = kLiftFirstRow + kSheetColours;
// A roll's body and tail: the hold's outline with amber chevrons for its
// green.
inline constexpr int kRollBodyRow = kFakeFirstRow + kSheetColours;
inline constexpr int kRollTailRow = kRollBodyRow + 1;
// A mine: a dark disc in a red ring, the same in every column.
inline constexpr int kMineRow = kRollTailRow + 1;

// The note sheet (res::kNoteSheet, 32-bit RGB) with those rows appended.
QImage WithNoteKindCells(const QImage& sheet);

} // namespace view

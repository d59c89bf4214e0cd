#pragma once

#include "chart/Song.h"
#include "edit/NoteEdits.h"
#include "edit/Transforms.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Copy and paste of rows. On the desktop clipboard the rows travel as a .dwi
// chart record, so a paste into a text editor gives a record a .dwi file
// takes, and steps typed or copied from a file paste back in.
namespace edit {

struct ClipRows {
    chart::ChartStyle style = chart::ChartStyle::Single;
    // The rows the clip covers: the span's length, or up to a hold's tail
    // where one passes the span's end (the text must show that tail).
    std::int32_t rows = 0;
    std::vector<chart::Note> notes; // heads relative to the span's first row, sorted
    friend bool operator==(const ClipRows&, const ClipRows&) = default;
};

// The notes whose heads lie in the span, holds whole.
ClipRows CopyRows(const chart::SongChart& chart, RowSpan span);

// "#SINGLE:<difficulty>:<rating>:<steps>;" (DOUBLE and COUPLE: two step
// fields) in the file's notation, covering exactly clip.rows rows. A clip
// holding rolls, mines, lifts, fakes or keysounds, which .dwi steps cannot
// hold, is a .sm "#NOTES:" chart instead, its description "<rows> rows".
std::string ClipText(const ClipRows& clip, std::string_view difficulty, std::uint32_t rating);

// A chart record, .dwi or .sm (the first when there are several; its style
// from its key or steps type),
// or bare steps read as SINGLE. Nothing when the text holds no chart: no
// record and something other than steps, or no rows at all. Reads what
// ClipText wrote back to the same clip.
std::optional<ClipRows> ParseClipText(std::string_view text);

inline constexpr std::string_view kNotAChartMessage = "The clipboard holds no steps to paste.";

// Pastes at atRow: the heads of [atRow, atRow + clip.rows) go, the clip's
// notes come in, each replacing what it overlaps in its column as
// chart::NoteData::Set does (a hold from before goes when a pasted note
// lands inside it); the chart grows to cover the pasted rows. Across styles:
// SINGLE into DOUBLE or COUPLE fills the first pad; DOUBLE and COUPLE paste
// into each other as they are; SINGLE into SOLO lands on SOLO's four
// straight arrows, and SOLO into a four-panel style the same way back, when
// the clip uses no diagonal. Anything else is wider than the chart and is
// refused: nothing, with refusal set to the message for the user. Nothing
// with refusal empty when the paste changes nothing. Text "Paste".
std::optional<NoteEdit> PasteEdit(const chart::SongChart& chart, std::int32_t atRow,
                                  const ClipRows& clip, std::string& refusal);

// Every head in the span goes; holds from before stay. Text "Cut".
std::optional<NoteEdit> CutEdit(const chart::SongChart& chart, RowSpan span);

} // namespace edit

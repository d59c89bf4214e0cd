#pragma once

#include "chart/Song.h"

#include <cstdint>
#include <optional>
#include <string_view>

// Moving through a chart by its notes, and the "Go To" place an author
// types.
namespace edit {

// The first head row after row; nothing past the last note.
std::optional<std::int32_t> NextNoteRow(const chart::SongChart& chart, std::int32_t row);
// The last head row before row; nothing before the first note.
std::optional<std::int32_t> PreviousNoteRow(const chart::SongChart& chart, std::int32_t row);

// The song time of a typed place, case and surrounding blanks ignored:
// "12", "b12" or "beat 12.5" is a beat; "m5" or "measure 5" the first beat
// of that measure (measures of four beats from beat 0, numbered from 1, as
// chart/MeasurePlace.h counts, so "m0" is the count-in); "83.2s" or
// "1:05.25" song seconds. Beats go through the song's timing, stops and
// tempo changes included. Nothing for text it cannot read or a place the
// timing cannot give. Given a chart with its own timing (.ssc), beats go
// through that.
std::optional<double> GoToSeconds(const chart::Song& song, std::string_view text,
                                  const chart::SongChart* chart = nullptr);

} // namespace edit

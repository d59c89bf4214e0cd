#pragma once

#include "chart/Song.h"

#include <cstdint>
#include <string>
#include <string_view>

// The step notation of .dwi charts, both ways.
//
// Reading: each step character takes an 8th (24 rows); "(..)" 16ths,
// "[..]" 24ths, "{..}" 64ths and "`..'" 192nds change that until their
// closing character, which returns to 8ths whichever bracket was open (the
// game readers do not nest them). "<..>" puts its characters on one row.
// "X!Y" shows X and starts holds on Y's arrows; a hold ends at the next
// arrow in its column, which is then no tap. A hold that never ends is read
// as a tap. White space and characters that are no step are skipped.
namespace dwi {

// Reads one pad's steps into notes at columnOffset.. of the chart's style.
// Returns the rows the text covers.
std::int32_t ReadPadSteps(std::string_view text, chart::ChartStyle style, std::uint8_t columnOffset,
                          chart::NoteData& notes);

// Reads a chart's step fields (one, or two pads for DOUBLE and COUPLE).
void ReadChartSteps(const std::string* pad1, const std::string* pad2, chart::SongChart& chart);

// True when the chart is what one plain character per 8th can write: a
// SINGLE chart, no holds, every note on an 8th, at most two arrows a row.
bool IsPlainEighths(const chart::SongChart& chart);

// One character per 8th, no line breaks; for charts IsPlainEighths accepts.
std::string PlainEighths(const chart::SongChart& chart);

// The shortest notation for one pad: plain 8ths where the notes allow, the
// coarsest bracket each half-beat needs otherwise, "<..>" for three or more
// arrows on a row, "!" for holds; one measure per line, lines joined with
// lineEnd.
std::string WritePadSteps(const chart::SongChart& chart, std::uint8_t columnOffset,
                          std::string_view lineEnd);

} // namespace dwi

#pragma once

#include "chart/NoteData.h"

#include <cstdint>
#include <string>
#include <string_view>

// The note notation of .sm and .ssc charts: measures separated by ",", one
// line a row, one character a column ("0" empty, "1" tap, "2"/"4" hold/roll
// head, "3" their tail, "M" mine, "L" lift, "F" fake, "K" auto-keysound),
// "[n]" after a note naming its keysound, ".ssc" "{...}" attack blocks.
namespace sm {

// Columns of a steps type as the games define them ("dance-single" 4,
// "pump-double" 10...); 0 for a type they do not know. Case is ignored.
std::uint8_t ColumnsOfStepsType(std::string_view stepsType);

// Charts of unknown types wider than this are cut: no game has more.
inline constexpr std::uint8_t kMaxColumns = 64;

struct DecodedNotes {
    chart::NoteData notes;
    // Measures the text holds * 192, empty ones included.
    std::int32_t lengthRows = 0;
};

// Reads the notes as the games do: a measure of n rows puts row r at
// r * 192 / n rounded to the nearest row (ties to even); empty lines and
// empty measures (",,") are skipped, and a measure holding only white space
// still counts. A tail closes the hold or roll whose head is the last note
// of its column before it (auto-keysounds are passed over and dropped);
// a tail that finds no such head is ignored, and a head no tail closes is
// dropped with it. Text after "&" (a second player's notes) is not read.
// columns 0 takes the count from the first row's width.
DecodedNotes DecodeNotes(std::string_view text, std::uint8_t columns);

// The rows per measure a measure is written with: the coarsest of 4, 6, 8,
// 12, 16, 24, 32, 48, 64, 96 and 192 that holds its heads and tails exactly.
int RowsPerMeasure(const chart::NoteData& notes, std::int32_t measure);

// Every measure the notes or lengthRows reach, each row on its own line
// ending in lineEnd, measures separated by "," lines; empty for none.
std::string EncodeNotes(const chart::NoteData& notes, std::int32_t lengthRows,
                        std::string_view lineEnd);

} // namespace sm

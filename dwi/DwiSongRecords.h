#pragma once

#include "chart/Song.h"
#include "dwi/DwiRecords.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How the song reader interprets a record; the writer asks the same
// questions to tell whether a kept record still says what the song holds.
namespace dwi::detail {

// Without leading and trailing white space.
std::string_view Trimmed(std::string_view text);
// The value as a float; none when it is not finite or out of float's range.
std::optional<float> FiniteFloat(double value);
// A value for a report, cut after 40 bytes (a damaged record can be
// kilobytes).
std::string Quoted(std::string_view text);
// Adds "what (rule)" to leftOut when there is one.
void LeaveOut(std::vector<std::string>* leftOut, const std::string& what, const char* rule);
// Within the editor's BPM range.
bool UsableBpm(double bpm);

// The fields joined back with ":", as the record had them.
std::string JoinFields(const std::vector<std::string>& fields);

// The chart a "#SINGLE:"-style record holds; none for other keys or too few
// fields.
std::optional<chart::SongChart> ChartOfRecord(const Record& span);

// Applies a record to the song; false when the song does not interpret it
// (values the editor cannot work with are then added to leftOut).
bool ApplyRecord(const Record& span, chart::Song& song,
                 std::vector<std::string>* leftOut = nullptr);

} // namespace dwi::detail

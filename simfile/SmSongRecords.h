#pragma once

#include "chart/Song.h"
#include "dwi/DwiSongRecords.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How the .sm/.ssc reader interprets a record; the writer asks the same
// questions to tell whether a kept record still says what the song holds.
namespace sm::detail {

// ".ssc" files before 0.7 wrote a warp's end beat, not its length.
inline constexpr double kCurrentSscVersion = 0.83;
inline constexpr double kRelativeWarpsVersion = 0.7;

using dwi::detail::Trimmed;

// Song tags read for the song itself; "FREEZES" is an old name of "STOPS".
bool IsSongKey(std::string_view key, chart::SongFormat flavor);
// The tag's place in the song: "STOPS" for "FREEZES", the key otherwise.
std::string_view SlotOf(std::string_view key);

// Applies a song tag; false when the song does not take it (then the record
// stays text; values the editor cannot work with go to leftOut).
bool ApplySongRecord(std::string_view key, const std::vector<std::string>& fields,
                     chart::Song& song, double version, std::vector<std::string>* leftOut);

// ".sm" files say warps with negative tempos and stops (and tempos past
// 9999999): the games read #BPMS and #STOPS together and turn them into
// warps, positive tempos and stops, as this does. A song without such values
// stays as it is.
void ResolveSmWarps(chart::Song& song);

// ".ssc" chart block tags: "#NOTEDATA:;" opens the block, "#NOTES:" ends it.
bool IsChartBlockKey(std::string_view key);
bool IsChartTimingKey(std::string_view key);

// The chart of a ".sm" "#NOTES" record; none when it has too few values.
std::optional<chart::SongChart> ChartOfSmNotes(const std::vector<std::string>& fields);

// Applies a tag of an ".ssc" chart block to its chart; song gives the
// timing a chart with its own starts from. False when not interpreted.
bool ApplyChartRecord(std::string_view key, const std::vector<std::string>& fields,
                      chart::SongChart& chart, const chart::Song& song, double version,
                      std::vector<std::string>* leftOut);

// The ".ssc" version a "#VERSION" gives; the current one for no value.
double ParseVersion(const std::vector<std::string>& fields);

// Shortest texts that read back to the same value.
std::string FloatText(float value);
std::string DoubleText(double value);
// Milliseconds as the seconds the file holds.
std::string SecondsText(double milliseconds);

// The value texts of the timing tags; version decides how warps are written.
template <typename Timing> std::string BpmsText(const Timing& timing);
template <typename Timing> std::string StopsText(const Timing& timing);
template <typename Timing> std::string DelaysText(const Timing& timing);
template <typename Timing> std::string WarpsText(const Timing& timing, double version);

// The chart's steps type; a pad chart without one (made from a .dwi) gets
// its style's ("dance-single"), a chart of another game keeps its own.
std::string StepsTypeText(const chart::SongChart& chart, bool otherGame);

} // namespace sm::detail

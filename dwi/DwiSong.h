#pragma once

#include "chart/Song.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The whole song document to and from .dwi text.
//
// Reading keeps every record's text. Writing a song that was read puts each
// record back where it was: byte for byte when the document still means what
// the record says, written anew in place when the user changed it, dropped
// when its chart was deleted; records the document needs and the file did
// not have go before the first chart (tempo changes, stops, a title...) or
// after the last one (new charts). A song never read from a file is written
// in the program's own layout: "#STATUS:NEW", title, artist, BPM, Gap, then
// any tempo changes and stops, the preview sample, and each chart (one
// unbroken line of 8ths where the chart allows, one measure a line
// otherwise).
//
// BPM, Gap and the preview bounds are written with 6, 3 (milliseconds) and 5
// decimals; tempo changes and stops with the fewest digits that read back
// exactly.
namespace dwi {

// The values the editor works with; others are left out of the song (their
// records kept as text) and reported.
inline constexpr double kMinBpm = 0.01;
inline constexpr double kMaxBpm = 10000.0;
inline constexpr double kMaxGapMs = 3'600'000.0;
inline constexpr double kMaxStopMs = 3'600'000.0;

// Linear in the size of the text. Each value left out is added to leftOut
// as "#KEY:value (why)".
chart::Song ReadSong(std::string_view bytes, std::vector<std::string>* leftOut = nullptr);

std::string WriteSong(const chart::Song& song);

struct SongFile {
    chart::Song song;
    std::string error;                // empty on success; otherwise names the file and the reason
    std::vector<std::string> leftOut; // as ReadSong reports them
};
// Refuses a file none of whose records is one of the format.
SongFile ReadSongFile(const std::string& path);

// True when the song read holds at least one record of the format.
bool HoldsDwiRecords(const chart::Song& song);
std::string NotDwiMessage(const std::string& path);

// One message naming the file and every value left out; empty for none.
std::string LeftOutMessage(const std::string& path, const std::vector<std::string>& leftOut);

// Writes atomically; the reason on failure (the old file is then intact).
[[nodiscard]] std::optional<std::string> SaveSong(const std::string& path, const chart::Song& song);

// The value of the last record with this key that the song keeps as text
// (#FILE, #GENRE...); none when the file has no such record.
std::optional<std::string> KeptRecordValue(const chart::Song& song, std::string_view upperKey);

// The Gap in milliseconds and the BPM as the file writes them, for reports.
std::optional<double> RecordNumber(const chart::Song& song, std::string_view upperKey);

} // namespace dwi

#pragma once

#include "chart/Song.h"

#include <optional>
#include <string>
#include <string_view>

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

// Linear in the size of the text.
chart::Song ReadSong(std::string_view bytes);

std::string WriteSong(const chart::Song& song);

struct SongFile {
    chart::Song song;
    std::string error; // empty on success; otherwise names the file and the reason
};
SongFile ReadSongFile(const std::string& path);

// Writes atomically; the reason on failure (the old file is then intact).
[[nodiscard]] std::optional<std::string> SaveSong(const std::string& path, const chart::Song& song);

// The value of the last record with this key that the song keeps as text
// (#FILE, #GENRE...); none when the file has no such record.
std::optional<std::string> KeptRecordValue(const chart::Song& song, std::string_view upperKey);

// The Gap in milliseconds and the BPM as the file writes them, for reports.
std::optional<double> RecordNumber(const chart::Song& song, std::string_view upperKey);

} // namespace dwi

#pragma once

#include "chart/Song.h"
#include "dwi/DwiSong.h"

#include <optional>
#include <string>
#include <vector>

// Song files of the three formats behind one door: the format is chosen by
// the file's extension, and a song is written in the format it carries.
namespace sm {

// .sm and .ssc by extension; anything else is read as .dwi, as it always
// was. Refuses a file none of whose records is one of its format.
dwi::SongFile ReadAnySongFile(const std::string& path);

// song.format's writer.
std::string WriteAnySong(const chart::Song& song);
// Writes atomically; the reason on failure (the old file is then intact).
[[nodiscard]] std::optional<std::string> SaveAnySong(const std::string& path,
                                                     const chart::Song& song);

// What saving the song in its own format would drop, counted as the
// conversion counts ("2 warps"): a .sm holds warps only as the negative
// values of the records it was read from, so they go once its timing is
// written anew. Empty for the other formats and when nothing goes.
std::vector<std::string> SaveLosses(const chart::Song& song);

// True when the file gave the song a usable tempo (#BPM in .dwi, #BPMS in
// .sm/.ssc); a song without one plays at a stand-in.
bool HasOwnTempo(const chart::Song& song);

// The name of the song's music as the file gives it: #MUSIC in .sm/.ssc,
// #FILE in .dwi; none when the file names none.
std::optional<std::string> MusicRecord(const chart::Song& song);

} // namespace sm

#pragma once

#include "chart/Song.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The whole song document to and from .sm and .ssc text, built like the
// .dwi reader and writer: one linear pass; every record the user did not
// change written back byte for byte (comments, blank lines and unknown tags
// included), a changed record rewritten in place, records the document
// needs and the file lacks added; a song never read from a file written in
// the program's own layout (with its kept records after the song's tags).
namespace sm {

// flavor is SongFormat::Sm or SongFormat::Ssc; the song read carries it.
// Each value left out is added to leftOut as "#KEY:value (why)".
chart::Song ReadSong(std::string_view bytes, chart::SongFormat flavor,
                     std::vector<std::string>* leftOut = nullptr);

// Writes song.format (Sm or Ssc).
std::string WriteSong(const chart::Song& song);

} // namespace sm

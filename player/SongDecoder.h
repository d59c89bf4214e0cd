#pragma once

#include "player/SongPcm.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace player {

// A decoded song, or the message that says why the file cannot be played.
struct SongDecodeResult {
    std::optional<SongPcm> song;
    std::string error;
};

// Decodes a whole MP3, WAV or Ogg Vorbis file (chosen by the extension) for
// playback, from the first sample on: song time 0 is the first sample the
// decoder puts out, exactly where the games that play our charts start.
// WAV and Ogg go through audio/'s decoder. MP3 is decoded here with
// libmpg123 to the games' rules:
// - no gapless trimming: the encoder delay and padding stay in, so the
//   decoder's own delay is part of the song as it is in the games;
// - the first frame's Xing/Info tag is treated as StepMania's MP3 reader
//   treats it: a "Xing" frame (VBR files) is a header and decodes to
//   nothing; an "Info" frame (CBR files) is decoded as an ordinary frame,
//   i.e. one frame of silence (1152 samples for MPEG-1 Layer III) before the
//   music, as the decoder the DWI format grew up with did.
SongDecodeResult DecodeSong(const std::string& path);

// Which tag the first MPEG audio frame of an MP3 file carries.
enum class Mp3InfoTag { kNone, kXing, kInfo };

// Looks at the first frame header in `afterId3v2` (the file's bytes after
// its ID3v2 tag; a few kilobytes are enough).
Mp3InfoTag FindMp3InfoTag(std::span<const std::uint8_t> afterId3v2);

// The length of the ID3v2 tag (header, body, footer) that starts `head`, or
// 0 when there is none. Looks at the first 10 bytes.
std::size_t Id3v2TagBytes(std::span<const std::uint8_t> head);

} // namespace player

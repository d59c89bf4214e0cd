#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace audio {

// kFlac covers native FLAC and Ogg FLAC; kOgg is Ogg Vorbis.
enum class SongType { kNone = -1, kMp3 = 0, kWav = 1, kOgg = 2, kFlac = 3, kOpus = 4 };

// The song type named by the text from the path's last '.' on, compared
// without regard to case; kNone without a dot or for any other extension.
// ".oga" is Ogg Vorbis by name; its content may say FLAC.
SongType SongTypeFromPath(const std::string& path);

// kFlac or kOpus when the first bytes of a file (after any ID3v2 tag) say
// so: "fLaC", or an Ogg page whose first packet is a FLAC or Opus head;
// kNone otherwise. MP3, WAV and Vorbis are not told by content:
// they go by the extension as they always have.
SongType SongTypeFromContent(const std::uint8_t* head, std::size_t size);

// The bytes SongTypeFromContent looks at: a first Ogg page's header with
// the longest segment table, and a little of its first packet.
inline constexpr std::size_t kHeadBytes = 27 + 255 + 16;

// Up to kHeadBytes from the end of any ID3v2 tag on (libFLAC skips such a
// tag too); the file is left rewound. A tag's size is taken from its
// header, not read, so a huge one costs nothing.
std::vector<std::uint8_t> ReadHead(std::FILE* file);

// How every reader chooses its decoder: the content's type where it names
// one, else the extension's.
SongType SongTypeOf(const std::string& path);

} // namespace audio

#pragma once

#include "audio/AudioError.h"

#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// A whole song as interleaved signed 16-bit samples.
struct DecodedSong {
    std::vector<std::int16_t> samples;
    int sampleRate = 0;
    int channels = 0;
};

// Decodes every sample of an MP3, WAV, Ogg Vorbis, FLAC or Opus file
// (chosen by SongTypeOf, as for the tempo run) for playback. Sample 0 is song time 0:
// the first sample the format's decoder puts out, where the games that play
// our charts start too, so nothing is trimmed. Rate and channel count are
// those of the first frame; decoding stops where they change. A file that
// yields no sample is an error. WAV samples of 8, 24 and 32 bits become
// 16-bit, as do FLAC samples of any width (their top 16 bits). Opus is
// always 48 kHz.
//
// MP3 is decoded by libmpg123 to the games' rules:
// - gapless decoding off: the encoder delay and padding stay in, so with
//   LAME the music starts 576 + 529 samples after time 0;
// - the first frame's Xing/Info tag is treated as StepMania's MP3 reader
//   treats it: a "Xing" frame (VBR files) is a header and decodes to
//   nothing; an "Info" frame (CBR files) decodes as the ordinary frame it
//   is, i.e. one frame of silence (1152 samples for MPEG-1 Layer III)
//   before the music.
Result<DecodedSong> DecodeWholeFile(const std::string& path);

} // namespace audio

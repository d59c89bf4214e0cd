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

// Decodes every sample of an MP3, WAV or Ogg Vorbis file (chosen by the
// extension, as for the tempo run) for playback. Rate and channel count are
// those of the first frame; decoding stops where they change. MP3 drops only
// the encoder delay and padding its info frame declares, so sample 0 is the
// song's time 0. WAV samples of 8, 24 and 32 bits become 16-bit.
Result<DecodedSong> DecodeWholeFile(const std::string& path);

} // namespace audio

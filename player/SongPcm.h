#pragma once

#include <cstdint>
#include <vector>

namespace player {

// A whole decoded song: interleaved signed 16-bit samples from the song's
// first frame on (song time 0 is frames[0]).
struct SongPcm {
    std::vector<std::int16_t> samples;
    int sampleRate = 0;
    int channels = 0;

    std::int64_t Frames() const {
        return channels > 0 ? static_cast<std::int64_t>(samples.size()) / channels : 0;
    }
};

} // namespace player

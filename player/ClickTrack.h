#pragma once

#include "player/SongPcm.h"

namespace player {

// A stereo song of `seconds` that clicks at firstClickSeconds and every
// intervalSeconds after: a 5 ms 1 kHz burst starting at full swing on its
// first sample, so the click's onset can be found to the sample. Silence in
// between.
SongPcm MakeClickTrack(double seconds, double firstClickSeconds, double intervalSeconds,
                       int sampleRate = 44100);

// The track the author taps along to when calibrating: 120 BPM, long
// enough for any number of taps worth making.
struct CalibrationTrack {
    static constexpr double kSeconds = 60.0;
    static constexpr double kFirstClickSeconds = 1.0;
    static constexpr double kIntervalSeconds = 0.5; // 120 BPM
    static SongPcm Make() { return MakeClickTrack(kSeconds, kFirstClickSeconds, kIntervalSeconds); }
};

} // namespace player

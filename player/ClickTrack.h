#pragma once

#include "player/SongPcm.h"

namespace player {

// A stereo song of `seconds` that clicks at firstClickSeconds and every
// intervalSeconds after: a 5 ms 1 kHz burst starting at full swing on its
// first sample, so the click's onset can be found to the sample. Silence in
// between.
SongPcm MakeClickTrack(double seconds, double firstClickSeconds, double intervalSeconds,
                       int sampleRate = 44100);

} // namespace player

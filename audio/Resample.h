#pragma once

#include "audio/DecodeWholeFile.h"

namespace audio {

// The highest rate SoundTouch's time-stretcher takes.
inline constexpr int kMaxStretchRate = 192000;

// The rate a song of `sampleRate` is played at: its own up to
// kMaxStretchRate, half of it (rounded up) above, so 352.8 and 384 kHz
// become 176.4 and 192 kHz.
int PlaybackRateFor(int sampleRate);

// Converts the song to `targetRate` in place with libsamplerate, a block at
// a time (the float copy never holds the whole song). False, with the song
// untouched, when libsamplerate refuses. May throw std::bad_alloc.
bool ResampleSong(DecodedSong& song, int targetRate);

} // namespace audio

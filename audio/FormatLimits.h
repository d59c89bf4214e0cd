#pragma once

#include <cstdint>

namespace audio {

// What the program plays and analyses. Each reader checks a file's format
// against these before anything is reserved or handed to SoundTouch or SDL;
// anything outside gets the unsupported-sample-format message.
//
// 8 kHz is the lowest MPEG rate and the lowest the beat detector takes;
// 384 kHz the highest studio rate. Songs above the time-stretcher's 192 kHz
// are resampled for playback (player/). Eight channels is 7.1, the most SDL
// outputs; the beat detector mixes anything above two down to mono.
inline constexpr long kMinSampleRate = 8000;
inline constexpr long kMaxSampleRate = 384000;
inline constexpr long kMinChannels = 1;
inline constexpr long kMaxChannels = 8;

inline constexpr bool IsSupportedFormat(std::int64_t sampleRate, std::int64_t channels) {
    return sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate &&
           channels >= kMinChannels && channels <= kMaxChannels;
}

} // namespace audio

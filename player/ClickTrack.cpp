#include "player/ClickTrack.h"

#include <cmath>
#include <numbers>

namespace player {

SongPcm MakeClickTrack(double seconds, double firstClickSeconds, double intervalSeconds,
                       int sampleRate) {
    constexpr int kChannels = 2;
    constexpr double kClickSeconds = 0.005;
    constexpr double kClickHz = 1000.0;
    constexpr double kAmplitude = 24000.0;
    const auto frames = static_cast<std::size_t>(seconds * sampleRate);
    SongPcm song;
    song.sampleRate = sampleRate;
    song.channels = kChannels;
    song.samples.assign(frames * kChannels, 0);
    const auto clickFrames = static_cast<std::size_t>(kClickSeconds * sampleRate);
    for (double at = firstClickSeconds; at < seconds; at += intervalSeconds) {
        const auto start = static_cast<std::size_t>(std::llround(at * sampleRate));
        for (std::size_t i = 0; i < clickFrames && start + i < frames; ++i) {
            // Cosine: full swing on the first sample.
            const double phase = 2.0 * std::numbers::pi * kClickHz * static_cast<double>(i) /
                                 static_cast<double>(sampleRate);
            const auto value = static_cast<std::int16_t>(std::lround(kAmplitude * std::cos(phase)));
            song.samples[(start + i) * kChannels] = value;
            song.samples[(start + i) * kChannels + 1] = value;
        }
    }
    return song;
}

} // namespace player

#include "audio/Resample.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <numbers>

namespace {

audio::DecodedSong Sine(double hz, double seconds, int rate, int channels) {
    audio::DecodedSong song;
    song.sampleRate = rate;
    song.channels = channels;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    for (std::size_t i = 0; i < frames; ++i) {
        const double value =
            16000.0 * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c) {
            song.samples.push_back(static_cast<std::int16_t>(std::lround(value)));
        }
    }
    return song;
}

TEST(Resample, HighRatesPlayAtHalfTheirRate) {
    EXPECT_EQ(audio::PlaybackRateFor(44100), 44100);
    EXPECT_EQ(audio::PlaybackRateFor(192000), 192000);
    EXPECT_EQ(audio::PlaybackRateFor(352800), 176400);
    EXPECT_EQ(audio::PlaybackRateFor(384000), 192000);
    EXPECT_EQ(audio::PlaybackRateFor(192001), 96001);
}

// A 1 kHz sine at 384 kHz comes out at 192 kHz as the same sine: half the
// frames, the same number of cycles, the same level, and the channels kept
// apart and whole.
TEST(Resample, KeepsLengthPitchAndLevel) {
    audio::DecodedSong song = Sine(1000.0, 0.5, 384000, 3);
    const std::size_t inFrames = song.samples.size() / 3;
    ASSERT_TRUE(audio::ResampleSong(song, 192000));
    EXPECT_EQ(song.sampleRate, 192000);
    ASSERT_EQ(song.samples.size() % 3, 0u);
    const std::size_t frames = song.samples.size() / 3;
    // The converter's filter delay may cost a few frames at the end.
    EXPECT_NEAR(static_cast<double>(frames), static_cast<double>(inFrames) / 2, 64.0);
    int crossings = 0;
    int peak = 0;
    // Away from the ends, where the filter rings in and out.
    for (std::size_t i = 1000; i + 1000 < frames; ++i) {
        const int now = song.samples[3 * i + 1];
        const int before = song.samples[3 * (i - 1) + 1];
        crossings += (before < 0) != (now < 0) ? 1 : 0;
        peak = std::max(peak, std::abs(now));
        EXPECT_EQ(song.samples[3 * i], now);
    }
    const double seconds = static_cast<double>(frames - 2000) / 192000;
    // Two crossings per cycle, give or take the cycle cut at each end.
    EXPECT_NEAR(crossings, 2.0 * 1000.0 * seconds, 2.0);
    // A pass-band sine keeps its level to within 1 %.
    EXPECT_NEAR(peak, 16000, 160);
}

} // namespace

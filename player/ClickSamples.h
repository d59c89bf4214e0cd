#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace player {

// A click sound as loaded: interleaved signed 16-bit samples.
struct ClickPcm {
    std::vector<std::int16_t> samples;
    int sampleRate = 0;
    int channels = 0;
};

// The built-in click, our own resource: a short synthesized tick stored as
// 8-bit unsigned mono PCM (128 = silence) at 11127 Hz, 625 samples (56 ms).
inline constexpr int kBuiltInClickRate = 11127;
inline constexpr std::size_t kBuiltInClickSamples = 625;
std::array<std::uint8_t, kBuiltInClickSamples> BuiltInClickResource();

// The resource widened to 16 bits.
ClickPcm BuiltInClick();

// The note tick: a 25 ms clap of high-passed noise, mono at `sampleRate`,
// distinct from the click's tone. Its first sample is its loudest, so its
// onset is exact to the sample.
ClickPcm BuiltInTick(int sampleRate);

// A PCM WAV file of any rate, sample width (8 to 32 bits) and channel count;
// none when the file is missing or is not a readable integer-PCM WAV.
std::optional<ClickPcm> LoadClickWav(const std::string& path);

// The WAV at `path` when it is usable, else the built-in click.
ClickPcm LoadClickOrBuiltIn(const std::string& path);

// The click in the output format, ready for the audio callback to add to
// the song: resampled by linear interpolation; a channel count other than
// the output's is mixed down to mono and copied to every output channel.
std::vector<std::int16_t> ConvertClick(const ClickPcm& click, int sampleRate, int channels);

} // namespace player

#include "player/ClickSamples.h"

#include "audio/FormatLimits.h"
#include "audio/WavReader.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace player {

namespace {

// A click longer than this is cut here: it would only hold off the next one.
constexpr std::size_t kMaxClickBytes = std::size_t{8} << 20;

std::int16_t WidenSample(const std::uint8_t* bytes, int bytesPerSample) {
    if (bytesPerSample == 1) {
        return static_cast<std::int16_t>((bytes[0] - 128) * 256); // 8-bit WAV is unsigned
    }
    // Little-endian, signed: the two most significant bytes are the last two.
    const int high = static_cast<std::int8_t>(bytes[bytesPerSample - 1]);
    const int low = bytes[bytesPerSample - 2];
    return static_cast<std::int16_t>(high * 256 + low);
}

} // namespace

std::array<std::uint8_t, kBuiltInClickSamples> BuiltInClickResource() {
    // A 2.2 kHz tone with a hint of its lower octave, struck at full level
    // and dying away with a 6 ms time constant: a dry tick that cuts through
    // music without sounding like part of it.
    constexpr double kToneHz = 2200.0;
    constexpr double kDecaySeconds = 0.006;
    constexpr double kPeak = 0.9;
    std::array<std::uint8_t, kBuiltInClickSamples> samples{};
    for (std::size_t n = 0; n < samples.size(); ++n) {
        const double t = static_cast<double>(n) / kBuiltInClickRate;
        const double phase = 2.0 * std::numbers::pi * kToneHz * t;
        const double value = kPeak * std::exp(-t / kDecaySeconds) *
                             (0.8 * std::sin(phase) + 0.2 * std::sin(phase / 2));
        samples[n] = static_cast<std::uint8_t>(128 + std::lround(127.0 * value));
    }
    return samples;
}

ClickPcm BuiltInClick() {
    ClickPcm click;
    click.sampleRate = kBuiltInClickRate;
    click.channels = 1;
    for (const std::uint8_t sample : BuiltInClickResource()) {
        click.samples.push_back(WidenSample(&sample, 1));
    }
    return click;
}

ClickPcm BuiltInTick(int sampleRate) {
    // Noise through a first difference (a high-pass: a hand clap's crack,
    // nothing of a pitch), dying away with a 5 ms time constant, so the
    // tail is near silence by 25 ms and the next tick starts clean.
    constexpr double kSeconds = 0.025;
    constexpr double kDecaySeconds = 0.005;
    constexpr double kPeak = 0.7 * 32767; // leaves room for the click and the song
    ClickPcm tick;
    tick.sampleRate = sampleRate;
    tick.channels = 1;
    tick.samples.resize(static_cast<std::size_t>(std::lround(kSeconds * sampleRate)));
    std::uint32_t state = 0x2545F491; // xorshift32: the same clap every time
    double previous = 0.0;
    for (std::size_t n = 0; n < tick.samples.size(); ++n) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const double noise = static_cast<double>(state) / 2147483648.0 - 1.0;
        const double t = static_cast<double>(n) / sampleRate;
        // The first sample is struck at full level whatever the noise says.
        const double value = n == 0 ? 1.0 : 0.5 * (noise - previous);
        previous = noise;
        tick.samples[n] =
            static_cast<std::int16_t>(std::lround(kPeak * std::exp(-t / kDecaySeconds) * value));
    }
    return tick;
}

std::optional<ClickPcm> LoadClickWav(const std::string& path) {
    audio::Result<audio::CWavReader> opened = audio::CWavReader::Open(path);
    if (!opened) {
        return std::nullopt;
    }
    audio::CWavReader& reader = opened.value();
    const int bits = reader.GetNumBits();
    const int channels = reader.GetNumChannels();
    // A click at 2 GHz would be converted to the output rate sample by
    // sample (half a gigabyte): the same bounds as songs.
    if (bits < 8 || bits > 32 || !audio::IsSupportedFormat(reader.GetSampleRate(), channels)) {
        return std::nullopt;
    }
    const auto rate = static_cast<int>(reader.GetSampleRate());
    const int bytesPerSample = (bits + 7) / 8;
    const std::size_t frameBytes = static_cast<std::size_t>(bytesPerSample * channels);
    std::vector<std::uint8_t> bytes(
        std::min<std::size_t>(reader.GetDataSizeInBytes(), kMaxClickBytes) / frameBytes *
        frameBytes);
    bytes.resize(reader.ReadBytes(bytes.data(), bytes.size()) / frameBytes * frameBytes);
    if (bytes.empty()) {
        return std::nullopt;
    }
    ClickPcm click;
    click.sampleRate = rate;
    click.channels = channels;
    click.samples.reserve(bytes.size() / static_cast<std::size_t>(bytesPerSample));
    for (std::size_t i = 0; i < bytes.size(); i += static_cast<std::size_t>(bytesPerSample)) {
        click.samples.push_back(WidenSample(bytes.data() + i, bytesPerSample));
    }
    return click;
}

ClickPcm LoadClickOrBuiltIn(const std::string& path) {
    std::optional<ClickPcm> loaded = LoadClickWav(path);
    return loaded ? std::move(*loaded) : BuiltInClick();
}

std::vector<std::int16_t> ConvertClick(const ClickPcm& click, int sampleRate, int channels) {
    const auto inChannels = static_cast<std::size_t>(click.channels);
    const auto outChannels = static_cast<std::size_t>(channels);
    const std::size_t inFrames = click.samples.size() / inChannels;
    const bool keepChannels = inChannels == outChannels;
    auto sampleAt = [&](std::size_t frame, std::size_t channel) -> double {
        if (frame >= inFrames) {
            return 0.0;
        }
        const std::int16_t* f = click.samples.data() + frame * inChannels;
        if (keepChannels) {
            return f[channel];
        }
        double sum = 0.0;
        for (std::size_t c = 0; c < inChannels; ++c) {
            sum += f[c];
        }
        return sum / static_cast<double>(inChannels);
    };
    const double step = static_cast<double>(click.sampleRate) / sampleRate;
    const auto outFrames =
        static_cast<std::size_t>(std::ceil(static_cast<double>(inFrames) / step));
    std::vector<std::int16_t> out(outFrames * outChannels);
    for (std::size_t j = 0; j < outFrames; ++j) {
        const double position = static_cast<double>(j) * step;
        const auto i = static_cast<std::size_t>(position);
        const double fraction = position - static_cast<double>(i);
        for (std::size_t c = 0; c < outChannels; ++c) {
            const double value = sampleAt(i, c) * (1.0 - fraction) + sampleAt(i + 1, c) * fraction;
            out[j * outChannels + c] =
                static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
        }
    }
    return out;
}

} // namespace player

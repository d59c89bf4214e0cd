#include "TestSignals.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>

namespace testsignals {

namespace {

// Little-endian, as RIFF stores numbers.
void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutChunk(std::vector<std::uint8_t>& out, const WavChunk& chunk) {
    out.insert(out.end(), chunk.label.begin(), chunk.label.end());
    Put(out, static_cast<std::uint32_t>(chunk.body.size()), 4);
    out.insert(out.end(), chunk.body.begin(), chunk.body.end());
    out.resize(out.size() + chunk.body.size() % 2, 0);
}

// 16-bit samples at another PCM width as a WAV file stores them: 8-bit
// unsigned (top byte + 128), 24 and 32-bit signed (sample in the top bytes,
// low bytes zero), little-endian.
std::vector<std::uint8_t> ToWavSampleBytes(const std::vector<std::int16_t>& samples, int bits) {
    std::vector<std::uint8_t> out;
    for (const std::int16_t sample : samples) {
        const auto word = static_cast<std::uint16_t>(sample);
        if (bits == 8) {
            out.push_back(static_cast<std::uint8_t>((word >> 8) ^ 0x80U));
        } else {
            out.resize(out.size() + static_cast<std::size_t>(bits / 8 - 2), 0);
            Put(out, word, 2);
        }
    }
    return out;
}

} // namespace

std::vector<std::int16_t> SynthesizeMusic(double bpm, double seconds, int sampleRate,
                                          int channels) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    constexpr double kAccent[4] = {1.0, 0.8, 1.0, 0.8};
    constexpr double kBassHz[4] = {55.0, 55.0, 73.42, 65.41};
    const auto frames = static_cast<std::size_t>(seconds * sampleRate);
    const auto stride = static_cast<std::size_t>(channels);
    std::vector<std::int16_t> out(frames * stride);
    const double beatSeconds = 60.0 / bpm;
    std::uint32_t noiseState = 12345;
    double kickPhase = 0.0;
    long lastBeat = -1;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double beats = t / beatSeconds;
        const auto beat = static_cast<long>(beats);
        const double sinceBeat = (beats - static_cast<double>(beat)) * beatSeconds;
        kickPhase = beat != lastBeat ? 0.0 : kickPhase;
        lastBeat = beat;
        kickPhase += kTwoPi * (45.0 + 75.0 * std::exp(-sinceBeat * 40.0)) / sampleRate;
        const double kick = kAccent[beat % 4] * std::exp(-sinceBeat * 40.0) * std::sin(kickPhase);
        noiseState = noiseState * 1664525U + 1013904223U;
        const double noise = static_cast<double>(noiseState >> 8) / 8388608.0 - 1.0;
        const double snare = beat % 2 == 1 ? 0.3 * std::exp(-sinceBeat * 35.0) * noise : 0.0;
        const double sinceEighth = std::fmod(beats * 2.0, 1.0) * beatSeconds / 2.0;
        const double hat = 0.1 * std::exp(-sinceEighth * 150.0) * noise;
        const double bass =
            0.2 * std::sin(kTwoPi * kBassHz[(beat / 4) % 4] * t) * std::exp(-sinceBeat * 4.0);
        for (std::size_t c = 0; c < stride; ++c) {
            const double value = 0.5 * (kick + snare + bass) + hat * (c % 2 == 0 ? 0.5 : 0.35);
            out[i * stride + c] = static_cast<std::int16_t>(std::lrint(value * 32767.0));
        }
    }
    return out;
}

std::vector<std::uint8_t> SampleBytes(const std::vector<std::int16_t>& samples) {
    return ToWavSampleBytes(samples, 16);
}

std::vector<std::uint8_t> MakeWav(const WavLayout& layout, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> body{'W', 'A', 'V', 'E'};
    for (const WavChunk& chunk : layout.chunksBeforeFmt)
        PutChunk(body, chunk);
    const std::uint32_t frameBytes = layout.channels * std::uint32_t{layout.bitsPerSample} / 8U;
    std::vector<std::uint8_t> fmt;
    Put(fmt, layout.formatTag, 2);
    Put(fmt, layout.channels, 2);
    Put(fmt, layout.sampleRate, 4);
    Put(fmt, layout.sampleRate * frameBytes, 4);
    Put(fmt, frameBytes, 2);
    Put(fmt, layout.bitsPerSample, 2);
    fmt.resize(layout.fmtLength, 0);
    PutChunk(body, WavChunk{"fmt ", fmt});
    for (const WavChunk& chunk : layout.chunksBeforeData)
        PutChunk(body, chunk);
    body.insert(body.end(), {'d', 'a', 't', 'a'});
    Put(body, layout.dataLengthOverride ? layout.dataLength : std::uint32_t(data.size()), 4);
    body.insert(body.end(), data.begin(), data.end());
    std::vector<std::uint8_t> file{'R', 'I', 'F', 'F'};
    Put(file, static_cast<std::uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

void WriteWav(const std::string& path, const WavLayout& layout,
              const std::vector<std::int16_t>& samples) {
    WriteFile(path, MakeWav(layout, ToWavSampleBytes(samples, layout.bitsPerSample)));
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace testsignals

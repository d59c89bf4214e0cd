#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Audio synthesized for the audio tests, the fixture maker and the benchmark.
namespace testsignals {

// A drum-and-bass pattern at an exact tempo: a pitch-swept kick on every
// beat (stronger on beats 1 and 3), noise snare on 2 and 4, hi-hat on the
// eighths and a bass line changing every bar. Deterministic. Interleaved
// signed 16-bit; channel 0 and the even channels carry a louder hi-hat than
// the odd ones, so no two neighbouring channels are identical.
std::vector<std::int16_t> SynthesizeMusic(double bpm, double seconds, int sampleRate, int channels);

struct WavChunk {
    std::string label; // four characters
    std::vector<std::uint8_t> body;
};

struct WavLayout {
    std::uint16_t formatTag = 1, channels = 2;
    std::uint32_t sampleRate = 44100;
    std::uint16_t bitsPerSample = 16;
    std::uint32_t fmtLength = 16; // more than 16: zero bytes follow the fields
    std::vector<WavChunk> chunksBeforeFmt{}, chunksBeforeData{};
    bool dataLengthOverride = false;
    std::uint32_t dataLength = 0; // used when dataLengthOverride is set
};

// A RIFF/WAVE image. Odd-length chunks get their pad byte, as RIFF wants.
std::vector<std::uint8_t> MakeWav(const WavLayout& layout, const std::vector<std::uint8_t>& data);

std::vector<std::uint8_t> SampleBytes(const std::vector<std::int16_t>& samples);
// A WAV of `samples` stored at the layout's width.
void WriteWav(const std::string& path, const WavLayout& layout,
              const std::vector<std::int16_t>& samples);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFile(const std::string& path);

} // namespace testsignals

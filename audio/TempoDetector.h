#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace soundtouch {
class BPMDetect;
}

namespace audio {

// The detector takes mono or stereo only: more channels are mixed to mono.
int DetectorChannels(int channels);

// Converts `frames` interleaved signed 16-bit little-endian sample frames of
// `channels` channels into detector input (floats in [-1, 1), the scale of
// SoundTouch's float build), mixing down as DetectorChannels says. Writes
// frames × DetectorChannels(channels) floats to `out` and returns that count.
std::size_t ConvertForDetector(const std::uint8_t* s16le, std::size_t frames, int channels,
                               float* out);

// The tempo as the program stores it: a detector result below 100 BPM is
// taken for half the tempo and doubled (0, no beat found, stays 0).
float DoubleSlowTempo(float detectedBpm);

// SoundTouch's beat detector fed with signed 16-bit PCM. Feed every chunk
// of a song in order, then read the tempo once.
class TempoDetector {
public:
    // Null for formats outside FormatLimits.h.
    static std::unique_ptr<TempoDetector> Create(int channels, int sampleRate);
    ~TempoDetector();
    TempoDetector(const TempoDetector&) = delete;
    TempoDetector& operator=(const TempoDetector&) = delete;

    void InputS16(const std::uint8_t* s16le, std::size_t frames);
    // Input already converted by ConvertForDetector.
    void InputConverted(const float* samples, std::size_t frames);

    // Beats per minute as detected, 0 when no beat was found.
    float GetBpm();

private:
    TempoDetector(int channels, std::unique_ptr<soundtouch::BPMDetect> detector);

    int m_channels;
    std::unique_ptr<soundtouch::BPMDetect> m_detector;
    std::vector<float> m_converted;
};

} // namespace audio

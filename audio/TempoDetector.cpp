#include "audio/TempoDetector.h"

#include "audio/FormatLimits.h"

#include <BPMDetect.h>
#include <algorithm>
#include <exception>
#include <type_traits>

namespace audio {

namespace {

static_assert(std::is_same_v<soundtouch::SAMPLETYPE, float>,
              "the detector is fed floats; SoundTouch must be its float build");

// One conversion block: the largest chunk a source hands out, in samples.
constexpr std::size_t kConvertSamples = 18432;

std::int16_t SampleAt(const std::uint8_t* s16le, std::size_t index) {
    return static_cast<std::int16_t>(s16le[2 * index] | s16le[2 * index + 1] << 8);
}

} // namespace

int DetectorChannels(int channels) {
    return channels <= 2 ? channels : 1;
}

std::size_t ConvertForDetector(const std::uint8_t* s16le, std::size_t frames, int channels,
                               float* out) {
    constexpr float kScale = 1.0f / 32768.0f;
    if (channels <= 2) {
        const std::size_t samples = frames * static_cast<std::size_t>(channels);
        for (std::size_t i = 0; i < samples; ++i) {
            out[i] = static_cast<float>(SampleAt(s16le, i)) * kScale;
        }
        return samples;
    }
    const auto stride = static_cast<std::size_t>(channels);
    const float mixScale = kScale / static_cast<float>(channels);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        int sum = 0;
        for (std::size_t c = 0; c < stride; ++c) {
            sum += SampleAt(s16le, frame * stride + c);
        }
        out[frame] = static_cast<float>(sum) * mixScale;
    }
    return frames;
}

float DoubleSlowTempo(float detectedBpm) {
    return detectedBpm < 100.0f ? detectedBpm * 2.0f : detectedBpm;
}

TempoDetector::TempoDetector(int channels, std::unique_ptr<soundtouch::BPMDetect> detector)
    : m_channels(channels), m_detector(std::move(detector)), m_converted(kConvertSamples) {}

TempoDetector::~TempoDetector() = default;

std::unique_ptr<TempoDetector> TempoDetector::Create(int channels, int sampleRate) {
    // SoundTouch asserts rather than throws on rates far out of range (its
    // window arithmetic overflows above about 35.8 MHz).
    if (!IsSupportedFormat(sampleRate, channels)) {
        return nullptr;
    }
    try {
        // SoundTouch reports rates it cannot take by throwing.
        auto detector =
            std::make_unique<soundtouch::BPMDetect>(DetectorChannels(channels), sampleRate);
        return std::unique_ptr<TempoDetector>(new TempoDetector(channels, std::move(detector)));
    } catch (const std::exception&) {
        return nullptr;
    }
}

void TempoDetector::InputS16(const std::uint8_t* s16le, std::size_t frames) {
    const auto channels = static_cast<std::size_t>(m_channels);
    const std::size_t framesPerBlock = kConvertSamples / channels;
    while (frames > 0) {
        const std::size_t block = std::min(frames, framesPerBlock);
        ConvertForDetector(s16le, block, m_channels, m_converted.data());
        InputConverted(m_converted.data(), block);
        s16le += block * channels * 2;
        frames -= block;
    }
}

void TempoDetector::InputConverted(const float* samples, std::size_t frames) {
    m_detector->inputSamples(samples, static_cast<int>(frames));
}

float TempoDetector::GetBpm() {
    return m_detector->getBpm();
}

} // namespace audio

#pragma once

#include <cstddef>
#include <cstdint>

namespace audio {

// A decoder that hands out interleaved signed 16-bit sample frames at the
// format of the stream's start (FLAC, Ogg FLAC, Opus). The stream ends where
// the rate or channel count changes. One thread at a time.
class PcmDecoder {
public:
    virtual ~PcmDecoder() = default;
    PcmDecoder(const PcmDecoder&) = delete;
    PcmDecoder& operator=(const PcmDecoder&) = delete;

    int SampleRate() const { return m_sampleRate; }
    int Channels() const { return m_channels; }
    // Sample frames the stream announces; 0 when it does not say. A damaged
    // header can announce any number.
    std::int64_t ExpectedFrames() const { return m_expectedFrames; }

    // Up to maxFrames whole frames into `out`, which holds maxFrames ×
    // Channels() samples; 0 at the end of the audio. Damage inside the
    // stream is stepped over where the decoder can resynchronise.
    virtual std::size_t Read(std::int16_t* out, std::size_t maxFrames) = 0;

    // 0..100, never going back; 100 once Read has returned 0.
    virtual int ProgressPercent() = 0;

protected:
    PcmDecoder() = default;

    int m_sampleRate = 0;
    int m_channels = 0;
    std::int64_t m_expectedFrames = 0;
};

} // namespace audio

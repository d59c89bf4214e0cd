#pragma once

#include "audio/MpegHeader.h"

#include <cstddef>
#include <cstdint>
#include <memory>

struct mpg123_handle_struct;

namespace audio {

struct Mpg123Deleter {
    void operator()(mpg123_handle_struct* handle) const;
};

// Sole owner of a libmpg123 handle.
using Mpg123Handle = std::unique_ptr<mpg123_handle_struct, Mpg123Deleter>;

// What the decoder produces for the stream it was prepared for.
struct MpegOutputFormat {
    int channels = 0;
    int samplesPerFrame = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    int frameBytes = 0;
    int layer = 0;
};

struct FrameDecode {
    std::size_t consumedBytes = 0; // 0: the frame did not decode
    std::size_t pcmBytes = 0;
};

// Decodes MPEG audio one whole frame at a time into signed 16-bit
// little-endian PCM at the stream's own rate and channel count. Frames are
// found and sized by our own header code and handed to libmpg123's feed
// reader, so the decoder never sees a byte outside the frame it is given.
class MpegDecoder {
public:
    // Starts a fresh stream whose frames look like `firstFrame`; earlier
    // frames and the bit reservoir are forgotten. False when libmpg123
    // refuses the format.
    bool Prepare(const MpegFrameInfo& firstFrame);

    MpegOutputFormat OutputFormat() const { return m_format; }

    // Decodes the frame that starts at `frame`, looking at no more than
    // `available` bytes. Fails (0 consumed) when no valid header starts
    // there, the frame does not fit, or libmpg123 rejects it. At most
    // pcmCapacity bytes are written; a frame never yields more than
    // 1152 samples per channel.
    FrameDecode DecodeFrame(const std::uint8_t* frame, std::size_t available, std::uint8_t* pcm,
                            std::size_t pcmCapacity);

private:
    Mpg123Handle m_handle;
    MpegOutputFormat m_format;
};

} // namespace audio

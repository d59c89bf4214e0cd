#include "audio/MpegDecoder.h"

#include <algorithm>
#include <cstring>
#include <mpg123.h>

namespace audio {

void Mpg123Deleter::operator()(mpg123_handle_struct* handle) const {
    mpg123_delete(handle);
}

namespace {

// We hand over exactly one frame per call, so no read-ahead is needed to
// confirm the stream; resync would eat into the next frame. The info frame
// of LAME and Xing is decoded as the silent frame it is, and gapless
// trimming is off, so every frame in yields one frame out.
constexpr long kFeedFlags = MPG123_QUIET | MPG123_NO_READAHEAD | MPG123_NO_RESYNC |
                            MPG123_IGNORE_INFOFRAME | MPG123_FORCE_ENDIAN;

} // namespace

bool MpegDecoder::Prepare(const MpegFrameInfo& firstFrame) {
    if (!m_handle) {
        m_handle.reset(mpg123_new(nullptr, nullptr));
        if (!m_handle ||
            mpg123_param2(m_handle.get(), MPG123_FLAGS, kFeedFlags, 0.0) != MPG123_OK) {
            m_handle.reset();
            return false;
        }
    }
    mpg123_handle* handle = m_handle.get();
    const int channelFlag = firstFrame.channels == 1 ? MPG123_MONO : MPG123_STEREO;
    if (mpg123_open_feed(handle) != MPG123_OK || mpg123_format_none(handle) != MPG123_OK ||
        mpg123_format(handle, firstFrame.sampleRate, channelFlag, MPG123_ENC_SIGNED_16) !=
            MPG123_OK) {
        return false;
    }
    m_format.channels = firstFrame.channels;
    m_format.samplesPerFrame = firstFrame.samplesPerFrame;
    m_format.sampleRate = firstFrame.sampleRate;
    m_format.bitsPerSample = 16;
    m_format.frameBytes = firstFrame.frameBytes;
    m_format.layer = firstFrame.layer;
    return true;
}

FrameDecode MpegDecoder::DecodeFrame(const std::uint8_t* frame, std::size_t available,
                                     std::uint8_t* pcm, std::size_t pcmCapacity) {
    if (!m_handle || available < 4 || !HasFrameSync(frame)) {
        return {};
    }
    const std::optional<MpegFrameInfo> info = DescribeFrame(SplitFrameHeader(frame));
    if (!info || static_cast<std::size_t>(info->frameBytes) > available) {
        return {};
    }
    // The handle only takes the prepared format: a frame at another rate or
    // channel count ends the stream here, before libmpg123 sees it and
    // complains on stderr.
    if (info->sampleRate != m_format.sampleRate || info->channels != m_format.channels) {
        return {};
    }
    const auto frameBytes = static_cast<std::size_t>(info->frameBytes);
    mpg123_handle* handle = m_handle.get();
    if (mpg123_feed(handle, frame, frameBytes) != MPG123_OK) {
        return {};
    }
    const int next = mpg123_framebyframe_next(handle);
    if (next != MPG123_OK && next != MPG123_NEW_FORMAT) {
        return {};
    }
    off_t frameNumber = 0;
    unsigned char* audio = nullptr;
    std::size_t audioBytes = 0;
    if (mpg123_framebyframe_decode(handle, &frameNumber, &audio, &audioBytes) != MPG123_OK) {
        return {};
    }
    const std::size_t copied = std::min(audioBytes, pcmCapacity);
    if (copied > 0) {
        std::memcpy(pcm, audio, copied);
    }
    return FrameDecode{frameBytes, copied};
}

} // namespace audio

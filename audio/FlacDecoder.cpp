#include "audio/FlacDecoder.h"

#include "audio/FormatLimits.h"
#include "audio/SongType.h"

#include <FLAC/stream_decoder.h>
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace audio {

namespace {

struct DecoderDeleter {
    // Also closes the file the decoder was initialised with.
    void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};

// A FLAC sample of `bits` bits as a 16-bit one: the 16 most significant
// bits, or the sample scaled up. Damaged residuals can decode outside the
// stated width, hence the clamp.
std::int16_t To16Bit(FLAC__int32 sample, unsigned bits) {
    const std::int64_t scaled = bits >= 16
                                    ? std::int64_t{sample} >> (bits - 16)
                                    : std::int64_t{sample} * (std::int64_t{1} << (16 - bits));
    return static_cast<std::int16_t>(
        std::clamp<std::int64_t>(scaled, std::numeric_limits<std::int16_t>::min(),
                                 std::numeric_limits<std::int16_t>::max()));
}

class FlacDecoder final : public PcmDecoder {
public:
    static Result<std::unique_ptr<PcmDecoder>> Open(UniqueFile file, const std::string& name) {
        const AudioError damaged{AudioErrorKind::kDamaged, CorruptFlacMessage(name)};
        const std::vector<std::uint8_t> head = ReadHead(file.get());
        if (SongTypeFromContent(head.data(), head.size()) != SongType::kFlac) {
            return AudioError{AudioErrorKind::kNotThisFormat, CorruptFlacMessage(name)};
        }
        const bool ogg = head[0] == 'O';
        std::unique_ptr<FlacDecoder> stream(new FlacDecoder);
        stream->m_decoder.reset(FLAC__stream_decoder_new());
        if (!stream->m_decoder) {
            return damaged;
        }
        FLAC__StreamDecoder* decoder = stream->m_decoder.get();
        const auto init = ogg ? FLAC__stream_decoder_init_ogg_FILE : FLAC__stream_decoder_init_FILE;
        if (init(decoder, file.get(), &Write, &Metadata, &Error, stream.get()) !=
            FLAC__STREAM_DECODER_INIT_STATUS_OK) {
            return damaged; // the file is still ours
        }
        file.release(); // closed with the decoder from now on
        if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder) || !stream->m_info) {
            return damaged;
        }
        const FLAC__StreamMetadata_StreamInfo& info = *stream->m_info;
        if (!IsSupportedFormat(info.sample_rate, info.channels)) {
            return AudioError{AudioErrorKind::kUnsupported,
                              UnsupportedSampleFormatMessage(name, int(info.bits_per_sample),
                                                             int(info.channels),
                                                             long{info.sample_rate})};
        }
        stream->m_sampleRate = static_cast<int>(info.sample_rate);
        stream->m_channels = static_cast<int>(info.channels);
        stream->m_expectedFrames =
            static_cast<std::int64_t>(std::min<FLAC__uint64>(info.total_samples, 1ULL << 62));
        return std::unique_ptr<PcmDecoder>(std::move(stream));
    }

    std::size_t Read(std::int16_t* out, std::size_t maxFrames) override {
        const auto channels = static_cast<std::size_t>(m_channels);
        std::size_t done = 0;
        while (done < maxFrames && (m_pendingAt < m_pending.size() || DecodeFrame())) {
            const std::size_t frames =
                std::min(maxFrames - done, (m_pending.size() - m_pendingAt) / channels);
            std::memcpy(out + done * channels, m_pending.data() + m_pendingAt,
                        frames * channels * sizeof(std::int16_t));
            m_pendingAt += frames * channels;
            done += frames;
        }
        m_delivered += static_cast<std::int64_t>(done);
        m_ended = m_ended || done == 0;
        return done;
    }

    int ProgressPercent() override {
        if (m_ended) {
            return 100;
        }
        if (m_expectedFrames <= 0) {
            return 0;
        }
        // A damaged STREAMINFO can say the song is shorter than it is.
        return static_cast<int>(std::min<std::int64_t>(m_delivered, m_expectedFrames) * 100 /
                                m_expectedFrames);
    }

private:
    FlacDecoder() = default;

    // Decodes until a frame of audio is pending; false at the end.
    bool DecodeFrame() {
        m_pending.clear();
        m_pendingAt = 0;
        while (!m_stopped && m_pending.empty()) {
            const bool going = FLAC__stream_decoder_process_single(m_decoder.get());
            m_stopped = !going || FLAC__stream_decoder_get_state(m_decoder.get()) >=
                                      FLAC__STREAM_DECODER_END_OF_STREAM;
        }
        return !m_pending.empty();
    }

    static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*,
                                                const FLAC__Frame* frame,
                                                const FLAC__int32* const buffer[], void* self) {
        auto& stream = *static_cast<FlacDecoder*>(self);
        const FLAC__FrameHeader& header = frame->header;
        if (stream.m_channels == 0) {
            return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE; // still opening
        }
        // A stream glued on at another format: the song ends here.
        if (header.channels != unsigned(stream.m_channels) ||
            header.sample_rate != unsigned(stream.m_sampleRate)) {
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        const unsigned bits = std::clamp(header.bits_per_sample, 4U, 32U);
        stream.m_pending.resize(std::size_t{header.blocksize} * header.channels);
        std::int16_t* at = stream.m_pending.data();
        for (unsigned i = 0; i < header.blocksize; ++i) {
            for (unsigned channel = 0; channel < header.channels; ++channel) {
                *at++ = To16Bit(buffer[channel][i], bits);
            }
        }
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block,
                         void* self) {
        auto& stream = *static_cast<FlacDecoder*>(self);
        if (block->type == FLAC__METADATA_TYPE_STREAMINFO && !stream.m_info) {
            stream.m_info = block->data.stream_info;
        }
    }

    // Lost sync, a bad header or a CRC mismatch: libFLAC searches on for the
    // next frame, and so does the song.
    static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

    std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter> m_decoder;
    std::optional<FLAC__StreamMetadata_StreamInfo> m_info;
    std::vector<std::int16_t> m_pending; // one decoded frame, interleaved
    std::size_t m_pendingAt = 0;
    std::int64_t m_delivered = 0;
    bool m_stopped = false; // libFLAC is done: end of stream, abort or error
    bool m_ended = false;   // Read has returned 0
};

} // namespace

Result<std::unique_ptr<PcmDecoder>> OpenFlac(UniqueFile file, const std::string& name) {
    return FlacDecoder::Open(std::move(file), name);
}

} // namespace audio

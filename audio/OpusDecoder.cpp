#include "audio/OpusDecoder.h"

#include "audio/FormatLimits.h"
#include "audio/SongType.h"

#include <algorithm>
#include <climits>
#include <opusfile.h>
#include <sys/types.h>
#include <vector>

namespace audio {

namespace {

constexpr int kOpusRate = 48000; // opusfile decodes every stream at this rate
constexpr int kAllLinks = -1;    // op_pcm_total: the whole chained stream
constexpr int kFirstLink = 0;

struct OpusFileDeleter {
    // Also closes the file, through the close callback.
    void operator()(OggOpusFile* file) const { op_free(file); }
};

// opusfile reads through these; the stream is the FILE*.
int ReadFile(void* stream, unsigned char* bytes, int count) {
    std::FILE* file = static_cast<std::FILE*>(stream);
    const std::size_t got = std::fread(bytes, 1, static_cast<std::size_t>(count), file);
    return got == 0 && std::ferror(file) ? -1 : static_cast<int>(got);
}

int SeekFile(void* stream, opus_int64 offset, int whence) {
    return fseeko(static_cast<std::FILE*>(stream), static_cast<off_t>(offset), whence);
}

opus_int64 TellFile(void* stream) {
    return ftello(static_cast<std::FILE*>(stream));
}

int CloseFile(void* stream) {
    return std::fclose(static_cast<std::FILE*>(stream));
}

constexpr OpusFileCallbacks kFileCallbacks = {&ReadFile, &SeekFile, &TellFile, &CloseFile};

class OpusDecoder final : public PcmDecoder {
public:
    static Result<std::unique_ptr<PcmDecoder>> Open(UniqueFile file, const std::string& name) {
        const std::vector<std::uint8_t> head = ReadHead(file.get());
        if (SongTypeFromContent(head.data(), head.size()) != SongType::kOpus) {
            return AudioError{AudioErrorKind::kNotThisFormat, CorruptOpusMessage(name)};
        }
        int error = 0;
        std::unique_ptr<OpusDecoder> stream(new OpusDecoder);
        stream->m_file.reset(op_open_callbacks(file.get(), &kFileCallbacks, nullptr, 0, &error));
        if (!stream->m_file) {
            // opusfile leaves the file to us when it fails.
            return AudioError{AudioErrorKind::kDamaged, CorruptOpusMessage(name)};
        }
        file.release(); // op_free closes it from now on
        const int channels = op_channel_count(stream->m_file.get(), kFirstLink);
        if (!IsSupportedFormat(kOpusRate, channels)) {
            return AudioError{AudioErrorKind::kUnsupported,
                              UnsupportedSampleFormatMessage(name, 16, channels, kOpusRate)};
        }
        stream->m_sampleRate = kOpusRate;
        stream->m_channels = channels;
        stream->m_expectedFrames =
            std::max<std::int64_t>(op_pcm_total(stream->m_file.get(), kAllLinks), 0);
        return std::unique_ptr<PcmDecoder>(std::move(stream));
    }

    std::size_t Read(std::int16_t* out, std::size_t maxFrames) override {
        const auto channels = static_cast<std::size_t>(m_channels);
        const int room = static_cast<int>(std::min<std::size_t>(maxFrames * channels, INT_MAX) /
                                          channels * channels);
        while (!m_ended && room > 0) {
            int link = 0;
            const int got = op_read(m_file.get(), out, room, &link);
            if (got == OP_HOLE) {
                continue; // lost or damaged pages: decoding resumes after them
            }
            // A link at another channel count ends the song; its samples are
            // dropped (opusfile has already written them).
            if (got <= 0 || op_channel_count(m_file.get(), link) != m_channels) {
                break;
            }
            return static_cast<std::size_t>(got);
        }
        m_ended = true;
        return 0;
    }

    int ProgressPercent() override {
        if (m_ended) {
            return 100;
        }
        const ogg_int64_t position = op_pcm_tell(m_file.get());
        if (m_expectedFrames <= 0 || position < 0) {
            return 0;
        }
        // Damaged granule positions can put the position past the total.
        return static_cast<int>(std::min<std::int64_t>(position, m_expectedFrames) * 100 /
                                m_expectedFrames);
    }

private:
    OpusDecoder() = default;

    std::unique_ptr<OggOpusFile, OpusFileDeleter> m_file;
    bool m_ended = false;
};

} // namespace

Result<std::unique_ptr<PcmDecoder>> OpenOpus(UniqueFile file, const std::string& name) {
    return OpusDecoder::Open(std::move(file), name);
}

} // namespace audio

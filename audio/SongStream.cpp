#include "audio/SongStream.h"

#include "audio/AudioSource.h"
#include "audio/FlacDecoder.h"
#include "audio/MpegDecoder.h"
#include "audio/MpegHeader.h"
#include "audio/OggStream.h"
#include "audio/OpusDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace audio {

namespace {

// The WAV and Ogg readers hand out little-endian bytes, read as they are.
static_assert(std::endian::native == std::endian::little);

// Enough of the file after an ID3v2 tag for the first frame, the header of
// the next one and a little junk in front.
constexpr std::size_t kFirstFrameWindow = 16384;

// pread leaves the descriptor at the start of the file for libmpg123.
std::vector<std::uint8_t> ReadAt(int fd, off_t offset, std::size_t bytes) {
    std::vector<std::uint8_t> data(bytes);
    const ssize_t got = ::pread(fd, data.data(), data.size(), offset);
    data.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return data;
}

Mp3InfoTag FirstFrameTag(int fd) {
    const std::vector<std::uint8_t> head = ReadAt(fd, 0, 10);
    const std::size_t tagBytes = Id3v2TagBytes(head.data(), head.size());
    const std::vector<std::uint8_t> window =
        ReadAt(fd, static_cast<off_t>(tagBytes), kFirstFrameWindow);
    return FindMp3InfoTag(window.data(), window.size());
}

std::span<const std::int16_t> AsSamples(const void* pcm, std::size_t bytes) {
    return {static_cast<const std::int16_t*>(pcm), bytes / sizeof(std::int16_t)};
}

class Mp3SongStream final : public SongStream {
public:
    static Result<std::unique_ptr<SongStream>> Open(const std::string& path) {
        const AudioError notMp3{AudioErrorKind::kNotThisFormat, CorruptMp3Message(path)};
        std::unique_ptr<Mp3SongStream> stream(new Mp3SongStream);
        stream->m_file = OpenForReading(path);
        if (!stream->m_file) {
            return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
        }
        const int fd = fileno(stream->m_file.get());
        stream->m_handle.reset(mpg123_new(nullptr, nullptr));
        if (!stream->m_handle) {
            return notMp3;
        }
        mpg123_handle* mh = stream->m_handle.get();
        // libmpg123 on its own would hide both kinds of info frame; the games
        // decode an Info frame as audio (see DecodeWholeFile).
        long flags = MPG123_QUIET;
        if (FirstFrameTag(fd) == Mp3InfoTag::kInfo) {
            flags |= MPG123_IGNORE_INFOFRAME;
        }
        mpg123_param2(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
        mpg123_param2(mh, MPG123_ADD_FLAGS, flags, 0.0);
        // Signed 16-bit at the stream's own rate and channel count: libmpg123
        // converts nothing.
        mpg123_format_none(mh);
        const long* rates = nullptr;
        std::size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (std::size_t i = 0; i < rateCount; ++i) {
            mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        }
        if (mpg123_open_fd(mh, fd) != MPG123_OK) {
            return notMp3;
        }
        stream->m_pending = stream->Decode();
        if (stream->m_channels == 0 || stream->m_pending.empty()) {
            return notMp3;
        }
        struct stat status {};
        if (::fstat(fd, &status) == 0 && status.st_size > 0) {
            stream->m_fileBytes = status.st_size; // lseek would move libmpg123's reading
        }
        return std::unique_ptr<SongStream>(std::move(stream));
    }

    std::span<const std::int16_t> Next() override {
        if (!m_pending.empty()) {
            return std::exchange(m_pending, {});
        }
        return Decode();
    }

    int ProgressPercent() override {
        if (m_ended) {
            return 100;
        }
        const off_t at = mpg123_tell_stream(m_handle.get());
        return at <= 0 ? 0 : static_cast<int>(std::min<off_t>(100, at * 100 / m_fileBytes));
    }

private:
    Mp3SongStream() = default;

    std::span<const std::int16_t> Decode() {
        while (!m_ended) {
            off_t frameNumber = 0;
            unsigned char* pcm = nullptr;
            std::size_t bytes = 0;
            const int status = mpg123_decode_frame(m_handle.get(), &frameNumber, &pcm, &bytes);
            if (status == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0;
                int encoding = 0;
                mpg123_getformat(m_handle.get(), &rate, &channels, &encoding);
                if (m_channels == 0) {
                    m_sampleRate = static_cast<int>(rate);
                    m_channels = channels;
                    // From the Xing tag or the file size.
                    m_expectedFrames = std::max<off_t>(mpg123_length(m_handle.get()), 0);
                } else if (rate != m_sampleRate || channels != m_channels) {
                    m_ended = true; // a different stream glued on: the song ends here
                }
                continue;
            }
            if (status != MPG123_OK) {
                m_ended = true; // MPG123_DONE, or damage that ends the audio
                break;
            }
            if (bytes > 0) {
                return AsSamples(pcm, bytes);
            }
        }
        return {};
    }

    UniqueFile m_file; // outlives the handle that reads it
    Mpg123Handle m_handle;
    std::span<const std::int16_t> m_pending;
    off_t m_fileBytes = 1;
    bool m_ended = false;
};

class WavSongStream final : public SongStream {
public:
    static Result<std::unique_ptr<SongStream>> Open(const std::string& path) {
        std::unique_ptr<WavSongStream> stream(new WavSongStream);
        if (Result<void> opened = stream->m_source.Open(path); !opened) {
            return opened.error();
        }
        stream->m_sampleRate = stream->m_source.SampleRate();
        stream->m_channels = stream->m_source.Channels();
        stream->m_sampleBytes = stream->m_source.BitsPerSample() / 8;
        stream->m_pending = stream->Read();
        if (stream->m_pending.empty()) {
            return AudioError{AudioErrorKind::kDamaged, CorruptWavMessage(path)};
        }
        return std::unique_ptr<SongStream>(std::move(stream));
    }

    std::span<const std::int16_t> Next() override {
        if (!m_pending.empty()) {
            return std::exchange(m_pending, {});
        }
        return Read();
    }

    int ProgressPercent() override { return m_source.ProgressPercent(); }

private:
    WavSongStream() = default;

    std::span<const std::int16_t> Read() {
        if (m_source.DecodeNextChunk() <= 0) {
            return {};
        }
        // The chunk holds 16-bit samples, but its byte count is the file's.
        // Copied: the chunk buffer's bytes need not be aligned for int16_t.
        const auto samples = static_cast<std::size_t>(m_source.GetChunkBytes() / m_sampleBytes);
        std::memcpy(m_block.data(), m_source.GetChunkBuffer(), samples * sizeof(std::int16_t));
        return {m_block.data(), samples};
    }

    CAudioSource m_source;
    std::array<std::int16_t, CAudioSource::kChunkBufferBytes / 2> m_block{};
    int m_sampleBytes = 2;
    std::span<const std::int16_t> m_pending;
};

class OggSongStream final : public SongStream {
public:
    static Result<std::unique_ptr<SongStream>> Open(const std::string& path) {
        UniqueFile file = OpenForReading(path);
        if (!file) {
            return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
        }
        Result<std::unique_ptr<OggStream>> opened = OggStream::Open(std::move(file), path);
        if (!opened) {
            return opened.error();
        }
        std::unique_ptr<OggSongStream> stream(new OggSongStream);
        stream->m_ogg = std::move(opened.value());
        stream->m_sampleRate = stream->m_ogg->SampleRate();
        stream->m_channels = stream->m_ogg->Channels();
        stream->m_expectedFrames = std::max<std::int64_t>(stream->m_ogg->TotalFrames(), 0);
        stream->m_pending = stream->Read();
        if (stream->m_pending.empty()) {
            return AudioError{AudioErrorKind::kDamaged, CorruptOggMessage(path)};
        }
        return std::unique_ptr<SongStream>(std::move(stream));
    }

    std::span<const std::int16_t> Next() override {
        if (!m_pending.empty()) {
            return std::exchange(m_pending, {});
        }
        return Read();
    }

    int ProgressPercent() override { return m_ended ? 100 : m_ogg->ProgressPercent(); }

private:
    OggSongStream() = default;

    std::span<const std::int16_t> Read() {
        const long got = m_ogg->Read(m_block.data(), m_block.size());
        if (got <= 0) {
            m_ended = true;
            return {};
        }
        return AsSamples(m_block.data(), static_cast<std::size_t>(got));
    }

    std::unique_ptr<OggStream> m_ogg;
    alignas(std::int16_t) std::array<std::uint8_t, 16384> m_block{};
    std::span<const std::int16_t> m_pending;
    bool m_ended = false;
};

// FLAC and Opus: their decoders hand out 16-bit frames already.
class PcmSongStream final : public SongStream {
public:
    static Result<std::unique_ptr<SongStream>> Open(const std::string& path, SongType type) {
        UniqueFile file = OpenForReading(path);
        if (!file) {
            return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
        }
        const bool flac = type == SongType::kFlac;
        Result<std::unique_ptr<PcmDecoder>> opened =
            flac ? OpenFlac(std::move(file), path) : OpenOpus(std::move(file), path);
        if (!opened) {
            return opened.error();
        }
        std::unique_ptr<PcmSongStream> stream(new PcmSongStream);
        stream->m_decoder = std::move(opened.value());
        stream->m_sampleRate = stream->m_decoder->SampleRate();
        stream->m_channels = stream->m_decoder->Channels();
        stream->m_expectedFrames = stream->m_decoder->ExpectedFrames();
        stream->m_pending = stream->Read();
        if (stream->m_pending.empty()) {
            return AudioError{AudioErrorKind::kDamaged,
                              flac ? CorruptFlacMessage(path) : CorruptOpusMessage(path)};
        }
        return std::unique_ptr<SongStream>(std::move(stream));
    }

    std::span<const std::int16_t> Next() override {
        if (!m_pending.empty()) {
            return std::exchange(m_pending, {});
        }
        return Read();
    }

    int ProgressPercent() override { return m_decoder->ProgressPercent(); }

private:
    PcmSongStream() = default;

    std::span<const std::int16_t> Read() {
        const auto channels = static_cast<std::size_t>(m_channels);
        const std::size_t frames = m_decoder->Read(m_block.data(), m_block.size() / channels);
        return {m_block.data(), frames * channels};
    }

    std::unique_ptr<PcmDecoder> m_decoder;
    std::array<std::int16_t, 8192> m_block{};
    std::span<const std::int16_t> m_pending;
};

} // namespace

Result<std::unique_ptr<SongStream>> SongStream::Open(const std::string& path) {
    switch (const SongType type = SongTypeOf(path)) {
    case SongType::kMp3:
        return Mp3SongStream::Open(path);
    case SongType::kWav:
        return WavSongStream::Open(path);
    case SongType::kOgg:
        return OggSongStream::Open(path);
    case SongType::kFlac:
    case SongType::kOpus:
        return PcmSongStream::Open(path, type);
    case SongType::kNone:
        break;
    }
    return AudioError{AudioErrorKind::kUnknownType, UnknownTypeMessage(path)};
}

} // namespace audio

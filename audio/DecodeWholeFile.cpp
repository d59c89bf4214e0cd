#include "audio/DecodeWholeFile.h"

#include "audio/AudioSource.h"
#include "audio/MpegDecoder.h"
#include "audio/MpegHeader.h"
#include "audio/OggStream.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <mpg123.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace audio {

namespace {

// The WAV and Ogg readers hand out little-endian bytes, copied as they are.
static_assert(std::endian::native == std::endian::little);

// A damaged header can promise any length (an Xing frame count of
// 0xFFFFFFFF, a patched granule position), so the room reserved up front is
// bounded twice: by two hours, and by what the file's size can hold. The
// densest MPEG frame (Layer II, 8 kbit/s at 24 kHz: 48 bytes for 1152
// samples) gives 24 frames per byte; Vorbis packs silence tighter still, so
// it gets more. A longer song grows the buffer as it decodes.
constexpr std::int64_t kMaxReservedSeconds = 7200;
constexpr std::int64_t kMaxMp3FramesPerByte = 24;
constexpr std::int64_t kMaxOggFramesPerByte = 64;

// Enough of the file after an ID3v2 tag for the first frame, the header of
// the next one and a little junk in front.
constexpr std::size_t kFirstFrameWindow = 16384;

std::int64_t FileBytes(std::FILE* file) {
    struct stat info {};
    return ::fstat(fileno(file), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

void Reserve(DecodedSong& song, std::int64_t frames, std::int64_t framesTheFileCanHold) {
    frames = std::min({frames, kMaxReservedSeconds * song.sampleRate, framesTheFileCanHold});
    if (frames > 0) {
        song.samples.reserve(static_cast<std::size_t>(frames) *
                             static_cast<std::size_t>(song.channels));
    }
}

// Appends the whole sample frames in `bytes`; a partial frame at the end
// is dropped.
void AppendPcm(DecodedSong& song, const void* pcm, std::size_t bytes) {
    const auto frameBytes = sizeof(std::int16_t) * static_cast<std::size_t>(song.channels);
    const std::size_t count = bytes / frameBytes * static_cast<std::size_t>(song.channels);
    if (count == 0) {
        return; // memcpy must not see the null data() of an empty vector
    }
    std::vector<std::int16_t>& samples = song.samples;
    const std::size_t old = samples.size();
    samples.resize(old + count);
    std::memcpy(samples.data() + old, pcm, count * sizeof(std::int16_t));
}

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

Result<DecodedSong> DecodeMp3(const std::string& path) {
    const AudioError notMp3{AudioErrorKind::kNotThisFormat, CorruptMp3Message(path)};
    const UniqueFile file = OpenForReading(path); // outlives the handle that reads it
    if (!file) {
        return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
    }
    const int fd = fileno(file.get());
    const Mpg123Handle handle(mpg123_new(nullptr, nullptr));
    if (!handle) {
        return notMp3;
    }
    mpg123_handle* mh = handle.get();
    // libmpg123 on its own would hide both kinds of info frame; the games
    // decode an Info frame as audio (see the header).
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
    DecodedSong song;
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int status = mpg123_decode_frame(mh, &frameNumber, &audio, &bytes);
        if (status == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(mh, &rate, &channels, &encoding);
            if (song.channels == 0) {
                song.sampleRate = static_cast<int>(rate);
                song.channels = channels;
                // libmpg123's length comes from the Xing tag or the file size;
                // the margin covers a CBR estimate that falls a little short,
                // which would otherwise copy the whole song once more.
                if (const off_t expected = mpg123_length(mh); expected > 0) {
                    Reserve(song, expected + expected / 64 + 1152,
                            FileBytes(file.get()) * kMaxMp3FramesPerByte);
                }
            } else if (rate != song.sampleRate || channels != song.channels) {
                break; // a different stream glued on: the song ends here
            }
            continue;
        }
        if (status != MPG123_OK) {
            break; // MPG123_DONE, or damage that ends the audio
        }
        AppendPcm(song, audio, bytes);
    }
    if (song.channels == 0 || song.samples.empty()) {
        return notMp3;
    }
    return song;
}

Result<DecodedSong> DecodeWav(const std::string& path) {
    CAudioSource source;
    if (Result<void> opened = source.Open(path); !opened) {
        return opened.error();
    }
    DecodedSong song;
    song.sampleRate = source.SampleRate();
    song.channels = source.Channels();
    const int sampleBytes = source.BitsPerSample() / 8;
    while (source.DecodeNextChunk() > 0) {
        // The chunk holds 16-bit samples, but its byte count is the file's.
        const auto samples = static_cast<std::size_t>(source.GetChunkBytes() / sampleBytes);
        AppendPcm(song, source.GetChunkBuffer(), samples * sizeof(std::int16_t));
    }
    if (song.samples.empty()) {
        return AudioError{AudioErrorKind::kDamaged, CorruptWavMessage(path)};
    }
    return song;
}

Result<DecodedSong> DecodeOgg(const std::string& path) {
    UniqueFile file = OpenForReading(path);
    if (!file) {
        return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
    }
    const std::int64_t fileBytes = FileBytes(file.get());
    Result<std::unique_ptr<OggStream>> opened = OggStream::Open(std::move(file), path);
    if (!opened) {
        return opened.error();
    }
    OggStream& stream = *opened.value();
    DecodedSong song;
    song.sampleRate = stream.SampleRate();
    song.channels = stream.Channels();
    // A chained stream that changes format ends early: the room reserved
    // for the later links then goes unused.
    Reserve(song, stream.TotalFrames(), fileBytes * kMaxOggFramesPerByte);
    std::array<std::uint8_t, 16384> block{};
    for (;;) {
        const long got = stream.Read(block.data(), block.size());
        if (got <= 0) {
            break;
        }
        AppendPcm(song, block.data(), static_cast<std::size_t>(got));
    }
    if (song.samples.empty()) {
        return AudioError{AudioErrorKind::kDamaged, CorruptOggMessage(path)};
    }
    return song;
}

Result<DecodedSong> DecodeByType(const std::string& path) {
    switch (SongTypeFromPath(path)) {
    case SongType::kMp3:
        return DecodeMp3(path);
    case SongType::kWav:
        return DecodeWav(path);
    case SongType::kOgg:
        return DecodeOgg(path);
    case SongType::kNone:
        break;
    }
    return AudioError{AudioErrorKind::kUnknownType, UnknownTypeMessage(path)};
}

} // namespace

Result<DecodedSong> DecodeWholeFile(const std::string& path) {
    try {
        return DecodeByType(path);
    } catch (const std::bad_alloc&) {
        return AudioError{AudioErrorKind::kUnsupported, TooLargeMessage(path)};
    } catch (const std::length_error&) {
        return AudioError{AudioErrorKind::kUnsupported, TooLargeMessage(path)};
    }
}

} // namespace audio

#include "audio/DecodeWholeFile.h"

#include "audio/AudioSource.h"
#include "audio/MpegDecoder.h"
#include "audio/OggStream.h"
#include "audio/WavReader.h"

#include <array>
#include <climits>
#include <cstddef>
#include <mpg123.h>

namespace audio {

namespace {

void AppendLittleEndian16(const std::uint8_t* bytes, std::size_t count,
                          std::vector<std::int16_t>& samples) {
    for (std::size_t i = 0; i < count; ++i) {
        samples.push_back(static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
    }
}

Result<DecodedSong> DecodeMp3(const std::string& path) {
    const AudioError notMp3{AudioErrorKind::kNotThisFormat, CorruptMp3Message(path)};
    const UniqueFile file = OpenForReading(path); // outlives the handle that reads it
    if (!file) {
        return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
    }
    const Mpg123Handle handle(mpg123_new(nullptr, nullptr));
    if (!handle) {
        return notMp3;
    }
    mpg123_handle* mh = handle.get();
    // Gapless decoding stays on (the library's default) for a true time 0.
    mpg123_param2(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_ENDIAN, 0.0);
    mpg123_param2(mh, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
    if (mpg123_open_fd(mh, fileno(file.get())) != MPG123_OK) {
        return notMp3;
    }
    DecodedSong song;
    std::array<unsigned char, 16384> buffer{};
    for (;;) {
        std::size_t got = 0;
        const int status = mpg123_read(mh, buffer.data(), buffer.size(), &got);
        if (status == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(mh, &rate, &channels, &encoding);
            if (song.channels != 0) {
                break; // a later stream in the same file: stop at its start
            }
            // Lock the format so that libmpg123 converts nothing after this.
            mpg123_format_none(mh);
            mpg123_format(mh, rate, channels, MPG123_ENC_SIGNED_16);
            song.sampleRate = static_cast<int>(rate);
            song.channels = channels;
        }
        AppendLittleEndian16(buffer.data(), got / 2, song.samples);
        if (status != MPG123_OK && status != MPG123_NEW_FORMAT) {
            break; // MPG123_DONE, or an error that ends the audio
        }
    }
    if (song.channels == 0) {
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
        const auto samples = static_cast<std::size_t>(source.GetChunkBytes() / sampleBytes);
        AppendLittleEndian16(source.GetChunkBuffer(), samples, song.samples);
    }
    return song;
}

Result<DecodedSong> DecodeOgg(const std::string& path) {
    UniqueFile file = OpenForReading(path);
    if (!file) {
        return AudioError{AudioErrorKind::kCannotOpen, CannotOpenMessage(path)};
    }
    Result<std::unique_ptr<OggStream>> stream = OggStream::Open(std::move(file), path);
    if (!stream) {
        return stream.error();
    }
    DecodedSong song;
    song.sampleRate = stream.value()->SampleRate();
    song.channels = stream.value()->Channels();
    std::array<std::uint8_t, 16384> buffer{};
    for (;;) {
        const long got = stream.value()->Read(buffer.data(), buffer.size());
        if (got <= 0) {
            break;
        }
        AppendLittleEndian16(buffer.data(), static_cast<std::size_t>(got) / 2, song.samples);
    }
    return song;
}

} // namespace

Result<DecodedSong> DecodeWholeFile(const std::string& path) {
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

} // namespace audio

#include "audio/DecodeWholeFile.h"

#include "audio/AudioSource.h"
#include "audio/SongStream.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <sys/stat.h>

namespace audio {

namespace {

// A damaged header can promise any length (an Xing frame count of
// 0xFFFFFFFF, a patched granule position), so the room reserved up front is
// bounded twice: by two hours, and by what the file's size can hold. The
// densest MPEG frame (Layer II, 8 kbit/s at 24 kHz: 48 bytes for 1152
// samples) gives 24 frames per byte; Vorbis packs silence tighter still, so
// it gets more; a WAV frame takes at least a byte. A FLAC frame of 65535
// samples in constant subframes takes about 14 bytes (4700 frames a byte);
// an Opus packet of 120 ms (5760 frames) at least one byte plus its Ogg
// lacing. A longer song grows the
// buffer as it decodes.
constexpr std::int64_t kMaxReservedSeconds = 7200;
constexpr std::int64_t kMaxMp3FramesPerByte = 24;
constexpr std::int64_t kMaxOggFramesPerByte = 64;
constexpr std::int64_t kMaxFlacFramesPerByte = 8192;
constexpr std::int64_t kMaxOpusFramesPerByte = 5760;
// libmpg123's length estimate for a CBR file can fall a little short, which
// would otherwise copy the whole song once more.
constexpr std::int64_t kReserveMarginFrames = 1152;

std::int64_t FramesTheFileCanHold(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return 0;
    }
    const auto bytes = static_cast<std::int64_t>(info.st_size);
    switch (SongTypeOf(path)) {
    case SongType::kMp3:
        return bytes * kMaxMp3FramesPerByte;
    case SongType::kOgg:
        return bytes * kMaxOggFramesPerByte;
    case SongType::kFlac:
        return bytes * kMaxFlacFramesPerByte;
    case SongType::kOpus:
        return bytes * kMaxOpusFramesPerByte;
    case SongType::kWav:
    case SongType::kNone:
        break;
    }
    return bytes;
}

Result<DecodedSong> Decode(const std::string& path) {
    Result<std::unique_ptr<SongStream>> opened = SongStream::Open(path);
    if (!opened) {
        return opened.error();
    }
    SongStream& stream = *opened.value();
    DecodedSong song;
    song.sampleRate = stream.SampleRate();
    song.channels = stream.Channels();
    const std::int64_t expected = stream.ExpectedFrames();
    const std::int64_t reserved =
        std::min({expected + expected / 64 + kReserveMarginFrames,
                  kMaxReservedSeconds * song.sampleRate, FramesTheFileCanHold(path)});
    if (expected > 0 && reserved > 0) {
        song.samples.reserve(static_cast<std::size_t>(reserved) *
                             static_cast<std::size_t>(song.channels));
    }
    const auto channels = static_cast<std::size_t>(song.channels);
    for (std::span<const std::int16_t> block = stream.Next(); !block.empty();
         block = stream.Next()) {
        // Whole sample frames only: a partial frame at the end is dropped.
        const std::size_t whole = block.size() / channels * channels;
        song.samples.insert(song.samples.end(), block.begin(),
                            block.begin() + static_cast<std::ptrdiff_t>(whole));
    }
    return song;
}

} // namespace

Result<DecodedSong> DecodeWholeFile(const std::string& path) {
    try {
        return Decode(path);
    } catch (const std::bad_alloc&) {
        return AudioError{AudioErrorKind::kUnsupported, TooLargeMessage(path)};
    } catch (const std::length_error&) {
        return AudioError{AudioErrorKind::kUnsupported, TooLargeMessage(path)};
    }
}

} // namespace audio

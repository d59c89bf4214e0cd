#include "audio/DecodeWholeFile.h"

#include "audio/SongStream.h"

#include <algorithm>
#include <new>

namespace audio {

namespace {

// A damaged header can promise any length: room is reserved for two hours
// at most, and a longer song grows the buffer as it decodes.
constexpr std::int64_t kMaxReservedSeconds = 7200;
// libmpg123's length estimate for a CBR file can fall a little short, which
// would otherwise copy the whole song once more.
constexpr std::int64_t kReserveMarginFrames = 1152;

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
    const std::int64_t reserved = std::min(expected + expected / 64 + kReserveMarginFrames,
                                           kMaxReservedSeconds * song.sampleRate);
    if (expected > 0) {
        song.samples.reserve(static_cast<std::size_t>(reserved) *
                             static_cast<std::size_t>(song.channels));
    }
    for (std::span<const std::int16_t> block = stream.Next(); !block.empty();
         block = stream.Next()) {
        song.samples.insert(song.samples.end(), block.begin(), block.end());
    }
    return song;
}

} // namespace

Result<DecodedSong> DecodeWholeFile(const std::string& path) {
    try {
        return Decode(path);
    } catch (const std::bad_alloc&) {
        return AudioError{AudioErrorKind::kUnsupported, TooLargeMessage(path)};
    }
}

} // namespace audio

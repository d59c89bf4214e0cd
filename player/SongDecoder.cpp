#include "player/SongDecoder.h"

#include "audio/AudioError.h"
#include "audio/AudioSource.h"
#include "audio/DecodeWholeFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mpg123.h>
#include <new>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace player {

namespace {

struct Mpg123Deleter {
    void operator()(mpg123_handle* handle) const {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
using Mpg123Handle = std::unique_ptr<mpg123_handle, Mpg123Deleter>;

struct FdCloser {
    int fd = -1;
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    explicit FdCloser(int descriptor) : fd(descriptor) {}
    ~FdCloser() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// Enough of the file after an ID3v2 tag to hold the first frame's header and
// side information, with room for a little junk before it.
constexpr std::size_t kFirstFrameWindow = 16384;

// MPEG audio frame header fields that place the Xing/Info tag.
struct FrameHeader {
    bool mpeg1 = false;
    bool mono = false;
    bool crc = false;
    int layer = 0;
};

std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* b) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    const int version = (b[1] >> 3) & 3; // 0: 2.5, 1: reserved, 2: 2, 3: 1
    const int layerBits = (b[1] >> 1) & 3;
    const int bitrateIndex = b[2] >> 4;
    const int rateIndex = (b[2] >> 2) & 3;
    if (version == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return std::nullopt;
    }
    FrameHeader header;
    header.mpeg1 = version == 3;
    header.layer = 4 - layerBits;
    header.crc = (b[1] & 1) == 0; // the bit is "protection absent"
    header.mono = (b[3] >> 6) == 3;
    return header;
}

// The bytes after the file's ID3v2 tag, if any, where the first frame is.
std::vector<std::uint8_t> ReadAfterId3v2Tag(std::FILE* file) {
    std::array<std::uint8_t, 10> tagHeader{};
    const std::size_t got = std::fread(tagHeader.data(), 1, tagHeader.size(), file);
    const std::size_t tagBytes = Id3v2TagBytes(std::span(tagHeader.data(), got));
    if (std::fseek(file, static_cast<long>(tagBytes), SEEK_SET) != 0) {
        return {};
    }
    std::vector<std::uint8_t> window(kFirstFrameWindow);
    window.resize(std::fread(window.data(), 1, window.size(), file));
    return window;
}

SongDecodeResult Failure(std::string message) {
    return SongDecodeResult{std::nullopt, std::move(message)};
}

SongDecodeResult DecodeMp3(const std::string& path) {
    const std::string notMp3 = audio::CorruptMp3Message(path);
    Mp3InfoTag tag = Mp3InfoTag::kNone;
    {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
        if (!file) {
            return Failure(audio::CannotOpenMessage(path));
        }
        tag = FindMp3InfoTag(ReadAfterId3v2Tag(file.get()));
    }
    const FdCloser fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.fd < 0) {
        return Failure(audio::CannotOpenMessage(path));
    }
    const Mpg123Handle handle(mpg123_new(nullptr, nullptr));
    if (!handle) {
        return Failure(notMp3);
    }
    mpg123_handle* mh = handle.get();
    // Time 0 as the games have it: no gapless trimming, and an Info frame
    // decoded like any other frame (see the header).
    long flags = MPG123_QUIET;
    if (tag == Mp3InfoTag::kInfo) {
        flags |= MPG123_IGNORE_INFOFRAME;
    }
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    mpg123_param(mh, MPG123_ADD_FLAGS, flags, 0.0);
    // Signed 16-bit at the stream's own rate and channel count: libmpg123
    // converts nothing.
    mpg123_format_none(mh);
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i) {
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    if (mpg123_open_fd(mh, fd.fd) != MPG123_OK) {
        return Failure(notMp3);
    }
    SongPcm song;
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
            if (song.channels != 0 && (rate != song.sampleRate || channels != song.channels)) {
                break; // a different stream glued on: the song ends here
            }
            if (song.channels == 0) {
                // The length libmpg123 expects (from the Xing tag or the file
                // size): room for it up front spares the copies of growing.
                // A junk file can promise anything: trust two hours at most.
                const off_t expected = std::min<off_t>(mpg123_length(mh), rate * 7200);
                if (expected > 0) {
                    song.samples.reserve(static_cast<std::size_t>(expected + expected / 64 + 1152) *
                                         static_cast<std::size_t>(channels));
                }
            }
            song.sampleRate = static_cast<int>(rate);
            song.channels = channels;
            continue;
        }
        if (status != MPG123_OK) {
            break; // MPG123_DONE, or damage that ends the audio
        }
        const std::size_t count = bytes / sizeof(std::int16_t);
        const std::size_t old = song.samples.size();
        song.samples.resize(old + count);
        std::memcpy(song.samples.data() + old, audio, count * sizeof(std::int16_t));
    }
    if (song.channels == 0 || song.samples.empty()) {
        return Failure(notMp3);
    }
    return SongDecodeResult{std::move(song), {}};
}

SongDecodeResult DecodeWhole(const std::string& path) {
    if (audio::SongTypeFromPath(path) == audio::SongType::kMp3) {
        return DecodeMp3(path);
    }
    audio::Result<audio::DecodedSong> decoded = audio::DecodeWholeFile(path);
    if (!decoded) {
        return Failure(decoded.error().message);
    }
    audio::DecodedSong& song = decoded.value();
    if (song.channels < 1 || song.sampleRate < 1 || song.samples.empty()) {
        return Failure(audio::SongTypeFromPath(path) == audio::SongType::kOgg
                           ? audio::CorruptOggMessage(path)
                           : audio::CorruptWavMessage(path));
    }
    SongPcm pcm;
    pcm.samples = std::move(song.samples);
    pcm.sampleRate = song.sampleRate;
    pcm.channels = song.channels;
    return SongDecodeResult{std::move(pcm), {}};
}

} // namespace

std::size_t Id3v2TagBytes(std::span<const std::uint8_t> head) {
    if (head.size() < 10 || head[0] != 'I' || head[1] != 'D' || head[2] != '3') {
        return 0;
    }
    for (std::size_t i = 6; i < 10; ++i) {
        if (head[i] >= 0x80) {
            return 0; // sizes are 7 bits per byte ("syncsafe")
        }
    }
    const std::size_t body = (std::size_t{head[6]} << 21) | (std::size_t{head[7]} << 14) |
                             (std::size_t{head[8]} << 7) | head[9];
    constexpr std::uint8_t kFooterPresent = 0x10;
    return 10 + body + ((head[5] & kFooterPresent) != 0 ? 10 : 0);
}

Mp3InfoTag FindMp3InfoTag(std::span<const std::uint8_t> head) {
    for (std::size_t at = 0; at + 4 <= head.size(); ++at) {
        const std::optional<FrameHeader> header = ParseFrameHeader(head.data() + at);
        if (!header) {
            continue;
        }
        if (header->layer != 3) {
            return Mp3InfoTag::kNone;
        }
        const std::size_t sideInfo =
            header->mpeg1 ? (header->mono ? 17 : 32) : (header->mono ? 9 : 17);
        const std::size_t tagAt = at + 4 + (header->crc ? 2 : 0) + sideInfo;
        if (tagAt + 4 > head.size()) {
            return Mp3InfoTag::kNone;
        }
        const std::string_view word(reinterpret_cast<const char*>(head.data() + tagAt), 4);
        if (word == "Xing") {
            return Mp3InfoTag::kXing;
        }
        if (word == "Info") {
            return Mp3InfoTag::kInfo;
        }
        return Mp3InfoTag::kNone;
    }
    return Mp3InfoTag::kNone;
}

SongDecodeResult DecodeSong(const std::string& path) {
    try {
        return DecodeWhole(path);
    } catch (const std::bad_alloc&) {
        return Failure(audio::TooLargeMessage(path)); // a song longer than memory holds
    }
}

} // namespace player

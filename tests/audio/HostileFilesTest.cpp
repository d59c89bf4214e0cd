// Damaged and hostile song files: each case once crashed, hung, misread or
// over-allocated. The sound result is an error naming the file, or the
// audio that is really there, in whole frames.
#include "AudioTestPaths.h"
#include "audio/AudioSource.h"
#include "audio/DecodeWholeFile.h"
#include "audio/EstimateBpm.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using audio::AudioErrorKind;
using audio::CAudioSource;
using audio::DecodeWholeFile;
using audio::EstimateBpm;

std::string UnsupportedText(const std::string& path, int bits, int channels, long rate) {
    return "File \"" + path + "\" uses an unsupported sample format (" + std::to_string(bits) +
           " bits, " + std::to_string(channels) + " channels, " + std::to_string(rate) + " Hz).";
}

std::vector<std::uint8_t> SilentBytes(std::size_t bytes) {
    return std::vector<std::uint8_t>(bytes, 0);
}

// Formats outside 8-384 kHz and 1-8 channels are refused by the estimate
// and by the player's decoder alike, before SoundTouch (which aborts above
// about 35.8 MHz) or an allocation sees them.
TEST(HostileFiles, WavFormatsOutsideTheBoundsAreUnsupported) {
    const struct {
        std::uint16_t channels;
        std::uint32_t rate;
    } cases[] = {{2, 40'000'000}, {2, 2147483647}, {2, 4294967295u}, {2, 7999}, {2, 384001},
                 {9, 44100},      {17, 44100},     {514, 44100},     {0, 44100}};
    for (const auto& c : cases) {
        const std::string path = testpaths::ScratchFile(
            "hostile.wav", testsignals::MakeWav({.channels = c.channels, .sampleRate = c.rate},
                                                SilentBytes(4096)));
        SCOPED_TRACE(std::to_string(c.channels) + " channels at " + std::to_string(c.rate));
        const std::string expected = UnsupportedText(path, 16, c.channels, long{c.rate});
        const auto estimate = EstimateBpm(path);
        ASSERT_FALSE(estimate);
        EXPECT_EQ(estimate.error().kind, AudioErrorKind::kUnsupported);
        EXPECT_EQ(estimate.error().message, expected);
        const auto decoded = DecodeWholeFile(path);
        ASSERT_FALSE(decoded);
        EXPECT_EQ(decoded.error().message, expected);
    }
}

// The edges are inside: 8 kHz and 384 kHz, 1 and 8 channels are estimated.
// The tempo is checked loosely (one BPM; a detector step at 384 kHz) because
// the point here is that the detector takes these formats at all. Mono at
// 384 kHz and eight channels at 8 kHz keep the test light.
TEST(HostileFiles, EdgeFormatsAreEstimated) {
    const struct {
        int channels;
        int rate;
    } cases[] = {{1, 8000}, {1, 384000}, {8, 8000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels at " + std::to_string(c.rate));
        const std::string path =
            testpaths::ScratchWav("edge.wav",
                                  {.channels = static_cast<std::uint16_t>(c.channels),
                                   .sampleRate = static_cast<std::uint32_t>(c.rate)},
                                  testsignals::SynthesizeMusic(128.0, 8.0, c.rate, c.channels));
        const auto estimate = EstimateBpm(path);
        ASSERT_TRUE(estimate) << estimate.error().message;
        EXPECT_NEAR(estimate.value(), 128.0f, 1.0f);
    }
}

// A data chunk that ends inside a frame: every chunk and the decoded song
// hold whole frames, the partial one is dropped, and progress ends at 100.
TEST(HostileFiles, WavChunksAndSongsHoldWholeFrames) {
    const struct {
        std::uint16_t bits;
        std::size_t dataBytes;
    } cases[] = {{24, 6 * 1000 + 4}, {24, 1}, {16, 4 * 2000 + 3}, {8, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.dataBytes) + " bytes");
        const std::string path = testpaths::ScratchFile(
            "partial.wav", testsignals::MakeWav({.channels = 2, .bitsPerSample = c.bits},
                                                SilentBytes(c.dataBytes)));
        const std::size_t frameBytes = c.bits / 8 * 2;
        const std::size_t wholeFrames = c.dataBytes / frameBytes;
        CAudioSource source;
        ASSERT_TRUE(source.Open(path));
        std::size_t delivered = 0;
        int lastPercent = 0;
        while (source.DecodeNextChunk() > 0) {
            EXPECT_EQ(static_cast<std::size_t>(source.GetChunkBytes()) % frameBytes, 0u);
            delivered += static_cast<std::size_t>(source.GetChunkBytes());
            EXPECT_GE(source.ProgressPercent(), lastPercent);
            lastPercent = source.ProgressPercent();
        }
        EXPECT_EQ(delivered, wholeFrames * frameBytes);
        EXPECT_LE(lastPercent, 100);
        const auto decoded = DecodeWholeFile(path);
        if (wholeFrames == 0) {
            // Nothing but a partial frame: no audio. Under UBSan this case
            // once reported memcpy into the null data() of an empty vector.
            ASSERT_FALSE(decoded);
            EXPECT_EQ(decoded.error().kind, AudioErrorKind::kDamaged);
        } else {
            ASSERT_TRUE(decoded) << decoded.error().message;
            EXPECT_EQ(decoded.value().samples.size(), wholeFrames * 2);
        }
    }
}

// A data chunk that claims 4 GiB in a 4 KB file is as long as the file.
TEST(HostileFiles, WavDataLengthIsBoundedByTheFile) {
    const std::string path = testpaths::ScratchFile(
        "long.wav", testsignals::MakeWav({.dataLengthOverride = true, .dataLength = 0xFFFFFFFFu},
                                         SilentBytes(4000)));
    CAudioSource source;
    ASSERT_TRUE(source.Open(path));
    int percent = 0;
    while (source.DecodeNextChunk() > 0) {
        percent = source.ProgressPercent();
    }
    EXPECT_EQ(percent, 100);
}

// Ogg pages carry a CRC over the page with its CRC field zeroed:
// polynomial 0x04C11DB7, not reflected, initial value 0.
void FixOggPageCrc(std::vector<std::uint8_t>& file, std::size_t page) {
    const std::size_t segments = file[page + 26];
    std::size_t length = 27 + segments;
    for (std::size_t i = 0; i < segments; ++i) {
        length += file[page + 27 + i];
    }
    std::fill_n(file.begin() + static_cast<long>(page + 22), 4, std::uint8_t{0});
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= static_cast<std::uint32_t>(file[page + i]) << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
    }
    for (int i = 0; i < 4; ++i) {
        file[page + 22 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
}

void PutLe32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The identification header's rate field is read as a signed 32-bit value;
// one of 2^31 and above came out as a negative rate. The first page holds
// only that header: 27 + 1 bytes of page header, then 0x01 "vorbis",
// version (4 bytes) and channels (1 byte) before the rate.
TEST(HostileFiles, OggRatesOutsideTheBoundsAreUnsupported) {
    constexpr std::size_t kRateField = 28 + 7 + 4 + 1;
    const std::vector<std::uint8_t> valid =
        testsignals::ReadFile(testpaths::Fixture("stereo_137.ogg"));
    for (const std::uint32_t rate : {0x80000000u, 0xFFFFFFFFu, 40'000'000u, 4000u}) {
        std::vector<std::uint8_t> file = valid;
        PutLe32(file, kRateField, rate);
        FixOggPageCrc(file, 0);
        const std::string path = testpaths::ScratchFile("rate.ogg", file);
        const auto decoded = DecodeWholeFile(path);
        ASSERT_FALSE(decoded) << rate;
        EXPECT_EQ(decoded.error().kind, AudioErrorKind::kUnsupported) << rate;
        const auto estimate = EstimateBpm(path);
        ASSERT_FALSE(estimate) << rate;
        EXPECT_EQ(estimate.error().kind, AudioErrorKind::kUnsupported) << rate;
    }
}

// Granule positions that say the stream is shorter than it is made the
// progress run past 100 %.
TEST(HostileFiles, OggProgressNeverPassesOneHundred) {
    for (const char* fixture : {"stereo_137.ogg", "chained_same.ogg"}) {
        std::vector<std::uint8_t> file = testsignals::ReadFile(testpaths::Fixture(fixture));
        // Every page past the headers claims to end at sample 1000.
        for (std::size_t at = 0; at + 27 < file.size(); ++at) {
            if (std::equal(file.begin() + static_cast<long>(at),
                           file.begin() + static_cast<long>(at + 4), "OggS") &&
                file[at + 6] + file[at + 7] != 0) {
                PutLe32(file, at + 6, 1000);
                PutLe32(file, at + 10, 0);
                FixOggPageCrc(file, at);
            }
        }
        CAudioSource source;
        ASSERT_TRUE(source.Open(testpaths::ScratchFile("granules.ogg", file)));
        int chunks = 0;
        while (source.DecodeNextChunk() > 0) {
            ASSERT_LE(source.ProgressPercent(), 100) << fixture;
            ++chunks;
        }
        EXPECT_GT(chunks, 0) << fixture;
    }
}

// A chained stream whose links differ in channel count plays its first
// link whole and ends where the format changes, whichever link is first.
TEST(HostileFiles, ChainedOggPlaysTheFirstLink) {
    const struct {
        const char* chained;
        const char* first;
    } cases[] = {{"chained_mono.ogg", "stereo_137.ogg"},
                 {"chained_mono_first.ogg", "mono_110.ogg"}};
    for (const auto& c : cases) {
        const auto first = DecodeWholeFile(testpaths::Fixture(c.first));
        const auto chained = DecodeWholeFile(testpaths::Fixture(c.chained));
        ASSERT_TRUE(first && chained) << c.chained;
        EXPECT_EQ(chained.value().channels, first.value().channels) << c.chained;
        EXPECT_EQ(chained.value().samples, first.value().samples) << c.chained;
        const auto estimate = EstimateBpm(testpaths::Fixture(c.chained));
        EXPECT_TRUE(estimate) << c.chained;
    }
}

// A Xing frame count of 0xFFFFFFFF once made the decoder reserve room for
// two hours (1.4 GB) for a 24 KB file.
TEST(HostileFiles, XingFrameCountDoesNotReserveBeyondTheFile) {
    std::vector<std::uint8_t> file = testsignals::ReadFile(testpaths::Fixture("burst_vbr.mp3"));
    const auto xing = std::search(file.begin(), file.end(), "Xing", "Xing" + 4);
    ASSERT_NE(xing, file.end());
    const auto at = static_cast<std::size_t>(xing - file.begin());
    ASSERT_NE(file[at + 7] & 1, 0) << "the tag carries a frame count";
    for (std::size_t i = 0; i < 4; ++i) {
        file[at + 8 + i] = 0xFF;
    }
    file.resize(std::min<std::size_t>(file.size(), 24 * 1024));
    const auto decoded = DecodeWholeFile(testpaths::ScratchFile("xing.mp3", file));
    ASSERT_TRUE(decoded) << decoded.error().message;
    // At most 24 frames per byte of file, two channels of 2 bytes.
    EXPECT_LE(decoded.value().samples.capacity() * 2, file.size() * 24 * 4);
}

// Captures what is written to file descriptor 2 while `work` runs:
// libmpg123 writes there directly.
template <typename Work> std::string CaptureStderr(Work work) {
    const std::string path = testpaths::Scratch("stderr.txt");
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(file, 2);
    ::close(file);
    work();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    const std::vector<std::uint8_t> bytes = testsignals::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// An MP3 whose rate changes part-way ends there, quietly, on both paths.
TEST(HostileFiles, Mp3RateChangeEndsTheSongWithoutAWord) {
    const std::string path = testpaths::Fixture("rate_change.mp3");
    const auto first = DecodeWholeFile(testpaths::Fixture("stereo_137.mp3"));
    ASSERT_TRUE(first);
    const std::string said = CaptureStderr([&] {
        const auto decoded = DecodeWholeFile(path);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded.value().sampleRate, 44100);
        EXPECT_EQ(decoded.value().samples.size(), first.value().samples.size());
        CAudioSource source;
        ASSERT_TRUE(source.Open(path));
        while (source.DecodeNextChunk() > 0) {
        }
        EXPECT_TRUE(EstimateBpm(path));
    });
    EXPECT_EQ(said, "");
}

} // namespace

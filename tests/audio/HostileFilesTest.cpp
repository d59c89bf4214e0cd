// Damaged and hostile song files: each case once crashed, hung, misread or
// over-allocated. The sound result is an error naming the file, or the
// audio that is really there, in whole frames.
#include "AudioTestPaths.h"
#include "audio/AudioSource.h"
#include "audio/DecodeWholeFile.h"
#include "audio/EstimateBpm.h"
#include "audio/FindTempo.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using audio::AudioErrorKind;
using audio::DecodeWholeFile;
using audio::EstimateBpm;

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> file, std::size_t at,
                                  std::vector<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(at));
    return file;
}

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> file, std::size_t size) {
    file.resize(size);
    return file;
}

// Each path says why it cannot read a file, naming it as given: the tempo
// estimate through its source, the player and the tempo finder through the
// song stream. A WAV without samples opens for the estimate, but the
// player needs a first block. An MP3 whose sync patterns never hold up,
// one cut by the end of the file, must not be read past its end. Formats
// outside 8-384 kHz, 1-8 channels and 8/16/24/32 bits are refused before
// SoundTouch (which aborts above about 35.8 MHz) or an allocation sees
// them; the edges are inside (EstimateBpmTest). In `valid`: RIFF header
// 0-11, "fmt " chunk 12-35, "data" at 36; in `list`, a LIST chunk's length
// field sits at 16.
TEST(HostileFiles, EveryPathRefusesThemWithTheirKindAndMessage) {
    using enum AudioErrorKind;
    using testsignals::MakeWav;
    const std::vector<std::uint8_t> text = {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'};
    std::vector<std::uint8_t> noFrames;
    for (int i = 0; i < 52; ++i) {
        noFrames.insert(noFrames.end(), {0xFF, 0xFB, 0x90});
        noFrames.resize(noFrames.size() + 94, 0x21);
    }
    noFrames.insert(noFrames.end(), {0xFF, 0xFB, 0x90});
    const auto valid = MakeWav({}, std::vector<std::uint8_t>(400, 0x5A));
    const auto list =
        MakeWav({.chunksBeforeFmt = {{"LIST", std::vector<std::uint8_t>(16, 'x')}}}, {});
    const std::string mp3 = "File {} is corrupt or not an MP3 file.";
    const std::string wav = "File {} is corrupt or not a WAV file";
    const std::string encoding = "File {} uses unsupported encoding.";
    struct Case {
        std::string name;
        std::vector<std::uint8_t> bytes; // not written for missing.mp3
        AudioErrorKind kind;
        std::string message; // {} stands for the quoted path
        bool estimateOpens = false;
    };
    std::vector<Case> cases = {
        {"missing.mp3", {}, kCannotOpen, "Error : Unable to open file {} for reading."},
        {"text.mp3", text, kNotThisFormat, mp3},
        {"noframes.mp3", noFrames, kNotThisFormat, mp3},
        {"mp3.wav", testsignals::ReadFile(testpaths::Fixture("stereo_137.mp3")), kNotThisFormat,
         wav},
        {"wav.ogg", valid, kNotThisFormat, "File {} is corrupt or not an Ogg Vorbis file."},
        {"song", text, kUnknownType, "File {} is not an MP3, WAV or Ogg Vorbis file."},
        {"no samples.wav", MakeWav({}, {}), kDamaged, wav, true},
        {"empty.wav", {}, kNotThisFormat, wav},
        {"RIFF cut.wav", Cut(valid, 11), kNotThisFormat, wav},
        {"not RIFF.wav", Patched(valid, 0, {'R', 'I', 'F', 'X'}), kNotThisFormat, wav},
        {"not WAVE.wav", Patched(valid, 8, {'A', 'V', 'I', ' '}), kNotThisFormat, wav},
        {"data before fmt.wav", Patched(valid, 12, {'d', 'a', 't', 'a'}), kDamaged, wav},
        {"label above z.wav", Patched(valid, 36, {'d', '{', 't', 'a'}), kDamaged, wav},
        {"label above 7F.wav", Patched(valid, 36, {'d', 0x80, 't', 'a'}), kDamaged, wav},
        {"label below space.wav", Patched(valid, 36, {'d', 0x1F, 't', 'a'}), kDamaged, wav},
        {"chunk near 4 GiB.wav", Patched(list, 16, {0xF0, 0xFF, 0xFF, 0xFF}), kDamaged, wav},
        {"end in a skipped chunk.wav", Cut(list, 30), kDamaged, wav},
        {"fmt cut short.wav", Cut(valid, 30), kDamaged, wav},
        {"no data chunk.wav", Cut(valid, 36), kDamaged, wav},
        {"float.wav", MakeWav({.formatTag = 3, .bitsPerSample = 32}, valid), kUnsupported,
         encoding},
        {"extensible.wav", MakeWav({.formatTag = 0xFFFE, .fmtLength = 40}, valid), kUnsupported,
         encoding}};
    const std::tuple<std::uint16_t, std::uint32_t, std::uint16_t> formats[] = {
        {2, 40'000'000, 16}, {2, 2147483647, 16}, {2, 4294967295u, 16},
        {2, 7999, 16},       {2, 384001, 16},     {0, 44100, 16},
        {9, 44100, 16},      {514, 44100, 16},    {2, 44100, 12}};
    for (const auto& [channels, rate, bits] : formats) {
        const std::string format = std::to_string(bits) + " bits, " + std::to_string(channels) +
                                   " channels, " + std::to_string(rate) + " Hz";
        cases.push_back({format + ".wav",
                         MakeWav({.channels = channels, .sampleRate = rate, .bitsPerSample = bits},
                                 std::vector<std::uint8_t>(4096, 0)),
                         kUnsupported,
                         "File {} uses an unsupported sample format (" + format + ")."});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = testpaths::Scratch(c.name);
        if (c.kind != kCannotOpen) {
            testsignals::WriteFile(path, c.bytes);
        }
        std::string message = c.message;
        message.replace(message.find("{}"), 2, "\"" + path + "\"");
        const auto expect = [&](const auto& result, bool opens) {
            EXPECT_EQ(result.ok(), opens);
            if (!result.ok()) {
                EXPECT_EQ(std::pair(result.error().kind, result.error().message),
                          std::pair(c.kind, message));
            }
        };
        audio::CAudioSource source;
        expect(source.Open(path), c.estimateOpens);
        EXPECT_EQ(source.DecodeNextChunk(), 0);
        expect(EstimateBpm(path), c.estimateOpens);
        expect(DecodeWholeFile(path), false);
        expect(audio::FindTempo(path), false);
    }
    // Refused before anything is read: a sparse file, so the test is cheap.
    const std::string huge = testpaths::Scratch("huge.mp3");
    testsignals::WriteFile(huge, {});
    std::filesystem::resize_file(huge, audio::CAudioSource::kMaxMp3Bytes + 1);
    audio::CAudioSource source;
    const auto opened = source.Open(huge);
    std::filesystem::remove(huge);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().kind, kUnsupported);
    EXPECT_EQ(opened.error().message, "File \"" + huge + "\" is too large to analyse.");
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
        SCOPED_TRACE(rate);
        std::vector<std::uint8_t> file = valid;
        PutLe32(file, kRateField, rate);
        FixOggPageCrc(file, 0);
        const std::string path = testpaths::ScratchFile("rate.ogg", file);
        const auto decoded = DecodeWholeFile(path);
        ASSERT_FALSE(decoded);
        EXPECT_EQ(decoded.error().kind, AudioErrorKind::kUnsupported);
        const auto estimate = EstimateBpm(path);
        ASSERT_FALSE(estimate);
        EXPECT_EQ(estimate.error().kind, AudioErrorKind::kUnsupported);
    }
}

// Granule positions that say the stream is shorter than it is made the
// progress run past 100 %.
TEST(HostileFiles, OggProgressNeverPassesOneHundred) {
    for (const char* fixture : {"stereo_137.ogg", "chained_same.ogg"}) {
        SCOPED_TRACE(fixture);
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
        const testpaths::Drained all =
            testpaths::DrainFile(testpaths::ScratchFile("granules.ogg", file));
        ASSERT_FALSE(all.percents.empty());
        EXPECT_LE(*std::max_element(all.percents.begin(), all.percents.end()), 100);
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
    std::fill_n(file.begin() + static_cast<long>(at + 8), 4, std::uint8_t{0xFF});
    file.resize(std::min<std::size_t>(file.size(), 24 * 1024));
    const auto decoded = DecodeWholeFile(testpaths::ScratchFile("xing.mp3", file));
    ASSERT_TRUE(decoded) << decoded.error().message;
    // At most 24 frames per byte of file, two channels of 2 bytes.
    EXPECT_LE(decoded.value().samples.capacity() * 2, file.size() * 24 * 4);
}

// An MP3 whose rate changes part-way ends there, on both paths, without
// libmpg123 complaining on file descriptor 2.
TEST(HostileFiles, Mp3RateChangeEndsTheSongWithoutAWord) {
    const std::string path = testpaths::Fixture("rate_change.mp3");
    const auto first = DecodeWholeFile(testpaths::Fixture("stereo_137.mp3"));
    ASSERT_TRUE(first);
    const std::string said = testpaths::Scratch("stderr.txt");
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int file = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(file, 2);
    ::close(file);
    const auto decoded = DecodeWholeFile(path);
    const testpaths::Drained drained = testpaths::DrainFile(path);
    const testpaths::Drained plain = testpaths::DrainFile(testpaths::Fixture("stereo_137.mp3"));
    const auto estimate = EstimateBpm(path);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    EXPECT_TRUE(testsignals::ReadFile(said).empty());
    ASSERT_TRUE(decoded && estimate);
    EXPECT_EQ(decoded.value().sampleRate, 44100);
    EXPECT_EQ(decoded.value().samples, first.value().samples);
    EXPECT_EQ(drained.pcm, plain.pcm);
}

} // namespace

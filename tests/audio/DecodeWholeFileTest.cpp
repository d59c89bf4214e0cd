// Sample 0 of a decoded song is song time 0 as the games that play our
// charts have it. The MP3 and Ogg fixtures come from Debian's lame and
// oggenc (tests/CMakeLists.txt).
#include "audio/DecodeWholeFile.h"

#include "AudioTestPaths.h"
#include "TestSignals.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using audio::AudioErrorKind;
using audio::DecodedSong;
using audio::DecodeWholeFile;

constexpr std::size_t kBurstFrame = 22050; // where the fixture maker puts it
constexpr std::size_t kMpeg1Layer3Frame = 1152;

std::size_t WavSampleCount(const char* wav) {
    return (testsignals::ReadFile(testpaths::Fixture(wav)).size() - 44) / 2;
}

DecodedSong Decode(const std::string& fixture) {
    auto decoded = DecodeWholeFile(testpaths::Fixture(fixture));
    EXPECT_TRUE(decoded) << fixture << ": " << decoded.error().message;
    return decoded ? std::move(decoded.value()) : DecodedSong{};
}

std::size_t Frames(const DecodedSong& song) {
    return song.channels > 0 ? song.samples.size() / static_cast<std::size_t>(song.channels) : 0;
}

// The first frame whose first channel exceeds `threshold` in magnitude.
std::size_t FirstLoudFrame(const DecodedSong& song, int threshold) {
    for (std::size_t frame = 0; frame < Frames(song); ++frame) {
        if (std::abs(song.samples[frame * static_cast<std::size_t>(song.channels)]) > threshold) {
            return frame;
        }
    }
    return Frames(song);
}

TEST(DecodeWholeFile, WavComesBackSampleForSample) {
    const auto song = testsignals::SynthesizeMusic(120.0, 0.3, 32000, 3);
    for (const int bits : {16, 24}) {
        testsignals::WavLayout layout;
        layout.channels = 3;
        layout.sampleRate = 32000;
        layout.bitsPerSample = static_cast<std::uint16_t>(bits);
        const std::string path = testpaths::Scratch("song.wav");
        testsignals::WriteFile(
            path, testsignals::MakeWav(layout, testsignals::ToWavSampleBytes(song, bits)));
        const auto decoded = DecodeWholeFile(path);
        ASSERT_TRUE(decoded) << decoded.error().message;
        EXPECT_EQ(decoded.value().sampleRate, 32000);
        EXPECT_EQ(decoded.value().channels, 3);
        EXPECT_EQ(decoded.value().samples, song) << bits;
    }
}

// oggenc records the exact length in the last granule position.
TEST(DecodeWholeFile, OggKeepsTheExactLength) {
    for (const auto& [file, source, channels] : {std::tuple{"stereo_137.ogg", "stereo_137.wav", 2},
                                                 std::tuple{"mono_110.ogg", "mono_110.wav", 1}}) {
        const DecodedSong song = Decode(file);
        EXPECT_EQ(song.sampleRate, 44100) << file;
        EXPECT_EQ(song.channels, channels) << file;
        EXPECT_EQ(song.samples.size(), WavSampleCount(source)) << file;
    }
}

TEST(DecodeWholeFile, ChainedOggPlaysOnUntilTheFormatChanges) {
    const DecodedSong single = Decode("stereo_137.ogg");
    ASSERT_FALSE(single.samples.empty());
    const DecodedSong twice = Decode("chained_same.ogg");
    ASSERT_EQ(twice.samples.size(), 2 * single.samples.size());
    const auto half = twice.samples.begin() + static_cast<std::ptrdiff_t>(single.samples.size());
    EXPECT_TRUE(std::equal(twice.samples.begin(), half, single.samples.begin()));
    EXPECT_TRUE(std::equal(half, twice.samples.end(), single.samples.begin()));
    // A mono link after the stereo one ends the song.
    EXPECT_EQ(Decode("chained_mono.ogg").samples, single.samples);
}

TEST(DecodeWholeFile, Mp3InfoFrameIsOneFrameOfSilenceBeforeTheMusic) {
    const DecodedSong plain = Decode("burst_cbr_notag.mp3");
    ASSERT_FALSE(plain.samples.empty());
    for (const char* file : {"burst_cbr.mp3", "burst_cbr_id3.mp3"}) {
        const DecodedSong info = Decode(file);
        ASSERT_EQ(Frames(info), Frames(plain) + kMpeg1Layer3Frame) << file;
        const auto music = info.samples.begin() + 2 * kMpeg1Layer3Frame;
        EXPECT_TRUE(std::all_of(info.samples.begin(), music, [](std::int16_t s) { return s == 0; }))
            << file;
        EXPECT_TRUE(std::equal(plain.samples.begin(), plain.samples.end(), music)) << file;
    }
}

TEST(DecodeWholeFile, Mp3XingFrameDecodesToNothing) {
    const DecodedSong tagged = Decode("burst_vbr.mp3");
    ASSERT_FALSE(tagged.samples.empty());
    EXPECT_EQ(tagged.samples, Decode("burst_vbr_notag.mp3").samples);
}

// The VBR file's LAME tag declares the delay and padding that gapless
// decoding would trim; the file without a tag declares none.
TEST(DecodeWholeFile, Mp3EncoderDelayAndPaddingAreNotTrimmed) {
    for (const char* file : {"burst_vbr.mp3", "burst_cbr_notag.mp3"}) {
        const DecodedSong song = Decode(file);
        EXPECT_EQ(song.sampleRate, 44100) << file;
        EXPECT_EQ(song.channels, 2) << file;
        // Whole frames, the padding included.
        EXPECT_EQ(Frames(song) % kMpeg1Layer3Frame, 0U) << file;
        EXPECT_GE(Frames(song), WavSampleCount("burst.wav") / 2) << file;
        // LAME delays the music by 576 samples and the decoder by 529 more;
        // trimming would put the burst back at kBurstFrame. The burst's
        // pre-echo can rise up to one 576-sample granule early.
        const std::size_t onset = FirstLoudFrame(song, 2000);
        EXPECT_GT(onset, kBurstFrame + 1105 - 576) << file;
        EXPECT_LT(onset, kBurstFrame + 1105 + 64) << file;
    }
}

struct Mp3LengthCase {
    const char* file;
    const char* source;
    int sampleRate, channels;
    std::size_t frameSamples;
};

void PrintTo(const Mp3LengthCase& c, std::ostream* os) {
    *os << c.file;
}

class DecodedMp3Length : public ::testing::TestWithParam<Mp3LengthCase> {};

// Untrimmed, a LAME file decodes to its Info frame, the 576 + 529 samples
// of delay, the music and the padding that completes the last frame.
TEST_P(DecodedMp3Length, IsWholeFramesFromTheInfoFrameOn) {
    const Mp3LengthCase& c = GetParam();
    const DecodedSong song = Decode(c.file);
    EXPECT_EQ(song.sampleRate, c.sampleRate);
    EXPECT_EQ(song.channels, c.channels);
    const std::size_t music = WavSampleCount(c.source) / static_cast<std::size_t>(c.channels);
    const std::size_t leadIn = c.frameSamples + 1105;
    EXPECT_EQ(Frames(song) % c.frameSamples, 0U);
    EXPECT_GE(Frames(song), leadIn + music);
    EXPECT_LT(Frames(song), leadIn + music + 2 * c.frameSamples);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, DecodedMp3Length,
    ::testing::Values(Mp3LengthCase{"stereo_137.mp3", "stereo_137.wav", 44100, 2, 1152},
                      Mp3LengthCase{"mono_110.mp3", "mono_110.wav", 44100, 1, 1152},
                      Mp3LengthCase{"mpeg2_122.mp3", "stereo22k_122.wav", 22050, 2, 576}),
    [](const auto& test) {
        std::string name = test.param.file;
        return name.substr(0, name.find('.'));
    });

struct UnplayableCase {
    const char* name;
    std::vector<std::uint8_t> bytes; // empty: the file is not written
    AudioErrorKind kind;
};

void PrintTo(const UnplayableCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeUnplayable : public ::testing::TestWithParam<UnplayableCase> {};

TEST_P(DecodeUnplayable, FilesAreErrorsOfTheirKind) {
    const UnplayableCase& c = GetParam();
    const std::string path = testpaths::Scratch(c.name);
    if (!c.bytes.empty()) {
        testsignals::WriteFile(path, c.bytes);
    }
    const auto decoded = DecodeWholeFile(path);
    ASSERT_FALSE(decoded);
    EXPECT_EQ(decoded.error().kind, c.kind);
    EXPECT_NE(decoded.error().message.find(path), std::string::npos) << decoded.error().message;
}

std::vector<std::uint8_t> Text(const std::string& text) {
    return {text.begin(), text.end()};
}

INSTANTIATE_TEST_SUITE_P(
    Files, DecodeUnplayable,
    ::testing::Values(
        UnplayableCase{"missing.mp3", {}, AudioErrorKind::kCannotOpen},
        UnplayableCase{"text.mp3", Text("not an MPEG stream"), AudioErrorKind::kNotThisFormat},
        UnplayableCase{"text.ogg", Text("not a Vorbis stream"), AudioErrorKind::kNotThisFormat},
        UnplayableCase{"silent.wav", testsignals::MakeWav({}, {}), AudioErrorKind::kDamaged},
        UnplayableCase{"song.xyz", Text("whatever"), AudioErrorKind::kUnknownType}),
    [](const auto& test) {
        std::string name = test.param.name;
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });

} // namespace

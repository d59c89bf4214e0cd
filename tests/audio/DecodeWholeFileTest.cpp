// Sample 0 of a decoded song is song time 0 as the games that play our
// charts have it. The MP3 and Ogg fixtures come from Debian's lame and
// oggenc (tests/CMakeLists.txt).
#include "audio/DecodeWholeFile.h"

#include "AudioTestPaths.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using audio::AudioErrorKind;
using audio::DecodedSong;
using audio::DecodeWholeFile;

constexpr std::size_t kBurstFrame = 22050; // where the fixture maker puts it
constexpr std::size_t kMpeg1Layer3Frame = 1152;
constexpr std::size_t kLameDelay = 576 + 529; // the encoder's, then the decoder's

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

TEST(DecodeWholeFile, WavComesBackSampleForSample) {
    const auto song = testsignals::SynthesizeMusic(120.0, 0.3, 32000, 3);
    for (const std::uint16_t bits : {std::uint16_t{16}, std::uint16_t{24}}) {
        const auto decoded = DecodeWholeFile(testpaths::ScratchWav(
            "song.wav", {.channels = 3, .sampleRate = 32000, .bitsPerSample = bits}, song));
        ASSERT_TRUE(decoded) << decoded.error().message;
        EXPECT_EQ(decoded.value().sampleRate, 32000);
        EXPECT_EQ(decoded.value().channels, 3);
        EXPECT_EQ(decoded.value().samples, song) << bits;
    }
}

// oggenc records the exact length in the last granule position. A second
// link of the same format plays on; a mono link after stereo ends the song.
TEST(DecodeWholeFile, OggKeepsTheExactLengthAndPlaysOnUntilTheFormatChanges) {
    EXPECT_EQ(Decode("mono_110.ogg").channels, 1);
    EXPECT_EQ(Decode("mono_110.ogg").samples.size(), WavSampleCount("mono_110.wav"));
    const DecodedSong single = Decode("stereo_137.ogg");
    EXPECT_EQ(single.sampleRate, 44100);
    EXPECT_EQ(single.channels, 2);
    ASSERT_EQ(single.samples.size(), WavSampleCount("stereo_137.wav"));
    const DecodedSong twice = Decode("chained_same.ogg");
    ASSERT_EQ(twice.samples.size(), 2 * single.samples.size());
    const auto half = twice.samples.begin() + static_cast<std::ptrdiff_t>(single.samples.size());
    EXPECT_TRUE(std::equal(twice.samples.begin(), half, single.samples.begin()));
    EXPECT_TRUE(std::equal(half, twice.samples.end(), single.samples.begin()));
    EXPECT_EQ(Decode("chained_mono.ogg").samples, single.samples);
}

// Untrimmed, a LAME file decodes to its Info frame (a Xing frame decodes to
// nothing), the delay, the music and the padding that completes the last
// frame. The VBR file's LAME tag declares the delay and padding that
// gapless decoding would trim; the files without a tag declare none.
TEST(DecodeWholeFile, Mp3KeepsTheEncoderDelayAndPaddingInWholeFrames) {
    const struct {
        const char* file;
        const char* source;
        int sampleRate, channels;
        std::size_t frameSamples;
        bool infoFrame;
    } cases[] = {{"stereo_137.mp3", "stereo_137.wav", 44100, 2, 1152, true},
                 {"mono_110.mp3", "mono_110.wav", 44100, 1, 1152, true},
                 {"mpeg2_122.mp3", "stereo22k_122.wav", 22050, 2, 576, true},
                 {"burst_vbr.mp3", "burst.wav", 44100, 2, 1152, false},
                 {"burst_cbr_notag.mp3", "burst.wav", 44100, 2, 1152, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const DecodedSong song = Decode(c.file);
        EXPECT_EQ(song.sampleRate, c.sampleRate);
        EXPECT_EQ(song.channels, c.channels);
        const std::size_t music = WavSampleCount(c.source) / static_cast<std::size_t>(c.channels);
        const std::size_t leadIn = (c.infoFrame ? c.frameSamples : 0) + kLameDelay;
        EXPECT_EQ(Frames(song) % c.frameSamples, 0U);
        EXPECT_GE(Frames(song), leadIn + music);
        EXPECT_LT(Frames(song), leadIn + music + 2 * c.frameSamples);
        if (std::string(c.source) == "burst.wav") {
            // Trimming would put the burst back at kBurstFrame. Its
            // pre-echo can rise up to one 576-sample granule early.
            std::size_t onset = 0;
            while (onset < Frames(song) && std::abs(song.samples[2 * onset]) <= 2000) {
                ++onset;
            }
            EXPECT_GT(onset, kBurstFrame + kLameDelay - 576);
            EXPECT_LT(onset, kBurstFrame + kLameDelay + 64);
        }
    }
}

TEST(DecodeWholeFile, Mp3InfoFrameIsOneFrameOfSilenceAndXingFrameIsNothing) {
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
    const DecodedSong xing = Decode("burst_vbr.mp3");
    ASSERT_FALSE(xing.samples.empty());
    EXPECT_EQ(xing.samples, Decode("burst_vbr_notag.mp3").samples);
}

TEST(DecodeWholeFile, UnplayableFilesAreErrorsOfTheirKind) {
    const std::vector<std::uint8_t> text = {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'};
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes; // empty: the file is not written
        AudioErrorKind kind;
    } cases[] = {{"missing.mp3", {}, AudioErrorKind::kCannotOpen},
                 {"text.mp3", text, AudioErrorKind::kNotThisFormat},
                 {"text.ogg", text, AudioErrorKind::kNotThisFormat},
                 {"silent.wav", testsignals::MakeWav({}, {}), AudioErrorKind::kDamaged},
                 {"song.xyz", text, AudioErrorKind::kUnknownType}};
    for (const auto& c : cases) {
        const std::string path = testpaths::Scratch(c.name);
        if (!c.bytes.empty()) {
            testsignals::WriteFile(path, c.bytes);
        }
        const auto decoded = DecodeWholeFile(path);
        ASSERT_FALSE(decoded) << c.name;
        EXPECT_EQ(decoded.error().kind, c.kind) << c.name;
        EXPECT_NE(decoded.error().message.find(path), std::string::npos) << decoded.error().message;
    }
}

} // namespace

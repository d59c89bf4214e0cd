// Sample 0 of a decoded song is song time 0 as the games that play our
// charts have it. The MP3 and Ogg fixtures come from Debian's lame and
// oggenc (tests/CMakeLists.txt).
#include "audio/DecodeWholeFile.h"

#include "AudioTestPaths.h"
#include "audio/Resample.h"
#include "audio/SongStream.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <numbers>

namespace {

using audio::DecodedSong;
using audio::DecodeWholeFile;

constexpr std::size_t kBurstFrame = 22050;    // where the fixture maker puts it
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

// oggenc records the exact length in the last granule position. A chained
// stream plays its links while the format stays; where the channel count
// changes, the song ends, whichever link is first.
TEST(DecodeWholeFile, OggKeepsTheExactLengthAndPlaysOnUntilTheFormatChanges) {
    const struct {
        const char* file;
        const char* firstLink;
        const char* source;
        std::size_t links;
    } cases[] = {{"stereo_137.ogg", "stereo_137.ogg", "stereo_137.wav", 1},
                 {"mono_110.ogg", "mono_110.ogg", "mono_110.wav", 1},
                 {"chained_same.ogg", "stereo_137.ogg", "stereo_137.wav", 2},
                 {"chained_mono.ogg", "stereo_137.ogg", "stereo_137.wav", 1},
                 {"chained_mono_first.ogg", "mono_110.ogg", "mono_110.wav", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const DecodedSong first = Decode(c.firstLink);
        const DecodedSong song = Decode(c.file);
        EXPECT_EQ(song.sampleRate, 44100);
        EXPECT_EQ(song.channels, first.channels);
        ASSERT_EQ(first.samples.size(), WavSampleCount(c.source));
        ASSERT_EQ(song.samples.size(), c.links * first.samples.size());
        for (std::size_t link = 0; link < c.links; ++link) {
            EXPECT_TRUE(std::equal(first.samples.begin(), first.samples.end(),
                                   song.samples.begin() +
                                       static_cast<std::ptrdiff_t>(link * first.samples.size())));
        }
    }
}

// Untrimmed, a LAME file decodes to its Info frame (one frame of silence,
// also behind an ID3v2 tag; a Xing frame decodes to nothing), the delay,
// the music and the padding that completes the last frame. The VBR file's
// LAME tag declares the delay and padding that gapless decoding would
// trim; the files without a tag declare none. Trimming would put the
// burst back at kBurstFrame; its pre-echo can rise up to one 576-sample
// granule early.
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
                 {"burst_cbr.mp3", "burst.wav", 44100, 2, 1152, true},
                 {"burst_cbr_id3.mp3", "burst.wav", 44100, 2, 1152, true},
                 {"burst_vbr.mp3", "burst.wav", 44100, 2, 1152, false},
                 {"burst_vbr_notag.mp3", "burst.wav", 44100, 2, 1152, false},
                 {"burst_cbr_notag.mp3", "burst.wav", 44100, 2, 1152, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const DecodedSong song = Decode(c.file);
        EXPECT_EQ(std::pair(song.sampleRate, song.channels), std::pair(c.sampleRate, c.channels));
        const std::size_t music = WavSampleCount(c.source) / static_cast<std::size_t>(c.channels);
        const std::size_t leadIn = (c.infoFrame ? c.frameSamples : 0) + kLameDelay;
        EXPECT_EQ(Frames(song) % c.frameSamples, 0U);
        EXPECT_GE(Frames(song), leadIn + music);
        EXPECT_LT(Frames(song), leadIn + music + 2 * c.frameSamples);
        if (std::string(c.source) == "burst.wav") {
            std::size_t onset = 0;
            while (onset < Frames(song) && std::abs(song.samples[2 * onset]) <= 2000) {
                ++onset;
            }
            EXPECT_GT(onset, kBurstFrame + leadIn - 576);
            EXPECT_LT(onset, kBurstFrame + leadIn + 64);
        }
    }
}

// A stream has covered its whole file when it ends. It announces the
// length the file states: the granule positions of all Ogg links, the VBR
// MP3's Xing frame count, nothing for a WAV.
TEST(SongStream, EndsAtOneHundredPercentAndAnnouncesTheStatedLength) {
    for (const auto& [file, announced] :
         {std::pair{"chained_same.ogg", true}, std::pair{"burst_vbr.mp3", true},
          std::pair{"stereo_137.wav", false}}) {
        auto opened = audio::SongStream::Open(testpaths::Fixture(file));
        ASSERT_TRUE(opened) << file;
        audio::SongStream& stream = *opened.value();
        std::int64_t samples = 0;
        for (auto block = stream.Next(); !block.empty(); block = stream.Next()) {
            samples += static_cast<std::int64_t>(block.size());
        }
        EXPECT_EQ(stream.ProgressPercent(), 100) << file;
        EXPECT_EQ(stream.ExpectedFrames(), announced ? samples / stream.Channels() : 0) << file;
    }
}

TEST(Resample, HighRatesPlayAtHalfTheirRate) {
    const std::pair<int, int> rates[] = {
        {44100, 44100}, {192000, 192000}, {192001, 96001}, {352800, 176400}, {384000, 192000}};
    for (const auto& [rate, playback] : rates) {
        EXPECT_EQ(audio::PlaybackRateFor(rate), playback) << rate;
    }
}

// A 1 kHz sine at 384 kHz comes out at 192 kHz as the same sine: half the
// frames, the same number of cycles, the same level, and the channels kept
// apart and whole. Unusable rates leave the song as it was.
TEST(Resample, KeepsLengthPitchAndLevel) {
    DecodedSong song{{}, 384000, 3};
    for (std::size_t i = 0; i < 192000; ++i) {
        const double value =
            16000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(i) / 384000.0);
        song.samples.insert(song.samples.end(), 3, static_cast<std::int16_t>(std::lround(value)));
    }
    const DecodedSong original = song;
    for (const auto& [rate, channels] : {std::pair{0, 3}, std::pair{192000, 0}}) {
        DecodedSong bad = original;
        bad.channels = channels;
        EXPECT_FALSE(audio::ResampleSong(bad, rate));
        EXPECT_EQ(bad.samples, original.samples);
    }
    ASSERT_TRUE(audio::ResampleSong(song, 384000));
    EXPECT_EQ(song.samples, original.samples);
    ASSERT_TRUE(audio::ResampleSong(song, 192000));
    EXPECT_EQ(song.sampleRate, 192000);
    ASSERT_EQ(song.samples.size() % 3, 0u);
    const std::size_t frames = song.samples.size() / 3;
    // The converter's filter delay may cost a few frames at the end.
    EXPECT_NEAR(static_cast<double>(frames), 96000.0, 64.0);
    int crossings = 0;
    int peak = 0;
    // Away from the ends, where the filter rings in and out.
    for (std::size_t i = 1000; i + 1000 < frames; ++i) {
        const int now = song.samples[3 * i + 1];
        crossings += (song.samples[3 * (i - 1) + 1] < 0) != (now < 0) ? 1 : 0;
        peak = std::max(peak, std::abs(now));
        EXPECT_EQ(song.samples[3 * i], now);
        EXPECT_EQ(song.samples[3 * i + 2], now);
    }
    const double seconds = static_cast<double>(frames - 2000) / 192000;
    // Two crossings per cycle, give or take the cycle cut at each end.
    EXPECT_NEAR(crossings, 2.0 * 1000.0 * seconds, 2.0);
    // A pass-band sine keeps its level to within 1 %.
    EXPECT_NEAR(peak, 16000, 160);
}

} // namespace

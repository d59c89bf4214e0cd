// Reading song files: the source that hands out 16-bit chunks to the tempo
// estimate, and the whole decoded song the player and the tempo finder
// take (sample 0 is song time 0 as the games that play our charts have
// it), resampled when its rate is too high to play. The MP3 and Ogg
// fixtures come from Debian's lame, twolame and oggenc
// (tests/CMakeLists.txt), made from 8 s songs.
#include "audio/AudioSource.h"

#include "AudioTestPaths.h"
#include "audio/DecodeWholeFile.h"
#include "audio/EstimateBpm.h"
#include "audio/MpegHeader.h"
#include "audio/Resample.h"
#include "audio/WavReader.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <numbers>

namespace {

using audio::CAudioSource;
using testpaths::Fixture;
using testsignals::MakeWav;
using testsignals::ReadFile;
using testsignals::WavChunk;
using testsignals::WavLayout;

std::size_t WavFrames(const char* wav, int channels) {
    return (ReadFile(Fixture(wav)).size() - 44) / 2 / std::size_t(channels);
}

// The source: walking each encoder's MP3 by our frame sizes lands on every
// frame header and ends exactly at the end of the file; the first chunk is
// the third frame (two are decoded and dropped while looking for the first
// frame) and every frame gives one chunk. Ogg chunks are at most 5512
// bytes. Progress rises to 100, or to the share of the file read where a
// chained Ogg stream changes its channel count. An Ogg run's stream stays
// open after its source is gone, so the next Ogg file must clear it and
// still read its own. The estimate lies within 1 % of the song's tempo (a
// wrong rate, channel or frame count moves it further or loses the beat).
//
// The whole song: an Ogg file keeps its exact length (the last granule
// position), and a chained stream plays on while its format stays, its
// links alike. Untrimmed, a LAME file decodes to its Info frame (one frame
// of silence, also behind an ID3v2 tag; a Xing frame decodes to nothing),
// the encoder's and the decoder's delay (576 + 529), the music and the
// padding that completes the last frame. The VBR file's LAME tag declares
// the delay and padding that gapless decoding would trim; the files
// without a tag declare none. A 2 ms burst at frame 22050 of the song
// lands there after the lead-in; its pre-echo can rise up to one 576-frame
// granule early.
TEST(AudioSource, EveryEncodingIsReadWholeAtItsFormatAndTempo) {
    const struct {
        const char* file;
        int rate, channels, chunkFrames; // chunkFrames 0: Ogg
        int lastPercent;
        const char* source; // the WAV it was made from
        double bpm;
        std::size_t links, leadIn; // leadIn 0: not checked
    } cases[] = {{"stereo_137.mp3", 44100, 2, 1152, 100, "stereo_137.wav", 137, 1, 1152 + 1105},
                 {"tagged_137.mp3", 44100, 2, 1152, 100, "stereo_137.wav", 137, 1, 1152 + 1105},
                 {"mono_110.mp3", 44100, 1, 1152, 100, "mono_110.wav", 110, 1, 1152 + 1105},
                 {"mpeg2_122.mp3", 22050, 2, 576, 100, "stereo22k_122.wav", 122, 1, 576 + 1105},
                 {"layer2_137.mp3", 44100, 2, 1152, 100, "stereo_137.wav", 137, 1, 0},
                 {"burst_cbr.mp3", 44100, 2, 1152, 100, "burst.wav", 0, 1, 1152 + 1105},
                 {"burst_cbr_id3.mp3", 44100, 2, 1152, 100, "burst.wav", 0, 1, 1152 + 1105},
                 {"burst_vbr.mp3", 44100, 2, 1152, 100, "burst.wav", 0, 1, 1105},
                 {"burst_vbr_notag.mp3", 44100, 2, 1152, 100, "burst.wav", 0, 1, 1105},
                 {"burst_cbr_notag.mp3", 44100, 2, 1152, 100, "burst.wav", 0, 1, 1105},
                 {"stereo_137.ogg", 44100, 2, 0, 100, "stereo_137.wav", 137, 1, 0},
                 {"mono_110.ogg", 44100, 1, 0, 100, "mono_110.wav", 110, 1, 0},
                 {"stereo_137.ogg", 44100, 2, 0, 100, "stereo_137.wav", 137, 1, 0},
                 {"chained_same.ogg", 44100, 2, 0, 100, "stereo_137.wav", 0, 2, 0},
                 {"chained_mono.ogg", 44100, 2, 0, 50, "stereo_137.wav", 0, 1, 0},
                 {"chained_mono_first.ogg", 44100, 1, 0, 50, "mono_110.wav", 0, 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        CAudioSource source;
        ASSERT_TRUE(source.Open(Fixture(c.file)));
        EXPECT_EQ(std::tuple(source.SampleRate(), source.Channels(), source.BitsPerSample()),
                  std::tuple(c.rate, c.channels, 16));
        const testpaths::Drained all = testpaths::Drain(source);
        EXPECT_TRUE(std::is_sorted(all.percents.begin(), all.percents.end()));
        EXPECT_EQ(all.percents.back(), c.lastPercent);
        const auto decoded = audio::DecodeWholeFile(Fixture(c.file));
        ASSERT_TRUE(decoded) << decoded.error().message;
        const audio::DecodedSong& song = decoded.value();
        EXPECT_EQ(std::pair(song.sampleRate, song.channels), std::pair(c.rate, c.channels));
        const std::size_t frames = song.samples.size() / std::size_t(c.channels);
        const std::size_t music = WavFrames(c.source, c.channels);
        if (c.chunkFrames == 0) {
            EXPECT_EQ(all.pcm.size(), 2 * std::size_t(c.channels) * c.links * music);
            EXPECT_LE(*std::max_element(all.chunkBytes.begin(), all.chunkBytes.end()), 5512);
            EXPECT_EQ(frames, c.links * music);
            EXPECT_TRUE(std::equal(song.samples.begin() + long(song.samples.size() / c.links),
                                   song.samples.end(), song.samples.begin()));
        } else {
            const auto bytes = ReadFile(Fixture(c.file));
            std::size_t at =
                bytes.size() > 10 ? audio::Id3v2TagBytes(bytes.data(), bytes.size()) : 0;
            std::size_t count = 0;
            for (; at + 4 <= bytes.size(); ++count) {
                const auto info = audio::DescribeFrame(audio::SplitFrameHeader(&bytes[at]));
                ASSERT_TRUE(info.has_value()) << "no header at byte " << at << " after " << count;
                at += static_cast<std::size_t>(info->frameBytes);
            }
            EXPECT_EQ(at, bytes.size());
            EXPECT_EQ(all.chunkBytes, std::vector<int>(count - 2, c.chunkFrames * c.channels * 2));
            EXPECT_EQ(frames % std::size_t(c.chunkFrames), 0U);
        }
        if (c.leadIn > 0) {
            EXPECT_TRUE(frames >= c.leadIn + music &&
                        frames < c.leadIn + music + 2 * std::size_t(c.chunkFrames))
                << frames;
        }
        if (std::string(c.source) == "burst.wav") {
            std::size_t onset = 0;
            while (onset < frames && std::abs(song.samples[2 * onset]) <= 2000)
                ++onset;
            EXPECT_TRUE(onset > 22050 + c.leadIn - 576 && onset < 22050 + c.leadIn + 64) << onset;
        }
        if (c.bpm > 0) {
            EXPECT_NEAR(audio::EstimateBpm(Fixture(c.file)).value(), c.bpm, c.bpm * 0.01);
        }
    }
}

// Every layout opens at its stated format and hands out exactly the data
// chunk's bytes: a chunk skipped by the wrong amount would shift the data
// or fail the next label. Labels are checked up to a zero byte, from space
// to 'z'. Reads stop at the stated data length and at the end of the file,
// whichever comes first; progress is the share of the data handed out,
// truncated. Chunks hold at most 5512 bytes of whole frames: 1378 stereo
// 16-bit frames, or 306 frames of six 24-bit channels (5508 bytes); a data
// chunk that ends inside a frame loses that frame. 8-bit samples are
// unsigned around 128 and keep their byte as the high one; 24 and 32-bit
// samples keep their two most significant bytes. The player's decoder
// reads the same samples; without a single whole frame it calls the file
// damaged (under UBSan that case once reported memcpy into the null data()
// of an empty vector).
TEST(AudioSource, WavChunksAreWholeFramesOfAtMost5512BytesIn16Bit) {
    std::vector<std::uint8_t> ramp(1800);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const WavChunk list{"LIST",
                        {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 4, 0, 0, 0, 'S', 'o', 'n', 'g'}};
    const WavChunk odd{"junk", {1, 2, 3, 4, 5, 6, 7}};
    const std::vector<std::uint8_t> x5A(1, 0x5A);
    const std::vector<std::uint8_t> bytes24 = {0x11, 0x34, 0x12, 0x99, 0x00, 0x80,
                                               0xFF, 0xFF, 0x7F, 0x01, 0xFE, 0xFF};
    const std::vector<std::uint8_t> bytes32 = {0x11, 0x22, 0x34, 0x12, 0xAA, 0xBB, 0x00, 0x80,
                                               0,    0,    0xFF, 0x7F, 1,    2,    3,    4};
    const WavLayout mono8{.channels = 1, .sampleRate = 8000, .bitsPerSample = 8};
    const WavLayout bits8{.bitsPerSample = 8};
    const WavLayout six24{.channels = 6, .sampleRate = 96000, .bitsPerSample = 24};
    const auto stated = [](std::uint32_t bytes) {
        return WavLayout{.dataLengthOverride = true, .dataLength = bytes};
    };
    const struct {
        const char* name;
        WavLayout layout;
        std::vector<std::uint8_t> data; // repeated to `bytes`
        std::size_t bytes;
        std::vector<int> chunkBytes, percents;
        std::vector<std::int16_t> samples; // the first ones, unless 16-bit
    } cases[] = {
        // clang-format off
        {"odd chunk, LIST", {.chunksBeforeData = {odd, list}}, ramp, 1800, {1800}, {100}, {}},
        {"odd chunk before fmt", {.chunksBeforeFmt = {odd}}, ramp, 1800, {1800}, {100}, {}},
        {"' ' and z", {.chunksBeforeData = {{"z z ", {1}}}}, ramp, 1800, {1800}, {100}, {}},
        {"0 ends", {.chunksBeforeFmt = {{{"a\0\177b", 4}, {1}}}}, ramp, 1800, {1800}, {100}, {}},
        {"fmt 17", {.fmtLength = 17, .chunksBeforeData = {list}}, ramp, 1800, {1800}, {100}, {}},
        {"fmt of 40", {.fmtLength = 40, .chunksBeforeData = {list}}, ramp, 1800, {1800}, {100}, {}},
        {"more than stated", stated(1001), ramp, 1800, {1000}, {99}, {}},
        {"fewer than stated", stated(5000), ramp, 1800, {1800}, {100}, {}},
        {"4 GiB stated", stated(0xFFFFFFFFu), ramp, 1800, {1800}, {100}, {}},
        {"stereo 16-bit", {}, x5A, 12000, {5512, 5512, 976}, {45, 91, 100}, {}},
        {"six 24-bit channels", six24, x5A, 12600, {5508, 5508, 1584}, {43, 87, 100}, {0x5A5A}},
        {"mono 8-bit", mono8, x5A, 5512, {5512}, {100}, {-9728}},
        {"no samples", {}, x5A, 0, {}, {}, {}},
        {"24-bit, part frame", {.bitsPerSample = 24}, x5A, 6004, {5508, 492}, {91, 99}, {0x5A5A}},
        {"16-bit, part frame", {}, x5A, 8003, {5512, 2488}, {68, 99}, {}},
        {"24-bit, one byte", {.bitsPerSample = 24}, x5A, 1, {}, {}, {}},
        {"8-bit, one byte", bits8, x5A, 1, {}, {}, {}},
        {"8-bit", bits8, {0, 127, 128, 255}, 4, {4}, {100}, {-32768, -256, 0, 32512}},
        {"24-bit", {.bitsPerSample = 24}, bytes24, 12, {12}, {100}, {0x1234, -32768, 32767, -2}},
        {"32-bit", {.bitsPerSample = 32}, bytes32, 16, {16}, {100}, {0x1234, -32768, 32767, 1027}}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> data(c.bytes);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = c.data[i % c.data.size()];
        const std::string path = testpaths::ScratchFile("w.wav", MakeWav(c.layout, data));
        CAudioSource source;
        ASSERT_TRUE(source.Open(path));
        EXPECT_EQ(std::tuple(source.SampleRate(), source.Channels(), source.BitsPerSample(),
                             source.ProgressPercent()),
                  std::tuple(int(c.layout.sampleRate), int(c.layout.channels),
                             int(c.layout.bitsPerSample), 0));
        const testpaths::Drained all = testpaths::Drain(source);
        EXPECT_EQ(std::tuple(all.chunkBytes, all.percents, source.ProgressPercent()),
                  std::tuple(c.chunkBytes, c.percents, c.percents.empty() ? 0 : c.percents.back()));
        std::vector<std::int16_t> samples(all.pcm.size() / 2);
        std::memcpy(samples.data(), all.pcm.data(), all.pcm.size());
        if (c.layout.bitsPerSample == 16)
            EXPECT_EQ(all.pcm, std::vector(data.begin(), data.begin() + long(all.pcm.size())));
        else
            EXPECT_EQ(
                std::vector(samples.begin(),
                            samples.begin() + long(std::min(samples.size(), c.samples.size()))),
                c.samples);
        const auto decoded = audio::DecodeWholeFile(path);
        ASSERT_EQ(decoded.ok(), !all.pcm.empty());
        EXPECT_TRUE(decoded || decoded.error().kind == audio::AudioErrorKind::kDamaged);
        EXPECT_EQ(decoded ? decoded.value().samples : std::vector<std::int16_t>{}, samples);
    }
}

TEST(SongTypeFromPath, UsesTheLastDotWithoutRegardToCase) {
    using audio::SongType;
    const std::pair<const char*, SongType> cases[] = {
        {"song.Mp3", SongType::kMp3},      {"SONG.MP3", SongType::kMp3},
        {"my.song.wav", SongType::kWav},   {"/music/a.b/Song.OgG", SongType::kOgg},
        {"song.mp3.txt", SongType::kNone}, {"song.mp", SongType::kNone},
        {"song.mp33", SongType::kNone},    {"song", SongType::kNone}};
    for (const auto& [path, type] : cases)
        EXPECT_EQ(audio::SongTypeFromPath(path), type) << path;
}

// Above the time-stretcher's 192 kHz a song plays at half its rate. A mono
// 1 kHz sine at 384 kHz comes out at 192 kHz as the same sine: half the
// frames (the converter's filter delay may cost a few at the end), the
// same level to within 1 % away from the ends, where the filter rings, and
// the same number of cycles, give or take the one cut at each end. An
// unusable rate leaves the song as it was.
TEST(Resample, HighRatesPlayAtHalfTheirRateKeepingLengthPitchAndLevel) {
    for (const auto& [rate, playback] :
         {std::pair{44100, 44100}, {192000, 192000}, {192001, 96001}, {384000, 192000}})
        EXPECT_EQ(audio::PlaybackRateFor(rate), playback) << rate;
    audio::DecodedSong song{std::vector<std::int16_t>(192000), 384000, 1};
    for (std::size_t i = 0; i < song.samples.size(); ++i)
        song.samples[i] = static_cast<std::int16_t>(
            std::lround(16000.0 * std::sin(2.0 * std::numbers::pi * double(i) / 384.0)));
    const audio::DecodedSong original = song;
    EXPECT_FALSE(audio::ResampleSong(song, 0));
    ASSERT_TRUE(song.samples == original.samples && audio::ResampleSong(song, 192000));
    EXPECT_EQ(song.sampleRate, 192000);
    EXPECT_NEAR(double(song.samples.size()), 96000.0, 64.0);
    const std::vector middle(song.samples.begin() + 1000, song.samples.end() - 1000);
    const auto crossings =
        std::ranges::count_if(middle, [&, previous = middle[0]](std::int16_t now) mutable {
            return (std::exchange(previous, now) < 0) != (now < 0);
        });
    EXPECT_NEAR(double(crossings), 2.0 * 1000.0 * double(middle.size()) / 192000, 2.0);
    EXPECT_NEAR(*std::ranges::max_element(middle), 16000, 160);
}

} // namespace

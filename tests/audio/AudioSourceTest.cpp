#include "audio/AudioSource.h"

#include "AudioTestPaths.h"
#include "audio/DecodeWholeFile.h"
#include "audio/MpegHeader.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

using audio::AudioErrorKind;
using audio::CAudioSource;
using audio::SongType;
using testpaths::Drain;
using testpaths::DrainFile;
using testpaths::Fixture;
using testsignals::ReadFile;

TEST(SongTypeFromPath, UsesTheLastDotWithoutRegardToCase) {
    const std::pair<const char*, SongType> cases[] = {
        {"song.Mp3", SongType::kMp3},      {"SONG.MP3", SongType::kMp3},
        {"my.song.wav", SongType::kWav},   {"/music/a.b/Song.OgG", SongType::kOgg},
        {"song.mp3.txt", SongType::kNone}, {"song.mp", SongType::kNone},
        {"song.mp33", SongType::kNone},    {"song", SongType::kNone}};
    for (const auto& [path, type] : cases) {
        EXPECT_EQ(audio::SongTypeFromPath(path), type) << path;
    }
}

// Walking each encoder's output by our frame sizes lands on every frame
// header and ends exactly at the end of the file. The first chunk is the
// third frame (two are decoded and dropped while looking for the first
// frame), every frame gives one chunk, and the progress rises to 100. Ogg
// chunks are at most 5512 bytes, and oggenc keeps the length exactly (8 s);
// a chained stream ends where the channel count changes, half way through
// the file when both links are 8 s long. An Ogg run's stream stays open
// after its source is gone, so the next Ogg file must clear it and still
// read its own.
TEST(AudioSource, EveryEncodingIsReadWholeInChunks) {
    const struct {
        const char* file;
        SongType type;
        int sampleRate, channels, mp3ChunkBytes, lastPercent;
    } cases[] = {{"stereo_137.mp3", SongType::kMp3, 44100, 2, 1152 * 4, 100},
                 {"mono_110.mp3", SongType::kMp3, 44100, 1, 1152 * 2, 100},
                 {"mpeg2_122.mp3", SongType::kMp3, 22050, 2, 576 * 4, 100},
                 {"layer2_137.mp3", SongType::kMp3, 44100, 2, 1152 * 4, 100},
                 {"stereo_137.ogg", SongType::kOgg, 44100, 2, 0, 100},
                 {"mono_110.ogg", SongType::kOgg, 44100, 1, 0, 100},
                 {"stereo_137.ogg", SongType::kOgg, 44100, 2, 0, 100},
                 {"chained_mono.ogg", SongType::kOgg, 44100, 2, 0, 50},
                 {"chained_mono_first.ogg", SongType::kOgg, 44100, 1, 0, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        CAudioSource source;
        ASSERT_TRUE(source.Open(Fixture(c.file)));
        EXPECT_EQ(std::tuple(source.Type(), source.SampleRate(), source.Channels(),
                             source.BitsPerSample()),
                  std::tuple(c.type, c.sampleRate, c.channels, 16));
        const testpaths::Drained all = Drain(source);
        EXPECT_TRUE(std::is_sorted(all.percents.begin(), all.percents.end()));
        EXPECT_EQ(all.percents.back(), c.lastPercent);
        if (c.type == SongType::kOgg) {
            EXPECT_EQ(all.pcm.size(), 8U * 44100U * 2U * static_cast<unsigned>(c.channels));
            EXPECT_LE(*std::max_element(all.chunkBytes.begin(), all.chunkBytes.end()), 5512);
            continue;
        }
        const auto file = ReadFile(Fixture(c.file));
        std::size_t at = 0;
        std::size_t frames = 0;
        for (; at + 4 <= file.size(); ++frames) {
            const auto info = audio::DescribeFrame(audio::SplitFrameHeader(&file[at]));
            ASSERT_TRUE(info.has_value()) << "no header at byte " << at << " after " << frames;
            at += static_cast<std::size_t>(info->frameBytes);
        }
        EXPECT_EQ(at, file.size());
        EXPECT_EQ(all.chunkBytes, std::vector<int>(frames - 2, c.mp3ChunkBytes));
    }
}

// The same encoding behind an ID3v2 tag, or behind junk with sync patterns
// (one a whole valid-looking header), decodes to the same audio. Cut
// short, it loses the last frame; trailing bytes that do not decode keep
// the progress below 100: 1/51 of the file is 1.96 %, truncated to 1.
TEST(AudioSource, Mp3SkipsWhatPrecedesTheFirstFrameAndEndsWhereFramesEnd) {
    const auto mp3 = ReadFile(Fixture("stereo_137.mp3"));
    const testpaths::Drained plain = DrainFile(Fixture("stereo_137.mp3"));
    EXPECT_EQ(DrainFile(Fixture("tagged_137.mp3")).pcm, plain.pcm);
    std::vector<std::uint8_t> junk = {0xFF, 0xFB, 0x90, 0x64, 0xFF, 0xE0, 0x00, 0xFF};
    for (int i = 0; i < 3000; ++i) {
        junk.push_back(static_cast<std::uint8_t>(i * 37 % 251));
    }
    junk.insert(junk.end(), mp3.begin(), mp3.end());
    EXPECT_EQ(DrainFile(testpaths::ScratchFile("junk.mp3", junk)).pcm, plain.pcm);
    const std::vector cut(mp3.begin(), mp3.end() - 100);
    EXPECT_EQ(DrainFile(testpaths::ScratchFile("cut.mp3", cut)).chunkBytes.size(),
              plain.chunkBytes.size() - 1);
    auto tail = mp3;
    tail.resize(mp3.size() + mp3.size() / 50, 0x00);
    const testpaths::Drained tailed = DrainFile(testpaths::ScratchFile("tail.mp3", tail));
    EXPECT_EQ(tailed.pcm, plain.pcm);
    EXPECT_EQ(tailed.percents.back(), 99);
}

// Chunks hold at most 5512 bytes of whole frames: 1378 stereo 16-bit
// frames, or 306 frames of six 24-bit channels (5508 bytes). A data chunk
// that ends inside a frame loses that frame; one that claims 4 GiB in a
// 4 KB file is as long as the file. Progress is the share of the stated
// data handed out, truncated. The player's decoder reads the same samples;
// without a single whole frame it calls the file damaged (under UBSan that
// case once reported memcpy into the null data() of an empty vector).
TEST(AudioSource, WavChunksAreWholeFramesOfAtMost5512Bytes) {
    const struct {
        std::uint16_t channels, bits;
        std::size_t dataBytes;
        std::uint32_t statedBytes; // 0: as many as there are
        std::vector<int> chunkBytes, percents;
    } cases[] = {{2, 16, 12000, 0, {5512, 5512, 976}, {45, 91, 100}},
                 {6, 24, 12600, 0, {5508, 5508, 1584}, {43, 87, 100}},
                 {1, 8, 5512, 0, {5512}, {100}},
                 {2, 16, 0, 0, {}, {}},
                 {2, 24, 6004, 0, {5508, 492}, {91, 99}},
                 {2, 16, 8003, 0, {5512, 2488}, {68, 99}},
                 {2, 24, 1, 0, {}, {}},
                 {2, 8, 1, 0, {}, {}},
                 {2, 16, 4000, 0xFFFFFFFFu, {4000}, {100}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.dataBytes) + " bytes of " + std::to_string(c.channels) +
                     " channels of " + std::to_string(c.bits));
        const std::string path = testpaths::ScratchFile(
            "w.wav", testsignals::MakeWav({.channels = c.channels,
                                           .bitsPerSample = c.bits,
                                           .dataLengthOverride = c.statedBytes != 0,
                                           .dataLength = c.statedBytes},
                                          std::vector<std::uint8_t>(c.dataBytes, 0x5A)));
        CAudioSource source;
        ASSERT_TRUE(source.Open(path));
        EXPECT_EQ(source.ProgressPercent(), 0);
        const testpaths::Drained all = Drain(source);
        EXPECT_EQ(all.chunkBytes, c.chunkBytes);
        EXPECT_EQ(all.percents, c.percents);
        EXPECT_EQ(source.ProgressPercent(), c.percents.empty() ? 0 : c.percents.back());
        const auto decoded = audio::DecodeWholeFile(path);
        ASSERT_EQ(decoded.ok(), !all.pcm.empty());
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(
            decoded ? decoded.value().samples.data() : nullptr);
        EXPECT_EQ(std::vector(bytes, bytes + (decoded ? decoded.value().samples.size() * 2 : 0)),
                  all.pcm);
        EXPECT_TRUE(decoded || decoded.error().kind == AudioErrorKind::kDamaged);
    }
}

// 8-bit samples are unsigned around 128 and keep their byte as the high
// one; 24 and 32-bit samples keep their two most significant bytes. The
// count stays in file bytes: bytes / (bits / 8 × channels) frames for
// every width.
TEST(AudioSource, WavSamplesOfEveryWidthArriveAs16Bit) {
    const struct {
        std::uint16_t bits;
        std::vector<std::uint8_t> bytes; // two stereo frames
        std::vector<std::int16_t> samples;
    } cases[] = {
        {8, {0x00, 0x7F, 0x80, 0xFF}, {-32768, -256, 0, 32512}},
        {16, {0x01, 0x80, 0xFF, 0x7F, 0x34, 0x12, 0xFF, 0xFF}, {-32767, 32767, 0x1234, -1}},
        {24,
         {0x11, 0x34, 0x12, 0x99, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0xFE, 0xFF},
         {0x1234, -32768, 32767, -2}},
        {32,
         {0x11, 0x22, 0x34, 0x12, 0xAA, 0xBB, 0x00, 0x80, 0, 0, 0xFF, 0x7F, 1, 2, 3, 4},
         {0x1234, -32768, 32767, 0x0403}}};
    for (const auto& c : cases) {
        CAudioSource source;
        ASSERT_TRUE(source.Open(testpaths::ScratchFile(
            "w.wav", testsignals::MakeWav({.bitsPerSample = c.bits}, c.bytes))));
        EXPECT_EQ(source.DecodeNextChunk(), static_cast<int>(c.bytes.size())) << c.bits;
        std::vector<std::int16_t> got(c.samples.size());
        std::memcpy(got.data(), source.GetChunkBuffer(), got.size() * 2);
        EXPECT_EQ(got, c.samples) << c.bits;
    }
}

} // namespace

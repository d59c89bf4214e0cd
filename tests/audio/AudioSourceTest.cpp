#include "audio/AudioSource.h"

#include "AudioTestPaths.h"
#include "audio/MpegHeader.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

using audio::AudioErrorKind;
using audio::CAudioSource;
using audio::SongType;
using audio::SongTypeFromPath;
using testpaths::Fixture;
using testsignals::ReadFile;

TEST(SongTypeFromPath, UsesTheLastDotWithoutRegardToCase) {
    EXPECT_EQ(SongTypeFromPath("song.Mp3"), SongType::kMp3);
    EXPECT_EQ(SongTypeFromPath("SONG.MP3"), SongType::kMp3);
    EXPECT_EQ(SongTypeFromPath("my.song.wav"), SongType::kWav);
    EXPECT_EQ(SongTypeFromPath("/music/a.b/Song.OgG"), SongType::kOgg);
    EXPECT_EQ(SongTypeFromPath("song.mp3.txt"), SongType::kNone);
    EXPECT_EQ(SongTypeFromPath("song.mp"), SongType::kNone);
    EXPECT_EQ(SongTypeFromPath("song.mp33"), SongType::kNone);
    EXPECT_EQ(SongTypeFromPath("song"), SongType::kNone);
}

// Everything a source hands out for one file, with the chunk sizes.
struct Decoded {
    std::vector<int> chunkBytes;
    std::vector<std::uint8_t> pcm;
    int lastPercent = -1;
    bool percentsRise = true;
};

Decoded DecodeAll(CAudioSource& source) {
    Decoded all;
    int got = 0;
    while ((got = source.DecodeNextChunk()) > 0) {
        all.chunkBytes.push_back(got);
        const auto* chunk = source.GetChunkBuffer();
        // The count is in file bytes; the buffer holds them as 16-bit.
        const int pcmBytes = got * 16 / source.BitsPerSample();
        all.pcm.insert(all.pcm.end(), chunk, chunk + pcmBytes);
        all.percentsRise = all.percentsRise && source.ProgressPercent() >= all.lastPercent;
        all.lastPercent = source.ProgressPercent();
    }
    return all;
}

Decoded DecodeFile(const std::string& path) {
    CAudioSource source;
    const auto opened = source.Open(path);
    EXPECT_TRUE(opened) << opened.error().message;
    return DecodeAll(source);
}

// Walking each encoder's output by our frame sizes lands on every frame
// header and ends exactly at the end of the file; any size error in one
// padding or bitrate case would derail the walk. The first chunk is the
// third frame (two are decoded and dropped while looking for the first
// frame), every frame gives one chunk, and the progress reaches 100.
TEST(AudioSource, Mp3DecodesEveryFrameAfterTheFirstTwo) {
    const struct {
        const char* file;
        int sampleRate, channels, chunkBytes;
    } cases[] = {{"stereo_137.mp3", 44100, 2, 1152 * 4},
                 {"mono_110.mp3", 44100, 1, 1152 * 2},
                 {"mpeg2_122.mp3", 22050, 2, 576 * 4},
                 {"layer2_137.mp3", 44100, 2, 1152 * 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto file = ReadFile(Fixture(c.file));
        std::size_t at = 0;
        std::size_t frames = 0;
        for (; at + 4 <= file.size(); ++frames) {
            const auto info = audio::DescribeFrame(audio::SplitFrameHeader(&file[at]));
            ASSERT_TRUE(info.has_value()) << "no header at byte " << at << " after " << frames;
            at += static_cast<std::size_t>(info->frameBytes);
        }
        EXPECT_EQ(at, file.size());
        ASSERT_GT(frames, 100U);
        CAudioSource source;
        ASSERT_TRUE(source.Open(Fixture(c.file)));
        EXPECT_EQ(source.Type(), SongType::kMp3);
        EXPECT_EQ(source.SampleRate(), c.sampleRate);
        EXPECT_EQ(source.Channels(), c.channels);
        EXPECT_EQ(source.BitsPerSample(), 16);
        const Decoded all = DecodeAll(source);
        EXPECT_EQ(all.chunkBytes, std::vector<int>(frames - 2, c.chunkBytes));
        EXPECT_TRUE(all.percentsRise);
        EXPECT_EQ(all.lastPercent, 100);
    }
}

TEST(AudioSource, TagsAndJunkBeforeTheFirstFrameAreSearchedPast) {
    const Decoded plain = DecodeFile(Fixture("stereo_137.mp3"));
    // The same encoding behind an ID3v2 tag decodes to the same audio.
    EXPECT_EQ(DecodeFile(Fixture("tagged_137.mp3")).pcm, plain.pcm);

    // Junk with sync patterns, one of them a whole valid-looking header.
    std::vector<std::uint8_t> file = {0xFF, 0xFB, 0x90, 0x64, 0xFF, 0xE0, 0x00, 0xFF};
    for (int i = 0; i < 3000; ++i) {
        file.push_back(static_cast<std::uint8_t>(i * 37 % 251));
    }
    const auto mp3 = ReadFile(Fixture("stereo_137.mp3"));
    file.insert(file.end(), mp3.begin(), mp3.end());
    EXPECT_EQ(DecodeFile(testpaths::ScratchFile("junk.mp3", file)).pcm, plain.pcm);
}

TEST(AudioSource, Mp3EndsAtACutOrDamagedFrame) {
    const auto mp3 = ReadFile(Fixture("stereo_137.mp3"));
    const std::size_t plainChunks = DecodeFile(Fixture("stereo_137.mp3")).chunkBytes.size();
    auto cut = mp3;
    cut.resize(cut.size() - 100);
    EXPECT_EQ(DecodeFile(testpaths::ScratchFile("cut.mp3", cut)).chunkBytes.size(),
              plainChunks - 1);

    // Trailing bytes that do not decode keep the progress below 100 once
    // they reach 1 % of the file: here 1/51 of it, 1.96 %, truncated to 1.
    auto tail = mp3;
    tail.resize(mp3.size() + mp3.size() / 50, 0x00);
    const Decoded tailDecoded = DecodeFile(testpaths::ScratchFile("tail.mp3", tail));
    EXPECT_EQ(tailDecoded.chunkBytes.size(), plainChunks);
    EXPECT_EQ(tailDecoded.lastPercent, 99);
}

TEST(AudioSource, WavChunksAreWholeFramesOfAtMost5512Bytes) {
    const auto song = testsignals::SynthesizeMusic(120.0, 0.5, 44100, 2);
    CAudioSource source;
    ASSERT_TRUE(source.Open(testpaths::ScratchWav("stereo.wav", {}, song)));
    ASSERT_EQ(source.DecodeNextChunk(), 5512); // 1378 stereo frames
    EXPECT_EQ(source.ProgressPercent(), 5512 * 100 / static_cast<int>(song.size() * 2));
    const Decoded rest = DecodeAll(source);
    EXPECT_EQ(rest.lastPercent, 100);
    EXPECT_EQ(rest.pcm.size() + 5512, song.size() * 2);

    // Six 24-bit channels make 18-byte frames: 5508 bytes, 306 frames.
    const auto six = testsignals::SynthesizeMusic(120.0, 0.2, 44100, 6);
    const Decoded sixAll =
        DecodeFile(testpaths::ScratchWav("six.wav", {.channels = 6, .bitsPerSample = 24}, six));
    ASSERT_FALSE(sixAll.chunkBytes.empty());
    EXPECT_EQ(sixAll.chunkBytes.front(), 5508);
    EXPECT_EQ(sixAll.pcm.size(), six.size() * 2);

    CAudioSource empty;
    ASSERT_TRUE(empty.Open(testpaths::ScratchWav("empty.wav", {}, {})));
    EXPECT_EQ(empty.DecodeNextChunk(), 0);
    EXPECT_EQ(empty.ProgressPercent(), 0);
}

TEST(AudioSource, WavSamplesOfEveryWidthArriveAs16Bit) {
    const std::vector<std::int16_t> samples = {-32768, -256, 0, 255, 256, 32512, 32767, 1};
    // 8-bit keeps only the top byte; 24 and 32 bits carry the 16-bit value
    // in their top bytes, so it comes back exactly.
    const std::vector<std::int16_t> widened8 = {-32768, -256, 0, 0, 256, 32512, 32512, 0};
    for (const int bits : {8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        const auto width = static_cast<std::uint16_t>(bits);
        CAudioSource source;
        ASSERT_TRUE(source.Open(testpaths::ScratchWav("w.wav", {.bitsPerSample = width}, samples)));
        EXPECT_EQ(source.BitsPerSample(), bits);
        // The count stays in file bytes, so bytes / (bits / 8 × channels)
        // is the frame count for every width.
        EXPECT_EQ(source.DecodeNextChunk(), static_cast<int>(samples.size()) * bits / 8);
        std::vector<std::int16_t> got(samples.size());
        std::memcpy(got.data(), source.GetChunkBuffer(), got.size() * 2);
        EXPECT_EQ(got, bits == 8 ? widened8 : samples);
    }
}

// An MP3 renamed to .wav, a WAV renamed to .ogg, an unknown extension, and
// an MP3 whose sync patterns never hold up, one of them cut by the end of
// the file: the frame search must stop there without reading past the image.
TEST(AudioSource, UnreadableOrMislabelledFilesFailUnderTheNamedFormat) {
    std::vector<std::uint8_t> noFrames;
    for (int i = 0; i < 52; ++i) {
        noFrames.insert(noFrames.end(), {0xFF, 0xFB, 0x90});
        noFrames.resize(noFrames.size() + 94, 0x21);
    }
    noFrames.insert(noFrames.end(), {0xFF, 0xFB, 0x90});
    const struct {
        std::string path;
        AudioErrorKind kind;
        const char* message;
    } cases[] = {{testpaths::ScratchFile("song.wav", ReadFile(Fixture("stereo_137.mp3"))),
                  AudioErrorKind::kNotThisFormat, "is corrupt or not a WAV file"},
                 {testpaths::ScratchFile("song.ogg", ReadFile(Fixture("mono_110.wav"))),
                  AudioErrorKind::kNotThisFormat, "is corrupt or not an Ogg Vorbis file."},
                 {"song", AudioErrorKind::kUnknownType, "is not an MP3, WAV or Ogg Vorbis file."},
                 {testpaths::ScratchFile("noframes.mp3", noFrames), AudioErrorKind::kNotThisFormat,
                  "is corrupt or not an MP3 file."}};
    CAudioSource source;
    for (const auto& c : cases) {
        const auto opened = source.Open(c.path);
        ASSERT_FALSE(opened) << c.path;
        EXPECT_EQ(opened.error().kind, c.kind);
        EXPECT_EQ(opened.error().message, "File \"" + c.path + "\" " + c.message);
        EXPECT_EQ(source.DecodeNextChunk(), 0);
    }
}

TEST(AudioSource, OggFilesOpenOneAfterTheOther) {
    // The first run's stream stays open after its source is gone; the
    // second open must clear it and still read its own file.
    for (const auto& [file, channels] :
         {std::pair{"stereo_137.ogg", 2}, std::pair{"mono_110.ogg", 1},
          std::pair{"stereo_137.ogg", 2}}) {
        SCOPED_TRACE(file);
        CAudioSource source;
        ASSERT_TRUE(source.Open(Fixture(file)));
        EXPECT_EQ(source.SampleRate(), 44100);
        EXPECT_EQ(source.Channels(), channels);
        const Decoded all = DecodeAll(source);
        EXPECT_EQ(all.lastPercent, 100);
        // 8 s at 44.1 kHz, 16-bit: the encoder keeps the length exactly.
        EXPECT_EQ(all.pcm.size(), 8U * 44100U * 2U * static_cast<unsigned>(channels));
        EXPECT_LE(*std::max_element(all.chunkBytes.begin(), all.chunkBytes.end()), 5512);
    }
}

} // namespace

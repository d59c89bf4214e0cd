#include "audio/AudioSource.h"

#include "AudioTestPaths.h"
#include "TestSignals.h"
#include "audio/MpegHeader.h"

#include <gtest/gtest.h>

namespace {

using audio::AudioErrorKind;
using audio::CAudioSource;
using audio::SongType;
using audio::SongTypeFromPath;

TEST(SongTypeFromPath, UsesTheLastDotWithoutRegardToCase) {
    EXPECT_EQ(SongTypeFromPath("song.Mp3"), SongType::kMp3);
    EXPECT_EQ(SongTypeFromPath("song.mp3"), SongType::kMp3);
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

int CountFrames(const std::vector<std::uint8_t>& file) {
    int frames = 0;
    for (std::size_t at = 0; at + 4 <= file.size(); ++frames) {
        at += static_cast<std::size_t>(
            audio::DescribeFrame(audio::SplitFrameHeader(&file[at]))->frameBytes);
    }
    return frames;
}

struct Mp3Case {
    const char* file;
    int sampleRate, channels, chunkBytes;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Mp3Case& c, std::ostream* os) {
    *os << c.file;
}

class Mp3Source : public ::testing::TestWithParam<Mp3Case> {};

// The first chunk is the third frame (two are decoded and dropped while
// looking for the first frame), every frame gives one chunk, and the
// progress reaches 100 when the frames fill the file.
TEST_P(Mp3Source, DecodesEveryFrameAfterTheFirstTwo) {
    const Mp3Case& c = GetParam();
    const std::string path = testpaths::Fixture(c.file);
    CAudioSource source;
    ASSERT_TRUE(source.Open(path));
    EXPECT_EQ(source.Type(), SongType::kMp3);
    EXPECT_EQ(source.SampleRate(), c.sampleRate);
    EXPECT_EQ(source.Channels(), c.channels);
    EXPECT_EQ(source.BitsPerSample(), 16);
    const Decoded all = DecodeAll(source);
    EXPECT_EQ(static_cast<int>(all.chunkBytes.size()),
              CountFrames(testsignals::ReadFile(path)) - 2);
    for (const int bytes : all.chunkBytes) {
        ASSERT_EQ(bytes, c.chunkBytes);
    }
    EXPECT_TRUE(all.percentsRise);
    EXPECT_EQ(all.lastPercent, 100);
}

INSTANTIATE_TEST_SUITE_P(Streams, Mp3Source,
                         ::testing::Values(Mp3Case{"stereo_137.mp3", 44100, 2, 1152 * 4},
                                           Mp3Case{"mono_110.mp3", 44100, 1, 1152 * 2},
                                           Mp3Case{"mpeg2_122.mp3", 22050, 2, 576 * 4},
                                           Mp3Case{"layer2_137.mp3", 44100, 2, 1152 * 4}),
                         [](const auto& test) {
                             std::string name = test.param.file;
                             return name.substr(0, name.find('.'));
                         });

Decoded DecodeFile(const std::string& path) {
    CAudioSource source;
    const auto opened = source.Open(path);
    EXPECT_TRUE(opened) << opened.error().message;
    return DecodeAll(source);
}

TEST(AudioSource, TagsAndJunkBeforeTheFirstFrameAreSearchedPast) {
    const Decoded plain = DecodeFile(testpaths::Fixture("stereo_137.mp3"));
    // The same encoding behind an ID3v2 tag decodes to the same audio.
    const Decoded tagged = DecodeFile(testpaths::Fixture("tagged_137.mp3"));
    EXPECT_EQ(tagged.pcm, plain.pcm);

    // Junk with sync patterns, one of them a whole valid-looking header.
    std::vector<std::uint8_t> junk = {0xFF, 0xFB, 0x90, 0x64, 0xFF, 0xE0, 0x00, 0xFF};
    for (int i = 0; i < 3000; ++i) {
        junk.push_back(static_cast<std::uint8_t>(i * 37 % 251));
    }
    std::vector<std::uint8_t> file = junk;
    const auto mp3 = testsignals::ReadFile(testpaths::Fixture("stereo_137.mp3"));
    file.insert(file.end(), mp3.begin(), mp3.end());
    const std::string path = testpaths::Scratch("junk.mp3");
    testsignals::WriteFile(path, file);
    EXPECT_EQ(DecodeFile(path).pcm, plain.pcm);
}

TEST(AudioSource, Mp3WithoutAnyFrameFailsToOpen) {
    // Sync patterns that never hold up, one of them cut by the end of the
    // file: the search must stop there without reading past the image.
    std::vector<std::uint8_t> file(5000, 0x21);
    for (std::size_t at = 0; at + 4 < file.size(); at += 97) {
        file[at] = 0xFF;
        file[at + 1] = 0xFB;
        file[at + 2] = 0x90;
    }
    file.insert(file.end(), {0xFF, 0xFB, 0x90});
    const std::string path = testpaths::Scratch("noframes.mp3");
    testsignals::WriteFile(path, file);
    CAudioSource source;
    const auto opened = source.Open(path);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().kind, AudioErrorKind::kNotThisFormat);
    EXPECT_EQ(opened.error().message, "File \"" + path + "\" is corrupt or not an MP3 file.");
    EXPECT_EQ(source.DecodeNextChunk(), 0);
}

TEST(AudioSource, Mp3EndsAtACutOrDamagedFrame) {
    const auto mp3 = testsignals::ReadFile(testpaths::Fixture("stereo_137.mp3"));
    const std::size_t plainChunks =
        DecodeFile(testpaths::Fixture("stereo_137.mp3")).chunkBytes.size();

    auto cut = mp3;
    cut.resize(cut.size() - 100);
    const std::string cutPath = testpaths::Scratch("cut.mp3");
    testsignals::WriteFile(cutPath, cut);
    EXPECT_EQ(DecodeFile(cutPath).chunkBytes.size(), plainChunks - 1);

    // Trailing bytes that do not decode keep the progress below 100 once
    // they reach 1 % of the file: here 1/51 of it, 1.96 %, truncated to 1.
    auto tail = mp3;
    tail.resize(mp3.size() + mp3.size() / 50, 0x00);
    const std::string tailPath = testpaths::Scratch("tail.mp3");
    testsignals::WriteFile(tailPath, tail);
    const Decoded tailDecoded = DecodeFile(tailPath);
    EXPECT_EQ(tailDecoded.chunkBytes.size(), plainChunks);
    EXPECT_EQ(tailDecoded.lastPercent, 99);
}

std::string WriteWav(const std::string& name, testsignals::WavLayout layout,
                     const std::vector<std::uint8_t>& data) {
    const std::string path = testpaths::Scratch(name);
    testsignals::WriteFile(path, testsignals::MakeWav(layout, data));
    return path;
}

testsignals::WavLayout Layout(std::uint16_t channels, std::uint16_t bits) {
    testsignals::WavLayout layout;
    layout.channels = channels;
    layout.bitsPerSample = bits;
    return layout;
}

TEST(AudioSource, WavChunksAreWholeFramesOfAtMost5512Bytes) {
    const auto song = testsignals::SynthesizeMusic(120.0, 0.5, 44100, 2);
    const std::string path = WriteWav("stereo.wav", Layout(2, 16), testsignals::SampleBytes(song));
    CAudioSource source;
    ASSERT_TRUE(source.Open(path));
    ASSERT_EQ(source.DecodeNextChunk(), 5512); // 1378 stereo frames
    EXPECT_EQ(source.ProgressPercent(), 5512 * 100 / static_cast<int>(song.size() * 2));
    const Decoded rest = DecodeAll(source);
    EXPECT_EQ(rest.lastPercent, 100);
    EXPECT_EQ(rest.pcm.size() + 5512, song.size() * 2);

    // Six 24-bit channels make 18-byte frames: 5508 bytes, 306 frames.
    const auto six = testsignals::SynthesizeMusic(120.0, 0.2, 44100, 6);
    const std::string sixPath =
        WriteWav("six.wav", Layout(6, 24), testsignals::ToWavSampleBytes(six, 24));
    CAudioSource sixSource;
    ASSERT_TRUE(sixSource.Open(sixPath));
    const Decoded sixAll = DecodeAll(sixSource);
    ASSERT_FALSE(sixAll.chunkBytes.empty());
    EXPECT_EQ(sixAll.chunkBytes.front(), 5508);
    EXPECT_EQ(sixAll.pcm.size(), six.size() * 2);

    CAudioSource empty;
    ASSERT_TRUE(empty.Open(WriteWav("empty.wav", Layout(2, 16), {})));
    EXPECT_EQ(empty.DecodeNextChunk(), 0);
    EXPECT_EQ(empty.ProgressPercent(), 0);
}

std::vector<std::int16_t> AsSamples(const std::vector<std::uint8_t>& pcm, std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8);
    }
    return samples;
}

TEST(AudioSource, WavSamplesOfEveryWidthArriveAs16Bit) {
    const std::vector<std::int16_t> samples = {-32768, -256, 0, 255, 256, 32512, 32767, 1};
    // 8-bit keeps only the top byte; 24 and 32 bits carry the 16-bit value
    // in their top bytes, so it comes back exactly.
    const std::vector<std::int16_t> widened8 = {-32768, -256, 0, 0, 256, 32512, 32512, 0};
    for (const int bits : {8, 16, 24, 32}) {
        const std::string path = WriteWav("w" + std::to_string(bits) + ".wav",
                                          Layout(2, static_cast<std::uint16_t>(bits)),
                                          testsignals::ToWavSampleBytes(samples, bits));
        CAudioSource source;
        ASSERT_TRUE(source.Open(path)) << bits;
        EXPECT_EQ(source.BitsPerSample(), bits);
        const int chunk = source.DecodeNextChunk();
        // The count stays in file bytes, so bytes / (bits / 8 × channels)
        // is the frame count for every width.
        EXPECT_EQ(chunk, static_cast<int>(samples.size()) * bits / 8) << bits;
        EXPECT_EQ(AsSamples({source.GetChunkBuffer(), source.GetChunkBuffer() + 16}, 8),
                  bits == 8 ? widened8 : samples)
            << bits;
    }
}

TEST(AudioSource, UnknownOrMislabelledFilesFailUnderTheNamedFormat) {
    const std::string mp3AsWav = testpaths::Scratch("song.wav");
    testsignals::WriteFile(mp3AsWav, testsignals::ReadFile(testpaths::Fixture("stereo_137.mp3")));
    const std::string wavAsOgg = testpaths::Scratch("song.ogg");
    testsignals::WriteFile(wavAsOgg, testsignals::ReadFile(testpaths::Fixture("mono_110.wav")));

    CAudioSource source;
    const auto wav = source.Open(mp3AsWav);
    ASSERT_FALSE(wav);
    EXPECT_EQ(wav.error().kind, AudioErrorKind::kNotThisFormat);
    EXPECT_EQ(wav.error().message, "File \"" + mp3AsWav + "\" is corrupt or not a WAV file");
    const auto ogg = source.Open(wavAsOgg);
    ASSERT_FALSE(ogg);
    EXPECT_EQ(ogg.error().kind, AudioErrorKind::kNotThisFormat);
    EXPECT_EQ(ogg.error().message,
              "File \"" + wavAsOgg + "\" is corrupt or not an Ogg Vorbis file.");
    const auto unknown = source.Open("song");
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error().kind, AudioErrorKind::kUnknownType);
    EXPECT_EQ(unknown.error().message, "File \"song\" is not an MP3, WAV or Ogg Vorbis file.");
    EXPECT_EQ(source.DecodeNextChunk(), 0);
}

TEST(AudioSource, OggFilesOpenOneAfterTheOther) {
    // The first run's stream stays open after its source is gone; the
    // second open must clear it and still read its own file.
    struct Expected {
        const char* file;
        int channels;
    };
    for (const Expected& e : {Expected{"stereo_137.ogg", 2}, Expected{"mono_110.ogg", 1},
                              Expected{"stereo_137.ogg", 2}}) {
        CAudioSource source;
        ASSERT_TRUE(source.Open(testpaths::Fixture(e.file))) << e.file;
        EXPECT_EQ(source.SampleRate(), 44100);
        EXPECT_EQ(source.Channels(), e.channels);
        const Decoded all = DecodeAll(source);
        EXPECT_EQ(all.lastPercent, 100);
        // 8 s at 44.1 kHz, 16-bit: the encoder keeps the length exactly.
        EXPECT_EQ(all.pcm.size(), 8U * 44100U * 2U * static_cast<unsigned>(e.channels));
        EXPECT_LE(*std::max_element(all.chunkBytes.begin(), all.chunkBytes.end()), 5512);
    }
}

} // namespace

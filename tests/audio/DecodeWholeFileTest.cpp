#include "audio/DecodeWholeFile.h"

#include "AudioTestPaths.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

namespace {

using audio::DecodeWholeFile;

std::vector<std::int16_t> FixtureSamples(const char* wav) {
    const auto file = testsignals::ReadFile(testpaths::Fixture(wav));
    std::vector<std::int16_t> samples((file.size() - 44) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(file[44 + 2 * i] | file[45 + 2 * i] << 8);
    }
    return samples;
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

// Both encoders record their delay and padding, so the decoded song has
// exactly the length of the synthesized one: sample 0 is song time 0.
TEST(DecodeWholeFile, CompressedSongsKeepTheirExactLength) {
    struct Case {
        const char* file;
        const char* source;
        int sampleRate, channels;
    };
    for (const Case& c : {Case{"stereo_137.mp3", "stereo_137.wav", 44100, 2},
                          Case{"mono_110.mp3", "mono_110.wav", 44100, 1},
                          Case{"mpeg2_122.mp3", "stereo22k_122.wav", 22050, 2},
                          Case{"stereo_137.ogg", "stereo_137.wav", 44100, 2}}) {
        const auto decoded = DecodeWholeFile(testpaths::Fixture(c.file));
        ASSERT_TRUE(decoded) << c.file << ": " << decoded.error().message;
        EXPECT_EQ(decoded.value().sampleRate, c.sampleRate) << c.file;
        EXPECT_EQ(decoded.value().channels, c.channels) << c.file;
        EXPECT_EQ(decoded.value().samples.size(), FixtureSamples(c.source).size()) << c.file;
    }
}

} // namespace

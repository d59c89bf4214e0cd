#include "audio/EstimateBpm.h"

#include "AudioTestPaths.h"
#include "audio/EstimateFiles.h"
#include "audio/TempoDetector.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <regex>

namespace {

using audio::DecodeOverlap;
using audio::EstimateBpm;
using testpaths::Fixture;

std::string WriteSong(const std::string& name, double bpm, int rate, std::uint16_t channels,
                      std::uint16_t bits) {
    return testpaths::ScratchWav(name,
                                 {.channels = channels,
                                  .sampleRate = static_cast<std::uint32_t>(rate),
                                  .bitsPerSample = bits},
                                 testsignals::SynthesizeMusic(bpm, 6.0, rate, channels));
}

// Within 1 % of the synthesized tempo for every format and layout. On
// these signals the detector itself lands within 0.2 % (its lag grid at a
// ~1 kHz envelope rate is about 0.2 % at 140 BPM); a wrong rate, channel
// count or frame count moves the estimate far more than 1 % or loses the
// beat. Errors of exactly a factor of two hide in the detector's octave
// ambiguity and the doubling rule; the source tests pin rate and channels.
TEST(EstimateBpm, LiesWithinOnePercentOfTheTempoForEveryFormat) {
    const std::pair<std::string, double> songs[] = {
        {Fixture("stereo_137.wav"), 137},
        {Fixture("stereo_137.mp3"), 137},
        {Fixture("stereo_137.ogg"), 137},
        {Fixture("layer2_137.mp3"), 137},
        {Fixture("mpeg2_122.mp3"), 122},
        {Fixture("mono_110.mp3"), 110},
        {Fixture("mono_110.ogg"), 110},
        {WriteSong("8bit.wav", 116, 22050, 2, 8), 116},
        {WriteSong("24bit_mono_48k.wav", 128, 48000, 1, 24), 128},
        {WriteSong("6channels.wav", 143, 44100, 6, 16), 143},
        // The edges of the formats we take.
        {WriteSong("8k_mono.wav", 128, 8000, 1, 16), 128},
        {WriteSong("384k_mono.wav", 128, 384000, 1, 16), 128},
        {WriteSong("8k_8channels_8bit.wav", 128, 8000, 8, 8), 128}};
    for (const auto& [path, bpm] : songs) {
        const auto estimate = EstimateBpm(path);
        ASSERT_TRUE(estimate) << path << ": " << estimate.error().message;
        EXPECT_NEAR(estimate.value(), bpm, bpm * 0.01) << path;
    }
}

// Byte order and scale are invisible to the tempo tests (a byte-swapped
// signal keeps its beat), so the conversion is checked sample by sample.
// 3000, 6000 and -3000 mix to their mean; FLOAT_EQ allows the rounding of
// dividing the sum and the scale separately.
TEST(TempoDetector, ConvertsLittleEndianSamplesAndMixesDownBeyondStereo) {
    const std::uint8_t stereo[] = {0x00, 0x80, 0x00, 0x40, 0x02, 0x01, 0xFF, 0xFF};
    float out[4] = {};
    EXPECT_EQ(audio::ConvertForDetector(stereo, 2, 2, out), 4U);
    EXPECT_EQ(std::vector(out, out + 4),
              (std::vector{-1.0f, 0.5f, 258.0f / 32768.0f, -1.0f / 32768.0f}));
    const std::uint8_t three[] = {0xB8, 0x0B, 0x70, 0x17, 0x48, 0xF4};
    EXPECT_EQ(audio::DetectorChannels(3), 1);
    EXPECT_EQ(audio::DetectorChannels(2), 2);
    EXPECT_EQ(audio::ConvertForDetector(three, 1, 3, out), 1U);
    EXPECT_FLOAT_EQ(out[0], 2000.0f / 32768.0f);
}

TEST(EstimateBpm, OverlappedDecodingGivesTheSequentialResultAndRisingProgress) {
    for (const char* file : {"stereo_137.mp3", "stereo_137.ogg", "mono_110.wav"}) {
        std::vector<float> results;
        for (const DecodeOverlap overlap :
             {DecodeOverlap::kOverlapped, DecodeOverlap::kSequential}) {
            SCOPED_TRACE(std::string(file) +
                         (overlap == DecodeOverlap::kOverlapped ? " overlapped" : " sequential"));
            std::vector<int> percents;
            const auto estimate = EstimateBpm(
                Fixture(file), [&](int percent) { percents.push_back(percent); }, overlap);
            ASSERT_TRUE(estimate);
            results.push_back(estimate.value());
            ASSERT_GE(percents.size(), 10U);
            EXPECT_EQ(percents.front(), 0);
            EXPECT_EQ(percents.back(), 100);
            EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
            EXPECT_EQ(std::adjacent_find(percents.begin(), percents.end()), percents.end());
        }
        EXPECT_EQ(results[0], results[1]) << file;
    }
}

TEST(EstimateBpm, SlowResultsAreDoubledStrictlyBelowHundredAndSilenceHasNoBeat) {
    const std::pair<float, float> tempos[] = {
        {99.9f, 199.8f}, {100.0f, 100.0f}, {150.0f, 150.0f}, {0.0f, 0.0f}};
    for (const auto& [detected, stored] : tempos) {
        EXPECT_FLOAT_EQ(audio::DoubleSlowTempo(detected), stored) << detected;
    }
    const auto silence = EstimateBpm(
        testpaths::ScratchWav("silence.wav", {}, std::vector<std::int16_t>(4 * 44100 * 2)));
    ASSERT_TRUE(silence);
    EXPECT_EQ(silence.value(), 0.0f);
}

// One "BPM<TAB>PATH" line (%.2f) per good file, in argument order, whatever
// the number of workers; errors go apart. Several files are estimated
// sequentially, which gives the overlapped result (see above). The
// progress indicator, when asked for, is redrawn on the error stream and
// wiped before each result.
TEST(EstimateFiles, PrintsEveryFileInArgumentOrderAndReportsFailure) {
    const std::string missing = testpaths::Scratch("missing.ogg");
    const std::vector<std::string> paths = {Fixture("mono_110.ogg"), missing,
                                            Fixture("stereo_137.mp3")};
    std::string expected;
    for (const std::string& path : {paths[0], paths[2]}) {
        std::array<char, 512> line{};
        std::snprintf(line.data(), line.size(), "%.2f\t%s\n",
                      static_cast<double>(EstimateBpm(path).value()), path.c_str());
        expected += line.data();
    }
    const std::string error = "Error : Unable to open file \"" + missing + "\" for reading.\n";
    const std::string wipe = "\r\033[K";
    const std::regex indicator("\rEstimating tempo\\.\\.\\. \\d{1,3}%|\r\033\\[K");
    for (const auto& options :
         {audio::EstimateFilesOptions{2, false}, audio::EstimateFilesOptions{1, true}}) {
        SCOPED_TRACE(options.showProgress ? "one worker, progress" : "two workers");
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_FALSE(audio::EstimateFiles(paths, out, err, options));
        EXPECT_EQ(testpaths::Contents(out), expected);
        const std::string shown = testpaths::Contents(err);
        EXPECT_EQ(options.showProgress ? std::regex_replace(shown, indicator, "") : shown, error);
        EXPECT_EQ(shown.find(wipe + error) != std::string::npos, options.showProgress);
        EXPECT_EQ(shown.ends_with(wipe), options.showProgress);
        std::fclose(out);
        std::fclose(err);
    }
}

} // namespace

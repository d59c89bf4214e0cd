#include "audio/EstimateBpm.h"

#include "AudioTestPaths.h"
#include "audio/EstimateFiles.h"
#include "audio/TempoDetector.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <regex>

namespace {

using audio::AudioErrorKind;
using audio::DecodeOverlap;
using audio::EstimateBpm;
using testpaths::Fixture;

std::string WriteSong(const std::string& name, double bpm, double seconds, int rate,
                      std::uint16_t channels, std::uint16_t bits) {
    return testpaths::ScratchWav(name,
                                 {.channels = channels,
                                  .sampleRate = static_cast<std::uint32_t>(rate),
                                  .bitsPerSample = bits},
                                 testsignals::SynthesizeMusic(bpm, seconds, rate, channels));
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
        {WriteSong("8bit.wav", 116, 6, 22050, 2, 8), 116},
        {WriteSong("24bit_mono_48k.wav", 128, 6, 48000, 1, 24), 128},
        {WriteSong("6channels.wav", 143, 6, 44100, 6, 16), 143}};
    for (const auto& [path, bpm] : songs) {
        const auto estimate = EstimateBpm(path);
        ASSERT_TRUE(estimate) << path << ": " << estimate.error().message;
        EXPECT_NEAR(estimate.value(), bpm, bpm * 0.01) << path;
    }
}

// Byte order and scale are invisible to the tempo tests (a byte-swapped
// signal keeps its beat), so the conversion is checked sample by sample.
TEST(TempoDetector, ConvertsLittleEndianSamplesAndMixesDownBeyondStereo) {
    const std::uint8_t stereo[] = {0x00, 0x80, 0x00, 0x40, 0x02, 0x01, 0xFF, 0xFF};
    float out[4] = {};
    EXPECT_EQ(audio::ConvertForDetector(stereo, 2, 2, out), 4U);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], 0.5f);
    EXPECT_EQ(out[2], 258.0f / 32768.0f);
    EXPECT_EQ(out[3], -1.0f / 32768.0f);

    // 3000, 6000 and -3000 mix to their mean; FLOAT_EQ allows the rounding
    // of dividing the sum and the scale separately.
    const std::uint8_t three[] = {0xB8, 0x0B, 0x70, 0x17, 0x48, 0xF4};
    EXPECT_EQ(audio::DetectorChannels(3), 1);
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
    EXPECT_FLOAT_EQ(audio::DoubleSlowTempo(99.9f), 199.8f);
    EXPECT_EQ(audio::DoubleSlowTempo(100.0f), 100.0f);
    EXPECT_EQ(audio::DoubleSlowTempo(150.0f), 150.0f);
    EXPECT_EQ(audio::DoubleSlowTempo(0.0f), 0.0f);
    const auto silence = EstimateBpm(
        testpaths::ScratchWav("silence.wav", {}, std::vector<std::int16_t>(4 * 44100 * 2)));
    ASSERT_TRUE(silence);
    EXPECT_EQ(silence.value(), 0.0f);
}

TEST(EstimateBpm, FailuresCarryTheMessageForTheCaller) {
    const std::string missing = testpaths::Scratch("missing.mp3");
    const auto notThere = EstimateBpm(missing);
    ASSERT_FALSE(notThere);
    EXPECT_EQ(notThere.error().kind, AudioErrorKind::kCannotOpen);
    EXPECT_EQ(notThere.error().message,
              "Error : Unable to open file \"" + missing + "\" for reading.");

    // 4 kHz is below what the detector takes; 12-bit samples we do not
    // convert. Both must fail cleanly rather than feed the detector noise.
    const std::string slow = WriteSong("slow.wav", 120, 1, 4000, 1, 16);
    const std::string twelve = testpaths::ScratchFile(
        "twelve.wav", testsignals::MakeWav({.bitsPerSample = 12}, std::vector<std::uint8_t>(400)));
    for (const auto& [path, format] : {std::pair{slow, "16 bits, 1 channels, 4000 Hz"},
                                       std::pair{twelve, "12 bits, 2 channels, 44100 Hz"}}) {
        const auto failed = EstimateBpm(path);
        ASSERT_FALSE(failed);
        EXPECT_EQ(failed.error().kind, AudioErrorKind::kUnsupported);
        EXPECT_EQ(failed.error().message,
                  "File \"" + path + "\" uses an unsupported sample format (" + format + ").");
    }
}

std::string Contents(std::FILE* file) {
    std::rewind(file);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    return text;
}

TEST(EstimateFiles, PrintsEveryFileInArgumentOrderAndReportsFailure) {
    const std::string missing = testpaths::Scratch("missing.ogg");
    const std::vector<std::string> paths = {Fixture("mono_110.ogg"), missing,
                                            Fixture("stereo_137.mp3")};
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(out && err);
    EXPECT_FALSE(audio::EstimateFiles(paths, out, err, audio::EstimateFilesOptions{2, false}));
    // One "BPM<TAB>PATH" line per good file, in argument order.
    const std::regex lines("(\\d+\\.\\d\\d)\t(.*)\n(\\d+\\.\\d\\d)\t(.*)\n");
    std::smatch match;
    const std::string printed = Contents(out);
    ASSERT_TRUE(std::regex_match(printed, match, lines)) << printed;
    EXPECT_NEAR(std::stod(match[1]), 110.0, 1.1); // 1 %, as for every format above
    EXPECT_EQ(match[2], paths[0]);
    EXPECT_NEAR(std::stod(match[3]), 137.0, 1.37);
    EXPECT_EQ(match[4], paths[2]);
    EXPECT_EQ(Contents(err), "Error : Unable to open file \"" + missing + "\" for reading.\n");
    std::fclose(out);
    std::fclose(err);
}

} // namespace

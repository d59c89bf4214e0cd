#include "audio/FindTempo.h"

#include "AudioTestPaths.h"
#include "SongSynth.h"
#include "audio/OnsetEnvelope.h"
#include "audio/TempoFit.h"
#include "audio/WaveformPeaks.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <regex>

namespace {

using testsignals::Groove;
using testsignals::SongRecipe;

// The issue's goals, which these songs are held to: BPM within 0.05, the
// first beat within 5 ms of the kick's attack. The fit lands within 0.01
// BPM and 2 ms on them, so a drift of a few hundredths or a frame's delay
// left in the Gap fails.
constexpr double kBpmTolerance = 0.05;
constexpr double kFirstBeatToleranceSeconds = 0.005;
// Relatives are exact multiples of the fitted period (rounding only).
constexpr double kRatioTolerance = 1e-9;
constexpr double kTestSongSeconds = 40.0; // a minute's precision, short under ASan

std::vector<audio::TempoCandidate> Analyse(const SongRecipe& recipe) {
    const std::vector<std::int16_t> samples = testsignals::SynthesizeSong(recipe);
    audio::OnsetAnalyzer analyzer(recipe.sampleRate);
    std::vector<float> mono(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        mono[i] = static_cast<float>(samples[i]) / 32768.0F;
    }
    analyzer.Add(mono.data(), mono.size());
    return audio::FitTempo(analyzer.Finish());
}

// Distance of a Gap from the song's grid, wrapped to the nearest beat.
double BeatError(double gapSeconds, const SongRecipe& recipe) {
    return std::remainder(gapSeconds - recipe.ExpectedGap(), 60.0 / recipe.bpm);
}

bool Lists(const std::vector<audio::TempoCandidate>& candidates, double bpm) {
    for (const audio::TempoCandidate& candidate : candidates) {
        if (std::abs(candidate.bpm / bpm - 1) < kRatioTolerance) {
            return true;
        }
    }
    return false;
}

struct SongCase {
    SongRecipe recipe;
    bool offBeatAmbiguous = false; // the half-beat-moved reading must be listed
    // A dotted groove near 120 BPM puts a kick on every eighth but two: the
    // eighth-note level may come first. The song's own must then be next.
    bool levelMayBeDoubled = false;
};

class FindTempoSongs : public ::testing::TestWithParam<SongCase> {};

// Seeds, tempos and first beats differ from the benchmark's songs, so the
// tuning there is checked on songs it never saw.
const SongCase kSongs[] = {
    {{"fast_four_250", 250, 0.101, kTestSongSeconds, Groove::kFourOnTheFloor, 0, 101, 44100, 1}},
    {{"swing_176", 176, 0.222, kTestSongSeconds, Groove::kBackbeat, 1.0 / 6, 102, 44100, 1}},
    {{"accents_152", 152, 0.066, kTestSongSeconds, Groove::kOffBeatAccents, 0, 103, 44100, 1},
     true},
    {{"intro_7s_131_5", 131.5, 7.3, kTestSongSeconds, Groove::kFourOnTheFloor, 0, 104, 44100, 1}},
    {{"backbeat_117_77", 117.77, 0.012, kTestSongSeconds, Groove::kBackbeat, 0, 105, 48000, 1}},
    {{"waltz_138", 138, 0.3, kTestSongSeconds, Groove::kWaltz, 0, 106, 44100, 1}},
    {{"half_time_150", 150, 0.05, kTestSongSeconds, Groove::kHalfTime, 0, 107, 44100, 1}},
    {{"backbeat_92", 92, 0.5, kTestSongSeconds, Groove::kBackbeat, 0, 108, 22050, 1}},
    {{"dotted_124", 124, 0.2, kTestSongSeconds, Groove::kDotted, 0, 109, 44100, 1}, false, true},
};

TEST_P(FindTempoSongs, PutsTheSongsTempoAndFirstBeatFirstWithItsRelatives) {
    const SongCase& song = GetParam();
    const std::vector<audio::TempoCandidate> candidates = Analyse(song.recipe);
    ASSERT_FALSE(candidates.empty());
    ASSERT_LE(candidates.size(), 5U);
    const audio::TempoCandidate& first = candidates.front();
    const audio::TempoCandidate& best =
        song.levelMayBeDoubled && std::abs(first.bpm - 2 * song.recipe.bpm) < 2 * kBpmTolerance
            ? candidates.at(1)
            : first;
    EXPECT_NEAR(best.bpm, song.recipe.bpm, kBpmTolerance);
    EXPECT_NEAR(BeatError(best.gapSeconds, song.recipe), 0.0, kFirstBeatToleranceSeconds);
    EXPECT_GE(best.gapSeconds, 0.0);
    EXPECT_LT(best.gapSeconds, 60.0 / best.bpm);

    EXPECT_TRUE(Lists(candidates, first.bpm / 2));
    EXPECT_TRUE(Lists(candidates, first.bpm * 2));
    EXPECT_TRUE(Lists(candidates, first.bpm * 1.5) || Lists(candidates, first.bpm * 2 / 3));
    double total = 0;
    for (const audio::TempoCandidate& candidate : candidates) {
        EXPECT_GT(candidate.confidence, 0.0);
        EXPECT_LE(candidate.confidence, first.confidence);
        EXPECT_GE(candidate.gapSeconds, 0.0);
        EXPECT_LT(candidate.gapSeconds, 60.0 / candidate.bpm);
        total += candidate.confidence;
    }
    EXPECT_NEAR(total, 1.0, 1e-9);

    bool moved = false;
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        const double halfBeat = 30.0 / best.bpm;
        moved = moved || (candidates[i].bpm == best.bpm &&
                          std::abs(std::abs(std::remainder(
                                       candidates[i].gapSeconds - best.gapSeconds, 2 * halfBeat)) -
                                   halfBeat) < kFirstBeatToleranceSeconds);
    }
    if (song.offBeatAmbiguous) {
        EXPECT_TRUE(moved) << "the reading with the beat on the accents is missing";
    }
}

INSTANTIATE_TEST_SUITE_P(Songs, FindTempoSongs, ::testing::ValuesIn(kSongs),
                         [](const ::testing::TestParamInfo<SongCase>& param) {
                             return param.param.recipe.name;
                         });

TEST(FindTempo, FindsNoBeatInSilenceOrInASongTooShort) {
    audio::OnsetAnalyzer silence(44100);
    const std::vector<float> zeros(44100 * 10, 0.0F);
    silence.Add(zeros.data(), zeros.size());
    EXPECT_TRUE(audio::FitTempo(silence.Finish()).empty());

    SongRecipe twoBeats{"short", 120, 0.1, 1.0, Groove::kFourOnTheFloor, 0, 3, 44100, 1};
    EXPECT_TRUE(Analyse(twoBeats).empty());
}

// Song time is the player's: an MP3 carries LAME's 1105-sample delay and a
// 1152-sample Info frame before the music, so its Gap is that much later
// than the WAV's; Ogg starts where the WAV does. A source that skipped or
// trimmed frames would move the Gap by 26 ms or more.
TEST(FindTempo, GivesTheGapOnThePlayersTimeLineForEveryFormat) {
    constexpr double kMp3LeadSeconds = (1105.0 + 1152.0) / 44100.0;
    // Decoders smear the attack a little: within 2 ms of each other.
    constexpr double kFormatToleranceSeconds = 0.002;
    const auto wav = audio::FindTempo(testpaths::Fixture("stereo_137.wav"));
    const auto mp3 = audio::FindTempo(testpaths::Fixture("stereo_137.mp3"));
    const auto ogg = audio::FindTempo(testpaths::Fixture("stereo_137.ogg"));
    ASSERT_TRUE(wav && mp3 && ogg);
    ASSERT_FALSE(wav.value().candidates.empty());
    ASSERT_FALSE(mp3.value().candidates.empty());
    ASSERT_FALSE(ogg.value().candidates.empty());
    const audio::TempoCandidate& w = wav.value().candidates.front();
    const audio::TempoCandidate& m = mp3.value().candidates.front();
    const audio::TempoCandidate& o = ogg.value().candidates.front();
    // 8 s of music: the fit is good to about 0.1 BPM there.
    EXPECT_NEAR(w.bpm, 137.0, 0.1);
    EXPECT_NEAR(m.bpm, w.bpm, 0.1);
    const double beat = 60.0 / w.bpm;
    EXPECT_NEAR(std::remainder(m.gapSeconds - w.gapSeconds - kMp3LeadSeconds, beat), 0.0,
                kFormatToleranceSeconds);
    EXPECT_NEAR(std::remainder(o.gapSeconds - w.gapSeconds, beat), 0.0, kFormatToleranceSeconds);
}

TEST(FindTempo, StopsWhenCancelledAndReportsUnreadableFiles) {
    std::atomic<bool> cancel{true};
    const auto cancelled = audio::FindTempo(testpaths::Fixture("stereo_137.wav"), {}, &cancel);
    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(cancelled.value().cancelled);
    EXPECT_TRUE(cancelled.value().candidates.empty());

    const auto missing = audio::FindTempo(testpaths::Scratch("missing.wav"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, audio::AudioErrorKind::kCannotOpen);
    const auto unknown = audio::FindTempo(testpaths::Scratch("song.flac"));
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error().kind, audio::AudioErrorKind::kUnknownType);
}

TEST(FindTempo, ReportsProgressUpTo100AndTheWorkerGivesTheSameAnswer) {
    std::vector<int> percents;
    const auto direct = audio::FindTempo(testpaths::Fixture("stereo_137.ogg"),
                                         [&percents](int percent) { percents.push_back(percent); });
    ASSERT_TRUE(direct);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));

    audio::TempoFinder finder(testpaths::Fixture("stereo_137.ogg"));
    while (!finder.Finished()) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(finder.Outcome());
    ASSERT_EQ(finder.Outcome().value().candidates.size(), direct.value().candidates.size());
    EXPECT_EQ(finder.Outcome().value().candidates.front().bpm,
              direct.value().candidates.front().bpm);
    EXPECT_EQ(finder.ProgressPercent(), 100);
}

TEST(FindTempoFiles, PrintsEveryCandidateLineInFileOrderAndErrorsApart) {
    const std::string out = testpaths::Scratch("out.txt");
    const std::string err = testpaths::Scratch("err.txt");
    std::FILE* outFile = std::fopen(out.c_str(), "w");
    std::FILE* errFile = std::fopen(err.c_str(), "w");
    const std::string missing = testpaths::Scratch("missing.mp3");
    const std::vector<std::string> paths = {testpaths::Fixture("stereo_137.wav"), missing,
                                            testpaths::Fixture("mono_110.wav")};
    EXPECT_FALSE(audio::FindTempoFiles(paths, outFile, errFile, 2));
    std::fclose(outFile);
    std::fclose(errFile);

    const std::vector<std::uint8_t> outBytes = testsignals::ReadFile(out);
    const std::string text(outBytes.begin(), outBytes.end());
    const std::regex line(R"((\d+\.\d\d)\t(\d+\.\d\d\d)\t([01]\.\d\d)\t([^\n]+)\n)");
    std::vector<std::string> pathsSeen;
    std::vector<double> firstBpms;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line);
         it != std::sregex_iterator(); ++it) {
        if (pathsSeen.empty() || pathsSeen.back() != (*it)[4]) {
            pathsSeen.push_back((*it)[4]);
            firstBpms.push_back(std::stod((*it)[1]));
        }
    }
    EXPECT_EQ(std::regex_replace(text, line, ""), "") << "lines of another shape";
    ASSERT_EQ(pathsSeen.size(), 2U);
    EXPECT_EQ(pathsSeen[0], paths[0]);
    EXPECT_EQ(pathsSeen[1], paths[2]);
    // 8-s songs: within 0.1 BPM (see above).
    EXPECT_NEAR(firstBpms[0], 137.0, 0.1);
    EXPECT_NEAR(firstBpms[1], 110.0, 0.1);

    const std::vector<std::uint8_t> errBytes = testsignals::ReadFile(err);
    EXPECT_EQ(std::string(errBytes.begin(), errBytes.end()),
              audio::CannotOpenMessage(missing) + "\n");
}

// A second of silence, then half a second of a square wave at half scale.
TEST(WaveformPeaks, HoldsEachBinsExtremesAtEveryLevel) {
    constexpr int kRate = 44100;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(1.5 * kRate), 0);
    for (std::size_t i = kRate; i < samples.size(); ++i) {
        samples[i] = (i / 50) % 2 == 0 ? 16384 : -16384;
    }
    const std::string path = testpaths::ScratchWav("square.wav", {.channels = 1}, samples);
    const auto peaks = audio::ComputeWaveformPeaks(path);
    ASSERT_TRUE(peaks);
    const audio::WaveformPeaks& p = peaks.value();
    ASSERT_EQ(p.levels.size(), static_cast<std::size_t>(audio::WaveformPeaks::kLevels));
    for (std::size_t level = 0; level < p.levels.size(); ++level) {
        const int binSamples = p.levels[level].samplesPerBin;
        EXPECT_EQ(binSamples, 256 << (2 * level));
        EXPECT_EQ(p.levels[level].low.size(),
                  (samples.size() + static_cast<std::size_t>(binSamples) - 1) /
                      static_cast<std::size_t>(binSamples));
    }
    // A bin may reach past the span by less than its own width: the coarsest
    // level chosen for 0.5 s has 0.37 s bins.
    EXPECT_EQ(p.Range(0.0, 0.5), std::make_pair(0, 0));
    EXPECT_EQ(p.Range(1.1, 1.4), std::make_pair(-63, 63)); // -16384 * 127 / 32768, truncated
    // A span of one finest bin reads the finest level: its edge shows.
    EXPECT_EQ(p.Range(0.990, 0.993), std::make_pair(0, 0));
    EXPECT_EQ(p.Range(2.0, 3.0), std::make_pair(0, 0)); // past the end

    std::atomic<bool> cancel{true};
    const auto cancelled = audio::ComputeWaveformPeaks(path, &cancel);
    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(cancelled.value().levels.empty());
}

} // namespace

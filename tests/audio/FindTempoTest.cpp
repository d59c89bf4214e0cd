#include "audio/FindTempo.h"

#include "AudioTestPaths.h"
#include "SongSynth.h"
#include "audio/OnsetEnvelope.h"
#include "audio/TempoFit.h"
#include "audio/WaveformPeaks.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

using audio::TempoCandidate;
using testsignals::Groove;
using testsignals::SongRecipe;

// The goals are BPM within 0.05 and the first beat within 5 ms of
// the kick's attack. The fit lands within 0.01 BPM and 2.3 ms on these
// songs, so they are held to 0.02 BPM and 3.5 ms (a 1 ms fine block of
// rounding to spare): a drift of a few hundredths or a frame's delay left
// in the Gap fails.
constexpr double kBpmTolerance = 0.02;
constexpr double kFirstBeatToleranceSeconds = 0.0035;
// Relatives are exact multiples of the fitted period (rounding only).
constexpr double kRatioTolerance = 1e-9;
constexpr double kTestSongSeconds = 40.0; // a minute's precision, short under ASan

std::vector<TempoCandidate> Analyse(const SongRecipe& recipe) {
    const std::vector<std::int16_t> samples = testsignals::SynthesizeSong(recipe);
    audio::OnsetAnalyzer analyzer(recipe.sampleRate);
    std::vector<float> mono(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        mono[i] = static_cast<float>(samples[i]) / 32768.0F;
    }
    analyzer.Add(mono.data(), mono.size());
    return audio::FitTempo(analyzer.Finish());
}

bool Lists(const std::vector<TempoCandidate>& candidates, double bpm, double gapSeconds = -1) {
    return std::any_of(candidates.begin(), candidates.end(), [&](const TempoCandidate& c) {
        return std::abs(c.bpm / bpm - 1) < kRatioTolerance &&
               (gapSeconds < 0 || std::abs(c.gapSeconds - gapSeconds) < kFirstBeatToleranceSeconds);
    });
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
    const std::vector<TempoCandidate> candidates = Analyse(song.recipe);
    // Five readings: the best, its half and double, and its 3:2 and 2:3
    // relatives, or one of those and the best with the beat moved.
    ASSERT_EQ(candidates.size(), 5U);
    const TempoCandidate& first = candidates.front();
    const TempoCandidate& best =
        song.levelMayBeDoubled && std::abs(first.bpm - 2 * song.recipe.bpm) < 2 * kBpmTolerance
            ? candidates.at(1)
            : first;
    EXPECT_NEAR(best.bpm, song.recipe.bpm, kBpmTolerance);
    // The Gap is the first beat at or after song time 0.
    const double beat = 60.0 / song.recipe.bpm;
    EXPECT_NEAR(std::remainder(best.gapSeconds - song.recipe.ExpectedGap(), beat), 0.0,
                kFirstBeatToleranceSeconds);
    const auto sameBpm = std::count_if(candidates.begin(), candidates.end(),
                                       [&](const TempoCandidate& c) { return c.bpm == first.bpm; });
    EXPECT_TRUE(Lists(candidates, first.bpm / 2) && Lists(candidates, first.bpm * 2));
    EXPECT_EQ(Lists(candidates, first.bpm * 1.5) + Lists(candidates, first.bpm * 2 / 3) + sameBpm,
              3);
    double total = 0;
    for (const TempoCandidate& candidate : candidates) {
        EXPECT_GT(candidate.confidence, 0.0);
        EXPECT_LE(candidate.confidence, first.confidence);
        EXPECT_GE(candidate.gapSeconds, 0.0);
        EXPECT_LT(candidate.gapSeconds, 60.0 / candidate.bpm);
        total += candidate.confidence;
    }
    EXPECT_NEAR(total, 1.0, 1e-9);
    if (song.offBeatAmbiguous) {
        const double halfBeat = 30.0 / best.bpm;
        const double moved = best.gapSeconds + (best.gapSeconds < halfBeat ? halfBeat : -halfBeat);
        EXPECT_TRUE(Lists(candidates, best.bpm, moved)) << "the reading on the accents is missing";
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
    EXPECT_TRUE(Analyse({"short", 120, 0.1, 1.0, Groove::kFourOnTheFloor, 0, 3, 44100, 1}).empty());
}

// Song time is the player's: an MP3 carries LAME's 1105-sample delay and a
// 1152-sample Info frame before the music, so its Gap is that much later
// than the WAV's; Ogg starts where the WAV does. A source that skipped or
// trimmed frames would move the Gap by 26 ms or more. Decoding is reported
// up to 95 %, the fit takes the rest.
TEST(FindTempo, GivesTheGapOnThePlayersTimeLineForEveryFormat) {
    // Decoders smear the attack a little: within 2 ms of each other.
    constexpr double kFormatToleranceSeconds = 0.002;
    double wavGap = 0; // the WAV comes first
    for (const auto& [file, leadSeconds] :
         {std::pair{"stereo_137.wav", 0.0}, std::pair{"stereo_137.mp3", (1105.0 + 1152.0) / 44100},
          std::pair{"stereo_137.ogg", 0.0}}) {
        SCOPED_TRACE(file);
        std::vector<int> percents;
        const auto found = audio::FindTempo(
            testpaths::Fixture(file), [&percents](int percent) { percents.push_back(percent); });
        ASSERT_TRUE(found);
        ASSERT_FALSE(found.value().candidates.empty());
        const TempoCandidate& best = found.value().candidates.front();
        // 8 s of music: the fit is good to about 0.1 BPM there.
        EXPECT_NEAR(best.bpm, 137.0, 0.1);
        wavGap = std::string(file) == "stereo_137.wav" ? best.gapSeconds : wavGap;
        EXPECT_NEAR(std::remainder(best.gapSeconds - wavGap - leadSeconds, 60.0 / 137.0), 0.0,
                    kFormatToleranceSeconds);
        ASSERT_GE(percents.size(), 3U);
        EXPECT_EQ(percents.front(), 0);
        EXPECT_EQ(std::vector(percents.end() - 2, percents.end()), (std::vector{95, 100}));
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    }
}

// The worker thread gives the direct call's answer; a cancelled run stops
// with no candidates.
TEST(FindTempo, TheWorkerGivesTheSameAnswerAndStopsWhenCancelled) {
    const std::string path = testpaths::Fixture("stereo_137.ogg");
    const auto readings = [](const audio::Result<audio::TempoSearch>& found) {
        std::vector<std::array<double, 3>> all;
        for (const TempoCandidate& c : found.value().candidates) {
            all.push_back({c.bpm, c.gapSeconds, c.confidence});
        }
        return all;
    };
    audio::TempoFinder finder(path);
    while (!finder.Finished()) {
        std::this_thread::yield();
    }
    EXPECT_EQ(readings(finder.Outcome()), readings(audio::FindTempo(path)));
    EXPECT_EQ(finder.ProgressPercent(), 100);
    std::atomic<bool> cancel{true};
    const auto cancelled = audio::FindTempo(path, {}, &cancel);
    EXPECT_TRUE(cancelled.value().cancelled);
    EXPECT_TRUE(cancelled.value().candidates.empty());
}

// "BPM<TAB>GAP<TAB>CONFIDENCE<TAB>PATH" (%.2f, %.3f, %.2f) for every
// candidate, best first, files in argument order whatever the workers;
// errors apart.
TEST(FindTempoFiles, PrintsEveryCandidateLineInFileOrderAndErrorsApart) {
    const std::string missing = testpaths::Scratch("missing.mp3");
    const std::vector<std::string> paths = {testpaths::Fixture("stereo_137.wav"), missing,
                                            testpaths::Fixture("mono_110.wav")};
    std::string expected;
    for (const auto& [path, bpm] : {std::pair{paths[0], 137.0}, std::pair{paths[2], 110.0}}) {
        const auto found = audio::FindTempo(path);
        // A stereo and a mono song, 8 s long: good to about 0.1 BPM.
        EXPECT_NEAR(found.value().candidates.at(0).bpm, bpm, 0.1);
        for (const TempoCandidate& c : found.value().candidates) {
            std::array<char, 512> line{};
            std::snprintf(line.data(), line.size(), "%.2f\t%.3f\t%.2f\t%s\n", c.bpm, c.gapSeconds,
                          c.confidence, path.c_str());
            expected += line.data();
        }
    }
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_FALSE(audio::FindTempoFiles(paths, out, err, 2));
    EXPECT_EQ(testpaths::Contents(out), expected);
    EXPECT_EQ(testpaths::Contents(err),
              "Error : Unable to open file \"" + missing + "\" for reading.\n");
    std::fclose(out);
    std::fclose(err);
}

// A second of a constant 0.5 at 44.1 kHz, added in two blocks: 1024-sample
// frames every 256 samples, the first centred on time 0 (173 up to the end
// and half a frame of silence after it), and 1 ms (44-sample) blocks of
// fine energy, the last completed by that silence. From frame 2 on, the
// frames lie wholly inside the constant, so their successors rise by
// nothing; the first frame's rise from nothing does not count.
TEST(OnsetAnalyzer, FramesAndFineBlocksFollowTheSong) {
    audio::OnsetAnalyzer analyzer(44100);
    const std::vector<float> constant(44100, 0.5F);
    analyzer.Add(constant.data(), 30000);
    analyzer.Add(constant.data() + 30000, 14100);
    const audio::OnsetEnvelopes e = analyzer.Finish();
    EXPECT_EQ(std::tuple(e.frameRate, e.fineBlockSeconds, e.durationSeconds),
              std::tuple(44100.0 / 256, 44.0 / 44100, 1.0));
    ASSERT_EQ(std::pair(e.flux.size(), e.lowFlux.size()), std::pair(173UL, 173UL));
    EXPECT_EQ(std::pair(e.flux[0], e.lowFlux[0]), std::pair(0.0F, 0.0F));
    EXPECT_GT(e.flux[1], 0.0F);
    EXPECT_GT(e.lowFlux[1], 0.0F);
    EXPECT_EQ(std::vector(e.flux.begin() + 3, e.flux.begin() + 171), std::vector(168, 0.0F));
    std::vector<float> energy(1002, 11.0F);
    energy.push_back(3.0F);
    EXPECT_EQ(e.fineEnergy, energy);
    std::vector<float> high(1003, 0.0F);
    high.front() = high.back() = 0.25F;
    EXPECT_EQ(e.fineHighEnergy, high);
}

// A full-scale spike of each sign at the start, a second of silence, then
// half a second of a square wave at half scale.
TEST(WaveformPeaks, HoldsEachBinsExtremesAtEveryLevel) {
    constexpr int kRate = 44100;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(1.5 * kRate), 0);
    samples[0] = 32767;
    samples[1] = -32768;
    for (std::size_t i = kRate; i < samples.size(); ++i) {
        samples[i] = (i / 50) % 2 == 0 ? 16384 : -16384;
    }
    const std::string path = testpaths::ScratchWav("square.wav", {.channels = 1}, samples);
    const auto peaks = audio::ComputeWaveformPeaks(path);
    ASSERT_TRUE(peaks);
    const audio::WaveformPeaks& p = peaks.value();
    EXPECT_EQ(p.sampleRate, kRate);
    ASSERT_EQ(p.levels.size(), 4U);
    for (std::size_t level = 0; level < p.levels.size(); ++level) {
        // 256, 1024, 4096 and 16384 samples a bin; a partial last bin counts.
        const std::size_t binSamples = 256U << (2 * level);
        EXPECT_EQ(p.levels[level].samplesPerBin, static_cast<int>(binSamples));
        EXPECT_EQ(p.levels[level].low.size(), (samples.size() + binSamples - 1) / binSamples);
    }
    // A bin may reach past the span by less than its own width: the coarsest
    // level chosen for 0.5 s has 0.37 s bins. A span of one finest bin
    // reads the finest level: its edge shows.
    const struct {
        double from, to;
        std::pair<int, int> range;
    } spans[] = {{0.0, 0.5, {-127, 126}}, {0.0, 0.001, {-127, 126}}, // × 127 / 32768, truncated
                 {1.1, 1.4, {-63, 63}},   {0.990, 0.993, {0, 0}},
                 {1.0, 1.0, {0, 0}},      {2.0, 3.0, {0, 0}}}; // past the end
    for (const auto& s : spans) {
        EXPECT_EQ(p.Range(s.from, s.to), s.range) << s.from << " to " << s.to;
    }
    std::atomic<bool> cancel{true};
    const auto cancelled = audio::ComputeWaveformPeaks(path, &cancel);
    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(cancelled.value().levels.empty());
}

} // namespace

// Tempo from audio: Find Tempo (BPM and first beat, with their relatives)
// on synthesized songs and the encoded fixtures (the estimate on them:
// AudioSourceTest), the command-line listings of both, and the waveform's
// peaks.
#include "AudioTestPaths.h"
#include "SongSynth.h"
#include "audio/EstimateBpm.h"
#include "audio/EstimateFiles.h"
#include "audio/FindTempo.h"
#include "audio/OnsetEnvelope.h"
#include "audio/TempoFit.h"
#include "audio/WaveformPeaks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

using audio::TempoCandidate;
using testpaths::Fixture;
using testsignals::Groove;

std::vector<TempoCandidate> Analyse(const testsignals::SongRecipe& recipe) {
    const std::vector<std::int16_t> samples = testsignals::SynthesizeSong(recipe);
    std::vector<float> mono(samples.size());
    std::ranges::transform(samples, mono.begin(),
                           [](std::int16_t s) { return float(s) / 32768.0F; });
    audio::OnsetAnalyzer analyzer(recipe.sampleRate);
    analyzer.Add(mono.data(), mono.size());
    return audio::FitTempo(analyzer.Finish());
}

// Relatives are exact multiples of the fitted period (rounding only).
bool Lists(const std::vector<TempoCandidate>& candidates, double bpm, double gapSeconds = -1) {
    return std::ranges::any_of(candidates, [&](const TempoCandidate& c) {
        return std::abs(c.bpm / bpm - 1) < 1e-9 &&
               (gapSeconds < 0 || std::abs(c.gapSeconds - gapSeconds) < 0.0035);
    });
}

struct SongCase {
    testsignals::SongRecipe recipe;
    bool offBeatAmbiguous = false; // the half-beat-moved reading must be listed
    // A dotted groove near 120 BPM puts a kick on every eighth but two: the
    // eighth-note level may come first. The song's own must then be next.
    bool levelMayBeDoubled = false;
};

class FindTempoSongs : public ::testing::TestWithParam<SongCase> {};

// Seeds, tempos and first beats differ from the benchmark's songs, so the
// tuning there is checked on songs it never saw. 40 s: a minute's
// precision, short under ASan.
const SongCase kSongs[] = {
    {{"fast_four_250", 250, 0.101, 40, Groove::kFourOnTheFloor, 0, 101, 44100, 1}},
    {{"swing_176", 176, 0.222, 40, Groove::kBackbeat, 1.0 / 6, 102, 44100, 1}},
    {{"accents_152", 152, 0.066, 40, Groove::kOffBeatAccents, 0, 103, 44100, 1}, true},
    {{"intro_7s_131_5", 131.5, 7.3, 40, Groove::kFourOnTheFloor, 0, 104, 44100, 1}},
    {{"backbeat_117_77", 117.77, 0.012, 40, Groove::kBackbeat, 0, 105, 48000, 1}},
    {{"waltz_138", 138, 0.3, 40, Groove::kWaltz, 0, 106, 44100, 1}},
    {{"half_time_150", 150, 0.05, 40, Groove::kHalfTime, 0, 107, 44100, 1}},
    {{"backbeat_92", 92, 0.5, 40, Groove::kBackbeat, 0, 108, 22050, 1}},
    {{"dotted_124", 124, 0.2, 40, Groove::kDotted, 0, 109, 44100, 1}, false, true},
    {{"house_121", 121, 0.31, 40, Groove::kHouse, 0, 110, 48000, 1}},
    {{"hip_hop_84", 84, 0.07, 40, Groove::kHipHop, 0, 111, 44100, 1}},
};

// The goals are BPM within 0.05 and the first beat within 5 ms of
// the kick's attack. The fit lands within 0.01 BPM and 2.3 ms on these
// songs, so they are held to 0.02 BPM and 3.5 ms (a 1 ms fine block of
// rounding to spare): a drift of a few hundredths or a frame's delay left
// in the Gap fails. Five readings: the best, its half and double, and its
// 3:2 and 2:3 relatives, or one of those and the best with the beat moved.
// Confidences are shares of 1, best first; each Gap is the first beat at
// or after song time 0.
TEST_P(FindTempoSongs, PutsTheSongsTempoAndFirstBeatFirstWithItsRelatives) {
    const SongCase& song = GetParam();
    const std::vector<TempoCandidate> candidates = Analyse(song.recipe);
    ASSERT_EQ(candidates.size(), 5U);
    const TempoCandidate& first = candidates.front();
    const bool doubled = song.levelMayBeDoubled && std::abs(first.bpm - 2 * song.recipe.bpm) < 0.04;
    const TempoCandidate& best = doubled ? candidates.at(1) : first;
    EXPECT_NEAR(best.bpm, song.recipe.bpm, 0.02);
    EXPECT_NEAR(std::remainder(best.gapSeconds - song.recipe.ExpectedGap(), 60.0 / song.recipe.bpm),
                0.0, 0.0035);
    EXPECT_TRUE(Lists(candidates, first.bpm / 2) && Lists(candidates, first.bpm * 2));
    EXPECT_EQ(Lists(candidates, first.bpm * 1.5) + Lists(candidates, first.bpm * 2 / 3) +
                  std::ranges::count(candidates, first.bpm, &TempoCandidate::bpm),
              3);
    double total = 0;
    for (const TempoCandidate& c : candidates) {
        EXPECT_TRUE(c.confidence > 0.0 && c.confidence <= first.confidence) << c.confidence;
        EXPECT_TRUE(c.gapSeconds >= 0.0 && c.gapSeconds < 60.0 / c.bpm) << c.gapSeconds;
        total += c.confidence;
    }
    EXPECT_NEAR(total, 1.0, 1e-9);
    const double halfBeat = 30.0 / best.bpm;
    const double moved = best.gapSeconds + (best.gapSeconds < halfBeat ? halfBeat : -halfBeat);
    EXPECT_TRUE(!song.offBeatAmbiguous || Lists(candidates, best.bpm, moved))
        << "no reading on the accents";
}

INSTANTIATE_TEST_SUITE_P(Songs, FindTempoSongs, ::testing::ValuesIn(kSongs),
                         [](const auto& param) { return param.param.recipe.name; });

// The classes that came out at a wrong level, and a fast four: the song's
// level first, its first beat within 2 ms of the kick's first sample
// (SongSynth starts the kick there; 2 ms is the goal, the fit's 1 ms fine
// block included); a fast backbeat's snares between its slow kicks are
// noise, a skank's stabs a chord. Beatless sounds get no candidate, however
// long.
TEST(FindTempo, PutsTheLevelFirstAndRefusesSoundWithoutABeat) {
    std::vector<testsignals::SongRecipe> songs = testsignals::LevelSongs(40);
    songs.push_back({"245 backbeat", 245, 0.140, 40, Groove::kBackbeat, 0, 29});
    for (testsignals::SongRecipe song : songs) {
        SCOPED_TRACE(song.name);
        song.channels = 1;
        const std::vector<TempoCandidate> candidates = Analyse(song);
        ASSERT_FALSE(candidates.empty());
        EXPECT_NEAR(candidates.front().bpm, song.bpm, 0.02);
        EXPECT_NEAR(
            std::remainder(candidates.front().gapSeconds - song.ExpectedGap(), 60.0 / song.bpm),
            0.0, 0.002);
    }
    using testsignals::Beatless;
    for (const Beatless kind : {Beatless::kPads, Beatless::kSpeech, Beatless::kNoise}) {
        SCOPED_TRACE(int(kind));
        const std::vector<std::int16_t> samples = testsignals::SynthesizeBeatless(kind, 30, 5);
        std::vector<float> mono(samples.begin(), samples.end());
        std::ranges::for_each(mono, [](float& x) { x /= 32768.0F; });
        audio::OnsetAnalyzer analyzer(44100);
        analyzer.Add(mono.data(), mono.size());
        const audio::TempoFitResult fit = audio::FitTempoMeasured(analyzer.Finish());
        EXPECT_TRUE(fit.candidates.empty()) << fit.beatContrast;
    }
}

// No beat in silence or in a song too short. The worker thread gives the
// direct call's answer, at 100 %; a cancelled run stops with none. (Song
// time is the player's, sample 0 first: AudioSourceTest pins where each
// decoder puts the music.)
TEST(FindTempo, FindsNoBeatInSilenceAndTheWorkerGivesTheDirectAnswer) {
    audio::OnsetAnalyzer silence(44100);
    const std::vector<float> zeros(44100 * 10, 0.0F);
    silence.Add(zeros.data(), zeros.size());
    EXPECT_TRUE(audio::FitTempo(silence.Finish()).empty());
    EXPECT_TRUE(Analyse({"short", 120, 0.1, 1.0, Groove::kFourOnTheFloor, 0, 3, 44100, 1}).empty());
    audio::TempoFinder finder(Fixture("stereo_137.ogg"));
    while (!finder.Finished())
        std::this_thread::yield();
    const auto direct = audio::FindTempo(Fixture("stereo_137.ogg"));
    EXPECT_EQ(std::pair(finder.Outcome().value().candidates.front().bpm, finder.ProgressPercent()),
              std::pair(direct.value().candidates.front().bpm, 100));
    std::atomic<bool> cancel{true};
    const auto cancelled = audio::FindTempo(Fixture("stereo_137.ogg"), {}, &cancel);
    EXPECT_TRUE(cancelled.value().cancelled && cancelled.value().candidates.empty());
}

// One line per good file, in argument order whatever the number of
// workers: "BPM<TAB>PATH" (%.2f) for the estimate,
// "BPM<TAB>GAP<TAB>CONFIDENCE<TAB>PATH" (%.2f, %.3f, %.2f) for every Find
// Tempo candidate, best first. Errors go apart, and the result says
// whether all went well. The estimate's progress, when asked for, is
// redrawn on the error stream and wiped before each result.
TEST(EstimateFiles, ListEveryFileInArgumentOrderAndReportFailure) {
    const std::string missing = testpaths::Scratch("missing.ogg");
    const std::vector<std::string> paths = {Fixture("mono_110.wav"), missing,
                                            Fixture("stereo_137.wav")};
    std::string estimates[2];
    std::string candidates;
    char line[512];
    for (int i = 0; i < 2; ++i) {
        const std::string& path = paths[2 * std::size_t(i)];
        std::snprintf(line, sizeof line, "%.2f\t%s\n", double(audio::EstimateBpm(path).value()),
                      path.c_str());
        estimates[i] = line;
        const auto found = audio::FindTempo(path);
        for (const TempoCandidate& c : found.value().candidates) {
            std::snprintf(line, sizeof line, "%.2f\t%.3f\t%.2f\t%s\n", c.bpm, c.gapSeconds,
                          c.confidence, path.c_str());
            candidates += line;
        }
    }
    const std::string silent = testpaths::Scratch("silent.wav");
    testsignals::WriteWav(silent, {}, std::vector<std::int16_t>(44100 * 2 * 5, 0));
    const std::string error = "Error : Unable to open file \"" + missing + "\" for reading.\n";
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_FALSE(audio::EstimateFiles(paths, out, err, {2, false}));
    EXPECT_EQ(testpaths::Contents(out) + "|" + testpaths::Contents(err),
              estimates[0] + estimates[1] + "|" + error);
    out = std::tmpfile();
    err = std::tmpfile();
    EXPECT_FALSE(audio::FindTempoFiles(paths, out, err, 2));
    EXPECT_EQ(testpaths::Contents(out) + "|" + testpaths::Contents(err), candidates + "|" + error);
    out = std::tmpfile();
    err = std::tmpfile();
    EXPECT_FALSE(audio::FindTempoFiles({silent, paths[0], paths[2]}, out, err, 2));
    EXPECT_EQ(testpaths::Contents(out) + "|" + testpaths::Contents(err),
              candidates + "|" + silent + ": No steady beat found\n");
    out = std::tmpfile();
    err = std::tmpfile();
    EXPECT_TRUE(audio::EstimateFiles({paths[2], paths[0]}, out, err, {1, true}));
    // Fixed fault (a flaky check): the first indicator shows whatever share
    // the worker reached before the printer first looked, not always 0 %.
    const std::string shown = testpaths::Contents(out) + "|" + testpaths::Contents(err);
    EXPECT_TRUE(shown.starts_with(estimates[1] + estimates[0] + "|\rEstimating tempo... ") &&
                shown.ends_with("100%\r\033[K"))
        << shown;
}

// A full-scale spike of each sign at the start, a second of silence, then
// half a second of a square wave at half scale on the right channel: bins
// of 256, 1024, 4096 and 16384 frames hold the extremes of every channel
// (a partial last bin counts). A bin may reach past the span by less than
// its own width: the coarsest level chosen for 0.5 s has 0.37 s bins. A
// span of one finest bin reads the finest level: its edge shows. Peaks are
// × 127 / 32768, truncated.
TEST(WaveformPeaks, HoldsEachBinsExtremesAtEveryLevel) {
    std::vector<std::int16_t> samples(66150 * 2, 0);
    samples[0] = 32767;
    samples[2] = -32768;
    for (std::size_t i = 44100; i < samples.size() / 2; ++i)
        samples[2 * i + 1] = (i / 50) % 2 == 0 ? 16384 : -16384;
    const std::string path = testpaths::Scratch("square.wav");
    testsignals::WriteWav(path, {}, samples);
    const auto peaks = audio::ComputeWaveformPeaks(path);
    ASSERT_TRUE(peaks);
    const audio::WaveformPeaks& p = peaks.value();
    ASSERT_EQ(std::pair(p.sampleRate, p.levels.size()), std::pair(44100, 4UL));
    const std::pair<int, std::size_t> bins[] = {{256, 259}, {1024, 65}, {4096, 17}, {16384, 5}};
    for (std::size_t level = 0; level < 4; ++level) // 66150 frames, a partial last bin counted
        EXPECT_EQ(std::pair(p.levels[level].samplesPerBin, p.levels[level].low.size()),
                  bins[level]);
    const std::tuple<double, double, std::pair<int, int>> spans[] = {
        {0.0, 0.5, {-127, 126}}, {0.0, 0.001, {-127, 126}}, {1.1, 1.4, {-63, 63}},
        {0.990, 0.993, {0, 0}},  {1.0, 1.0, {0, 0}},        {2.0, 3.0, {0, 0}}}; // past the end
    for (const auto& [from, to, range] : spans)
        EXPECT_EQ(p.Range(from, to), range) << from << " to " << to;
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(audio::ComputeWaveformPeaks(path, &cancel).value().levels.empty());
}

} // namespace

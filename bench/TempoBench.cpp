// Find Tempo figures on the variety set of synthesized songs, against
// SoundTouch's estimate (the tempo shown on opening a song) side by side.
//
//   tempo_bench --write-songs DIR [SECONDS]   synthesize the songs as WAV
//   tempo_bench DIR [SECONDS]                 measure and print
//   tempo_bench --levels DIR [SECONDS]        every fixture: level, first
//                                             beat, beatless refused
//   tempo_bench --maps                        timing maps of songs whose
//                                             tempo moves, against the best
//                                             constant tempo
//
// Each song's CPU time is that of the thread that runs it, decoding
// included, so the figure is per core. Peak memory is the process's after
// one song in a fresh process (`tempo_bench --memory FILE`).
#include "SongSynth.h"
#include "TestSignals.h"
#include "audio/EstimateBpm.h"
#include "audio/FindTempo.h"
#include "audio/OnsetEnvelope.h"
#include "audio/TempoFit.h"
#include "audio/TimingMapFinder.h"
#include "chart/TimingMap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr double kDefaultSeconds = 180.0;
// The timing map tests' length.
constexpr double kMapSeconds = 40.0;
// The thresholds.
constexpr double kBpmTolerance = 0.05;
constexpr double kRelativeTolerance = 0.005;
constexpr double kFirstBeatToleranceSeconds = 0.005;

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

std::string SongPath(const std::string& dir, const testsignals::SongRecipe& song) {
    std::string name = song.name;
    for (char& c : name) {
        if (c == ' ' || c == '/') {
            c = '_';
        }
    }
    return dir + "/" + name + ".wav";
}

struct BeatlessFixture {
    const char* name;
    testsignals::Beatless kind;
};
constexpr BeatlessFixture kBeatless[] = {{"silence", testsignals::Beatless::kSilence},
                                         {"ambient_pads", testsignals::Beatless::kPads},
                                         {"speech", testsignals::Beatless::kSpeech},
                                         {"white_noise", testsignals::Beatless::kNoise}};

std::vector<testsignals::SongRecipe> AllSongs(double seconds) {
    std::vector<testsignals::SongRecipe> songs = testsignals::VarietySongs(seconds);
    for (testsignals::SongRecipe& song : testsignals::LevelSongs(seconds)) {
        songs.push_back(std::move(song));
    }
    return songs;
}

int WriteSongs(const std::string& dir, double seconds) {
    unsigned seed = 61;
    for (const BeatlessFixture& fixture : kBeatless) {
        testsignals::WavLayout layout;
        layout.channels = 1;
        testsignals::WriteWav(dir + "/" + fixture.name + ".wav", layout,
                              testsignals::SynthesizeBeatless(fixture.kind, seconds, seed++));
    }
    for (const testsignals::SongRecipe& song : AllSongs(seconds)) {
        testsignals::WavLayout layout;
        layout.channels = static_cast<std::uint16_t>(song.channels);
        layout.sampleRate = static_cast<std::uint32_t>(song.sampleRate);
        testsignals::WriteWav(SongPath(dir, song), layout, testsignals::SynthesizeSong(song));
    }
    return 0;
}

// The signed distance from `gap` to the nearest beat of the true grid.
double BeatError(double gap, double expectedGap, double bpm) {
    const double beat = 60.0 / bpm;
    return std::remainder(gap - expectedGap, beat);
}

bool SameTempo(double bpm, double truth) {
    return std::abs(bpm - truth) <= kBpmTolerance;
}

int Measure(const std::string& dir, double seconds) {
    int ourLevel = 0;
    int ourListed = 0;
    int ourExact = 0;
    int ourRelative = 0;
    int ourFirstBeat = 0;
    int stExact = 0;
    int stRelative = 0;
    double ourCpu = 0;
    double stCpu = 0;
    double ourWorst = 0;
    std::printf("%-22s %7s %7s | %8s %7s %6s %7s %5s | %8s %6s\n", "song", "BPM", "Gap", "ours",
                "Gap", "ms off", "listed", "s", "SoundT.", "s");
    const std::vector<testsignals::SongRecipe> songs = testsignals::VarietySongs(seconds);
    for (const testsignals::SongRecipe& song : songs) {
        const std::string path = SongPath(dir, song);
        const double start = ThreadCpuSeconds();
        const audio::Result<audio::TempoSearch> found = audio::FindTempo(path);
        const double ours = ThreadCpuSeconds() - start;
        const double stStart = ThreadCpuSeconds();
        const audio::Result<float> st =
            audio::EstimateBpm(path, {}, audio::DecodeOverlap::kSequential);
        const double stSeconds = ThreadCpuSeconds() - stStart;
        if (!found || found.value().candidates.empty() || !st) {
            std::printf("%-22s failed\n", song.name.c_str());
            continue;
        }
        const std::vector<audio::TempoCandidate>& candidates = found.value().candidates;
        const audio::TempoCandidate& best = candidates.front();
        // The candidate at the song's tempo level, if any: within 0.5 %.
        const audio::TempoCandidate* level = nullptr;
        for (const audio::TempoCandidate& candidate : candidates) {
            if (!level && std::abs(candidate.bpm / song.bpm - 1) <= kRelativeTolerance) {
                level = &candidate;
            }
        }
        const bool listed = level != nullptr;
        const double offMs = 1000 * BeatError(best.gapSeconds, song.ExpectedGap(), song.bpm);
        ourLevel += level == &best ? 1 : 0;
        ourListed += listed ? 1 : 0;
        ourExact += listed && SameTempo(level->bpm, song.bpm) ? 1 : 0;
        ourRelative += std::abs(best.bpm / song.bpm - 1) <= kRelativeTolerance ? 1 : 0;
        ourFirstBeat += std::abs(offMs) <= 1000 * kFirstBeatToleranceSeconds ? 1 : 0;
        const double stBpm = st.value();
        stExact += SameTempo(stBpm, song.bpm) ? 1 : 0;
        stRelative += std::abs(stBpm / song.bpm - 1) <= kRelativeTolerance ? 1 : 0;
        ourCpu += ours;
        stCpu += stSeconds;
        ourWorst = std::max(ourWorst, ours);
        std::printf("%-22s %7.2f %7.3f | %8.3f %7.3f %6.1f %7s %5.2f | %8.2f %6.2f\n",
                    song.name.c_str(), song.bpm, song.ExpectedGap(), best.bpm, best.gapSeconds,
                    offMs, listed ? "yes" : "NO", ours, stBpm, stSeconds);
    }
    const auto n = static_cast<double>(songs.size());
    // Ours: BPM within 0.05 is that of the candidate at the right level
    // (first or not), within 0.5 % and the first beat are the first
    // candidate's. SoundTouch gives one number.
    std::printf("\n| estimator | right level first | right level listed | BPM within 0.05 "
                "| within 0.5 %% | first beat within 5 ms | CPU per %.0f-s song (mean / worst) |\n",
                seconds);
    std::printf("|---|---|---|---|---|---|---|\n");
    std::printf("| SoundTouch BPMDetect | %d/%zu | - | %d/%zu | %d/%zu | no beats | %.2f s |\n",
                stExact, songs.size(), stExact, songs.size(), stRelative, songs.size(), stCpu / n);
    std::printf("| Find Tempo | %d/%zu | %d/%zu | %d/%zu | %d/%zu | %d/%zu | %.2f / %.2f s |\n",
                ourLevel, songs.size(), ourListed, songs.size(), ourExact, songs.size(),
                ourRelative, songs.size(), ourFirstBeat, songs.size(), ourCpu / n, ourWorst);
    return 0;
}

// The level and first-beat fixtures and the beatless ones: one line each,
// "BPM first, right level?, first beat error" or whether a beat was claimed.
int MeasureLevels(const std::string& dir, double seconds) {
    std::printf("%-22s %7s | %8s %6s %7s\n", "song", "BPM", "first", "level", "ms off");
    int right = 0;
    int within2Ms = 0;
    double worstMs = 0;
    const std::vector<testsignals::SongRecipe> songs = AllSongs(seconds);
    for (const testsignals::SongRecipe& song : songs) {
        const audio::Result<audio::TempoSearch> found = audio::FindTempo(SongPath(dir, song));
        if (!found || found.value().candidates.empty()) {
            std::printf("%-22s %7.2f | no beat\n", song.name.c_str(), song.bpm);
            continue;
        }
        const audio::TempoCandidate& best = found.value().candidates.front();
        const double offMs = 1000 * BeatError(best.gapSeconds, song.ExpectedGap(), song.bpm);
        const bool level = std::abs(best.bpm / song.bpm - 1) <= kRelativeTolerance;
        right += level ? 1 : 0;
        within2Ms += std::abs(offMs) <= 2.0 ? 1 : 0;
        worstMs = std::max(worstMs, std::abs(offMs));
        std::printf("%-22s %7.2f | %8.2f %6s %7.2f (beat contrast %.2f)\n", song.name.c_str(),
                    song.bpm, best.bpm, level ? "yes" : "NO", offMs, found.value().beatContrast);
    }
    int refused = 0;
    for (const BeatlessFixture& fixture : kBeatless) {
        const audio::Result<audio::TempoSearch> found =
            audio::FindTempo(dir + "/" + fixture.name + ".wav");
        const bool none = found && found.value().candidates.empty();
        refused += none ? 1 : 0;
        std::printf("%-22s %7s | %s (beat contrast %.2f)\n", fixture.name, "-",
                    none ? "no steady beat" : "CLAIMED A BEAT",
                    found ? found.value().beatContrast : 0.0);
    }
    std::printf("\nright level first %d/%zu, first beat within 2 ms %d/%zu (worst %.2f ms), "
                "beatless refused %d/%zu\n",
                right, songs.size(), within2Ms, songs.size(), worstMs, refused,
                std::size(kBeatless));
    return 0;
}

int MeasureMemory(const std::string& path) {
    const audio::Result<audio::TempoSearch> found = audio::FindTempo(path);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory after one song: %.1f MiB (%s)\n",
                static_cast<double>(usage.ru_maxrss) / 1024.0,
                found && !found.value().candidates.empty() ? "found" : "no beat");
    return 0;
}

// The timing map tests' songs (40 s, first beat at 0.31 s), plus longer
// moves: each beat k lasts interval(k) seconds.
struct MapFixture {
    const char* name;
    std::function<double(int)> interval;
    testsignals::Groove groove = testsignals::Groove::kFourOnTheFloor;
};

const MapFixture kMapFixtures[] = {
    {"step 120 to 150", [](int k) { return 60 / (k < 40 ? 120.0 : 150.0); }},
    {"accelerando 110 up", [](int k) { return 60 / (110 + 0.4 * k); }},
    {"accelerando 120 to 200", [](int k) { return 60 / std::min(200.0, 120 + 80 * k / 104.0); }},
    {"120 held, then to 200",
     [](int k) { return 60 / std::clamp(120 + 80 * (k - 40) / 60.0, 120.0, 200.0); }},
    {"100 up to 196", [](int k) { return 60 / std::min(200.0, 100 + k * 1.0); }},
    {"ritardando 150 down", [](int k) { return 60 / (150 - 0.35 * k); },
     testsignals::Groove::kBackbeat},
    {"drifting drummer",
     [](int k) {
         return 60 / 124.0 * (1 + 0.03 * std::sin(k * 0.11)) + 0.002 * std::sin(k * 2.7);
     }},
    {"stop of 0.9 s", [](int k) { return 60 / 132.0 + (k == 44 ? 0.9 : 0); }},
};

// Shares of the true beats within 5 and 10 ms of the found map's nearest
// beat, beside those of the best constant tempo's grid (what Find Tempo
// offered before there were maps).
int MeasureMaps(double seconds) {
    constexpr double kFirstBeatSeconds = 0.31;
    std::printf("%-24s %5s | %-22s %7s %7s | %-8s %7s %7s | %s\n", "song", "beats", "map", "<=5ms",
                "<=10ms", "constant", "<=5ms", "<=10ms", "CPU s");
    for (const MapFixture& fixture : kMapFixtures) {
        const testsignals::SongRecipe recipe{fixture.name, 0,     0, seconds, fixture.groove, 0,
                                             201,          44100, 1};
        const std::vector<double> beats =
            testsignals::BeatTimes(kFirstBeatSeconds, seconds, fixture.interval);
        const std::vector<std::int16_t> samples = testsignals::SynthesizeBeats(recipe, beats);
        std::vector<float> mono(samples.size());
        std::transform(samples.begin(), samples.end(), mono.begin(),
                       [](std::int16_t s) { return static_cast<float>(s) / 32768.0F; });
        const double started = ThreadCpuSeconds();
        audio::OnsetAnalyzer analyzer(recipe.sampleRate);
        analyzer.Add(mono.data(), mono.size());
        const audio::OnsetEnvelopes envelopes = analyzer.Finish();
        const std::vector<audio::TempoCandidate> candidates =
            audio::FitTempoMeasured(envelopes, 0.0).candidates;
        const audio::TimingMapFit fit = audio::FitTimingMap(envelopes, candidates);
        const double cpuSeconds = ThreadCpuSeconds() - started;
        if (candidates.empty()) {
            std::printf("%-24s no beat found\n", fixture.name);
            continue;
        }
        const chart::TimingMap map(static_cast<float>(fit.bpm), static_cast<float>(fit.gapSeconds),
                                   fit.changes, fit.stops);
        const audio::TempoCandidate& constant = candidates.front();
        int map5 = 0, map10 = 0, constant5 = 0, constant10 = 0;
        for (const double t : beats) {
            const double mapOff = std::abs(map.SecondsAt(std::round(map.BeatAt(t))) - t);
            const double constantOff =
                std::abs(std::remainder(t - constant.gapSeconds, 60.0 / constant.bpm));
            map5 += mapOff <= 0.005 ? 1 : 0;
            map10 += mapOff <= 0.010 ? 1 : 0;
            constant5 += constantOff <= 0.005 ? 1 : 0;
            constant10 += constantOff <= 0.010 ? 1 : 0;
        }
        const auto share = [&](int count) {
            return 100.0 * count / static_cast<double>(beats.size());
        };
        char mapText[32];
        std::snprintf(mapText, sizeof mapText, "%.2f +%zu ch, %zu st", fit.bpm, fit.changes.size(),
                      fit.stops.size());
        std::printf("%-24s %5zu | %-22s %6.1f%% %6.1f%% | %8.2f %6.1f%% %6.1f%% | %.2f\n",
                    fixture.name, beats.size(), mapText, share(map5), share(map10), constant.bpm,
                    share(constant5), share(constant10), cpuSeconds);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--write-songs") == 0) {
        return WriteSongs(argv[2], argc >= 4 ? std::atof(argv[3]) : kDefaultSeconds);
    }
    if (argc >= 3 && std::strcmp(argv[1], "--levels") == 0) {
        return MeasureLevels(argv[2], argc >= 4 ? std::atof(argv[3]) : kDefaultSeconds);
    }
    if (argc >= 2 && std::strcmp(argv[1], "--maps") == 0) {
        return MeasureMaps(argc >= 3 ? std::atof(argv[2]) : kMapSeconds);
    }
    if (argc == 3 && std::strcmp(argv[1], "--memory") == 0) {
        return MeasureMemory(argv[2]);
    }
    if (argc >= 2 && argv[1][0] != '-') {
        return Measure(argv[1], argc >= 3 ? std::atof(argv[2]) : kDefaultSeconds);
    }
    std::fputs(
        "usage: tempo_bench --write-songs DIR [SECONDS] | DIR [SECONDS] | --levels DIR [SECONDS] | "
        "--memory FILE | --maps [SECONDS]\n",
        stderr);
    return 2;
}

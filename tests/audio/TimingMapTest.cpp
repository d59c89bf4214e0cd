// Timing maps for songs whose tempo moves: synthesized songs whose every
// beat time is known, against the map's beats.
#include "SongSynth.h"
#include "audio/OnsetEnvelope.h"
#include "audio/TempoFit.h"
#include "audio/TimingMapFinder.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

using testsignals::Groove;

struct MapCase {
    const char* name;
    std::function<double(int)> interval; // seconds from beat k to the next
    bool needed;
    std::size_t minChanges, maxChanges, stops;
    // A drummer's beats wander by a few ms around any line: 10 ms for him.
    double toleranceSeconds = 0.005;
    Groove groove = Groove::kFourOnTheFloor;
    std::size_t grooveChangeBeat = SIZE_MAX;
};

// 40 s songs. The ramps need a change every few beats: a 0.4 BPM a beat
// ramp bends a straight stretch 5 ms off in about 7 beats, so 80 beats need
// 10 or more.
const MapCase kCases[] = {
    {"steady", [](int) { return 60 / 128.0; }, false, 0, 0, 0},
    {"meter 4/4 to 3/4", [](int) { return 60 / 126.0; }, false, 0, 0, 0, 0.005,
     Groove::kFourOnTheFloor, 40},
    {"step 120 to 150", [](int k) { return 60 / (k < 40 ? 120.0 : 150.0); }, true, 1, 2, 0},
    {"accelerando", [](int k) { return 60 / (110 + 0.4 * k); }, true, 8, 40, 0},
    // Moves of 67 % and 100 %: beyond any one period range around the
    // constant tempo when that lies near one end.
    {"accelerando 120 to 200", [](int k) { return 60 / std::min(200.0, 120 + 80 * k / 104.0); },
     true, 8, 60, 0},
    {"120 held, then up to 200",
     [](int k) { return 60 / std::clamp(120 + 80 * (k - 40) / 60.0, 120.0, 200.0); }, true, 8, 60,
     0},
    {"100 up to 196", [](int k) { return 60 / std::min(200.0, 100 + k * 1.0); }, true, 8, 60, 0},
    {"ritardando", [](int k) { return 60 / (150 - 0.35 * k); }, true, 8, 40, 0, 0.005,
     Groove::kBackbeat},
    {"drifting drummer",
     [](int k) { return 60 / 124.0 * (1 + 0.03 * std::sin(k * 0.11)) + 0.002 * std::sin(k * 2.7); },
     true, 4, 80, 0, 0.010},
    {"stop of 0.9 s", [](int k) { return 60 / 132.0 + (k == 44 ? 0.9 : 0); }, true, 0, 0, 1},
};

TEST(TimingMap, KeepsEveryBeatOfASongWhoseTempoMovesOnTheMusic) {
    for (const MapCase& c : kCases) {
        SCOPED_TRACE(c.name);
        testsignals::SongRecipe recipe{c.name, 0, 0, 40, c.groove, 0, 201, 44100, 1};
        const std::vector<double> beats = testsignals::BeatTimes(0.31, 40, c.interval);
        const std::vector<std::int16_t> samples =
            testsignals::SynthesizeBeats(recipe, beats, c.grooveChangeBeat, Groove::kWaltz);
        std::vector<float> mono(samples.size());
        std::ranges::transform(samples, mono.begin(),
                               [](std::int16_t s) { return float(s) / 32768.0F; });
        audio::OnsetAnalyzer analyzer(recipe.sampleRate);
        analyzer.Add(mono.data(), mono.size());
        const audio::OnsetEnvelopes envelopes = analyzer.Finish();
        const audio::TimingMapFit fit =
            audio::FitTimingMap(envelopes, audio::FitTempoMeasured(envelopes, 0.0).candidates);
        EXPECT_EQ(fit.needed, c.needed);
        EXPECT_GE(fit.changes.size(), c.minChanges);
        EXPECT_LE(fit.changes.size(), c.maxChanges);
        EXPECT_EQ(fit.stops.size(), c.stops);
        const chart::TimingMap map(float(fit.bpm), float(fit.gapSeconds), fit.changes, fit.stops);
        double worst = 0;
        for (const double t : beats) {
            worst = std::max(worst, std::abs(map.SecondsAt(std::round(map.BeatAt(t))) - t));
        }
        EXPECT_LE(worst, c.toleranceSeconds);
    }
}

} // namespace

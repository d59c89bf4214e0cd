#include "SongSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <utility>

namespace testsignals {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

struct Timbre {
    double kickStartHz, kickEndHz, kickSweepSeconds, kickDecaySeconds, kickLevel;
    double snareToneHz, snareDecaySeconds, snareLevel;
    double hatDecaySeconds, hatLevel;
    double bassLevel, padLevel, noiseLevel;
};

// Drums, bass and a pad mixed into one channel; the timbre is the song's.
struct Mixer {
    template <typename F> void ForEachSample(double at, double length, F&& add) {
        const auto first = static_cast<std::size_t>(std::ceil(at * rate));
        const auto last = std::min(out.size(), static_cast<std::size_t>((at + length) * rate));
        for (std::size_t i = first; i < last; ++i)
            add(static_cast<double>(i) / rate - at, out[i]);
    }
    double Noise() { return std::uniform_real_distribution<double>(-1, 1)(random); }

    void Kick(double at, double level) {
        double phase = 0;
        ForEachSample(at, 5 * t.kickDecaySeconds, [&](double s, double& sample) {
            const double hz =
                t.kickEndHz + (t.kickStartHz - t.kickEndHz) * std::exp(-s / t.kickSweepSeconds);
            phase += kTwoPi * hz / rate;
            const double ramp = std::min(1.0, s / 0.0003); // the attack does not click
            sample +=
                level * t.kickLevel * ramp * std::exp(-s / t.kickDecaySeconds) * std::sin(phase);
        });
    }
    void Snare(double at, double level) {
        double previous = 0;
        ForEachSample(at, 6 * t.snareDecaySeconds, [&](double s, double& sample) {
            const double noise = Noise();
            const double bright = noise - 0.5 * std::exchange(previous, noise);
            const double body = std::sin(kTwoPi * t.snareToneHz * s) * std::exp(-s / 0.04);
            sample += level * t.snareLevel *
                      (0.7 * bright * std::exp(-s / t.snareDecaySeconds) + 0.5 * body);
        });
    }
    void Hat(double at, double level, double decay) {
        double previous = 0;
        ForEachSample(at, 6 * decay, [&](double s, double& sample) {
            const double noise = Noise();
            sample += level * t.hatLevel * (noise - std::exchange(previous, noise)) *
                      std::exp(-s / decay);
        });
    }
    void Bass(double at, double seconds, double hz) {
        ForEachSample(at, seconds, [&](double s, double& sample) {
            const double envelope = std::min(1.0, s / 0.008) * std::min(1.0, (seconds - s) / 0.01);
            const double x = kTwoPi * hz * s;
            sample += t.bassLevel * envelope *
                      (std::sin(x) + 0.3 * std::sin(2 * x) + 0.1 * std::sin(3 * x));
        });
    }
    // A bright chord (three saw-like voices) with a sharp attack: an off-beat
    // skank or stab.
    void Stab(double at, double level) {
        const double chord[3] = {392.0, 493.88, 587.33};
        ForEachSample(at, 0.25, [&](double s, double& sample) {
            double voices = 0;
            for (const double hz : chord)
                for (int h = 1; h <= 4; ++h)
                    voices += std::sin(kTwoPi * hz * h * s) / h;
            sample += level * 0.12 * std::min(1.0, s / 0.001) * std::exp(-s / 0.05) * voices;
        });
    }
    void PadAndNoise() {
        const double chord[3] = {220.0, 277.18, 329.63};
        for (std::size_t i = 0; i < out.size(); ++i) {
            const double s = static_cast<double>(i) / rate;
            const double swell = 0.6 + 0.4 * std::sin(kTwoPi * s / 7.3);
            double pad = 0;
            for (const double hz : chord)
                pad += std::sin(kTwoPi * hz * s) + 0.5 * std::sin(kTwoPi * hz * 1.003 * s);
            out[i] += t.padLevel * swell * pad / 3 + t.noiseLevel * Noise();
        }
    }

    Timbre t;
    std::vector<double> out;
    double rate;
    std::mt19937 random;
};

// One instrument's line in a groove: the beats of the bar it plays (bit n:
// beat n), how far after the beat in beats (0.5: the off-beat, which
// swings), its level, and the hat's decay in seconds (0: the song's) or the
// bass note's length in beats.
struct Hit {
    char instrument; // kick, snare, hat, bass, chord stab
    unsigned beats;
    double offset;
    double level, extra;
};

// By Groove, in the order the instruments are mixed (the noise they draw
// depends on it). The dotted groove kicks on beats 1 and 4 and on the
// off-beat of 2.
// clang-format off
const std::vector<Hit> kGrooves[] = {
    {{'k', 15, 0, 1.0, 0}, {'s', 10, 0, 1.0, 0}, {'h', 15, 0.5, 1.3, 0.09},
     {'b', 15, 0.5, 0, 0.4}}, // four on the floor
    {{'k', 5, 0, 1.0, 0}, {'s', 10, 0, 1.0, 0}, {'h', 15, 0, 1.0, 0},
     {'h', 15, 0.5, 0.7, 0}, {'b', 15, 0, 0, 0.45}}, // backbeat
    {{'k', 1, 0, 1.0, 0}, {'b', 1, 0, 0, 1.8}, {'s', 4, 0, 1.2, 0},
     {'h', 15, 0, 1.0, 0}, {'h', 15, 0.5, 0.6, 0}}, // half-time
    {{'k', 9, 0, 1.0, 0}, {'k', 2, 0.5, 0.9, 0}, {'s', 4, 0, 1.0, 0},
     {'h', 15, 0, 1.0, 0}, {'h', 15, 0.5, 0.6, 0}, {'b', 15, 0, 0, 0.9}}, // dotted
    {{'k', 15, 0, 0.7, 0}, {'s', 15, 0.5, 1.6, 0}, {'h', 15, 0.5, 2.0, 0.06},
     {'b', 15, 0, 0, 0.4}}, // off-beat accents
    {{'k', 1, 0, 1.0, 0}, {'s', 6, 0, 0.8, 0}, {'h', 7, 0.5, 0.8, 0},
     {'b', 7, 0, 0, 0.8}}, // waltz
    {{'k', 15, 0, 1.0, 0}, {'s', 10, 0, 1.1, 0}, {'h', 15, 0.5, 2.2, 0.12},
     {'h', 15, 0.25, 0.4, 0}, {'h', 15, 0.75, 0.4, 0}, {'b', 15, 0.5, 0, 0.4}}, // house
    {{'k', 5, 0, 1.0, 0}, {'k', 2, 0.75, 0.8, 0}, {'k', 8, 0.5, 0.75, 0}, {'s', 10, 0, 1.1, 0},
     {'h', 15, 0, 0.9, 0}, {'h', 15, 0.25, 0.5, 0}, {'h', 15, 0.5, 0.8, 0},
     {'h', 15, 0.75, 0.5, 0}, {'b', 5, 0, 0, 1.5}, {'b', 2, 0.75, 0, 0.25}}, // hip-hop
    {{'k', 15, 0, 0.8, 0}, {'c', 15, 0.5, 1.0, 0}, {'h', 15, 0.5, 1.5, 0.05},
     {'s', 10, 0, 0.5, 0}, {'b', 15, 0, 0, 0.9}}}; // skank
// clang-format on

// One hit of a groove on the beat at `at` lasting `beat` seconds; swing
// delays the off-beat.
void Play(Mixer& mix, const Hit& hit, double at, double beat, double swing, double bassNote) {
    const double when = at + (hit.offset == 0.5 ? hit.offset + swing : hit.offset) * beat;
    if (hit.instrument == 'k')
        mix.Kick(when, hit.level);
    else if (hit.instrument == 's')
        mix.Snare(when, hit.level);
    else if (hit.instrument == 'h')
        mix.Hat(when, hit.level, hit.extra > 0 ? hit.extra : mix.t.hatDecaySeconds);
    else if (hit.instrument == 'c')
        mix.Stab(when, hit.level);
    else
        mix.Bass(when, hit.extra * beat, bassNote);
}

// The recipe's timbre, drawn from its seed, over its length of silence with
// the pad and the noise floor in.
Mixer MixerFor(const SongRecipe& recipe) {
    std::mt19937 random(recipe.seed);
    const auto pick = [&random](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    const auto frames = static_cast<std::size_t>(recipe.seconds * recipe.sampleRate);
    Mixer mix{{pick(110, 180), pick(42, 60), pick(0.02, 0.05), pick(0.12, 0.3), pick(0.55, 0.8),
               pick(170, 230), pick(0.06, 0.12), pick(0.25, 0.4), pick(0.015, 0.05),
               pick(0.06, 0.14), pick(0.12, 0.22), pick(0.03, 0.07), pick(0.003, 0.01)},
              std::vector<double>(frames, 0.0),
              double(recipe.sampleRate),
              std::mt19937(recipe.seed * 7919U + 1U)};
    mix.PadAndNoise();
    return mix;
}

// The mix at 90 % of full scale, the right channel a little quieter.
std::vector<std::int16_t> Normalized(const Mixer& mix, int channelCount) {
    double peak = 1e-9;
    for (const double x : mix.out)
        peak = std::max(peak, std::abs(x));
    const double gain = 0.9 * 32767 / peak;
    const auto channels = static_cast<std::size_t>(channelCount);
    std::vector<std::int16_t> out(mix.out.size() * channels);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int16_t>(
            std::lround(mix.out[i / channels] * gain * (i % channels % 2 == 0 ? 1.0 : 0.92)));
    return out;
}

} // namespace

double SongRecipe::ExpectedGap() const {
    const double beat = 60.0 / bpm;
    return firstBeatSeconds - std::floor(firstBeatSeconds / beat) * beat;
}

std::vector<std::int16_t> SynthesizeSong(const SongRecipe& recipe) {
    Mixer mix = MixerFor(recipe);
    const double beat = 60.0 / recipe.bpm;
    const int perBar = recipe.groove == Groove::kWaltz ? 3 : 4;
    const double bassNotes[4] = {55.0, 65.41, 49.0, 73.42};
    for (int k = 0; recipe.firstBeatSeconds + k * beat < recipe.seconds; ++k) {
        const double at = recipe.firstBeatSeconds + k * beat;
        for (const Hit& hit : kGrooves[static_cast<int>(recipe.groove)]) {
            if ((hit.beats >> (k % perBar) & 1U) != 0)
                Play(mix, hit, at, beat, recipe.swing, bassNotes[(k / perBar) % 4]);
        }
    }
    return Normalized(mix, recipe.channels);
}

std::vector<SongRecipe> VarietySongs(double seconds) {
    const double s = seconds;
    constexpr auto B = Groove::kBackbeat, F = Groove::kFourOnTheFloor, W = Groove::kWaltz,
                   D = Groove::kDotted, H = Groove::kHalfTime, A = Groove::kOffBeatAccents;
    // clang-format off
    return {
        {"87 backbeat", 87, 0.412, s, B, 0, 11}, {"96.35 backbeat", 96.35, 0.087, s, B, 0, 12},
        {"104 swing", 104, 0.301, s, B, 1.0 / 6, 13}, {"112 waltz", 112, 0.250, s, W, 0, 14},
        {"120 four", 120, 0.023, s, F, 0, 15}, {"128 intro 7 s", 128, 7.113, s, F, 0, 16},
        {"135 dotted", 135, 0.190, s, D, 0, 17}, {"140 half-time", 140, 0.333, s, H, 0, 18},
        {"145 off-beat accents", 145, 0.150, s, A, 0, 19}, {"150 waltz", 150, 0.071, s, W, 0, 20},
        {"160 backbeat", 160, 0.205, s, B, 0, 21}, {"174 four", 174, 0.128, s, F, 0, 22},
        {"180 swing", 180, 0.044, s, B, 1.0 / 6, 23}, {"190 four", 190, 0.260, s, F, 0, 24},
        {"200 backbeat", 200, 0.11, s, B, 0, 25}, {"210 off-beat accents", 210, 0.09, s, A, 0, 26},
        {"220 dotted", 220, 0.015, s, D, 0, 27}, {"236 four", 236, 0.180, s, F, 0, 28},
        {"245 backbeat", 245, 0.140, s, B, 0, 29}, {"256 four", 256, 0.050, s, F, 0, 30}};
    // clang-format on
}

std::vector<SongRecipe> LevelSongs(double seconds) {
    const double s = seconds;
    return {{"128 house", 128, 0.137, s, Groove::kHouse, 0, 41},
            {"87 hip-hop", 87, 0.301, s, Groove::kHipHop, 0, 42},
            {"116 skank", 116, 0.052, s, Groove::kSkank, 0, 43},
            {"124.5 house", 124.5, 0.02, s, Groove::kHouse, 0, 44},
            {"92 hip-hop swing", 92, 0.18, s, Groove::kHipHop, 1.0 / 6, 45},
            {"176 four", 176, 0.011, s, Groove::kFourOnTheFloor, 0, 46},
            {"232 backbeat", 232, 0.093, s, Groove::kBackbeat, 0, 47},
            {"126 skank", 126, 0.071, s, Groove::kSkank, 0, 48}};
}

std::vector<std::int16_t> SynthesizeBeatless(Beatless kind, double seconds, unsigned seed,
                                             int sampleRate) {
    std::mt19937 random(seed);
    const auto uniform = [&random](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    const double rate = sampleRate;
    std::vector<double> out(static_cast<std::size_t>(seconds * rate), 0.0);
    if (kind == Beatless::kNoise) {
        for (double& x : out)
            x = uniform(-1, 1);
    } else if (kind == Beatless::kPads) {
        // Chords of 3-8 s that swell in over a second and fade out over two,
        // overlapping, with a slow shimmer.
        for (double at = 0; at < seconds; at += uniform(3, 8)) {
            const double length = uniform(5, 10), root = uniform(110, 220);
            const double ratios[3] = {1.0, uniform(1.18, 1.27), 1.5};
            const auto first = static_cast<std::size_t>(at * rate);
            const auto last = std::min(out.size(), static_cast<std::size_t>((at + length) * rate));
            for (std::size_t i = first; i < last; ++i) {
                const double t = static_cast<double>(i) / rate - at;
                const double gain = std::min({1.0, t / 1.0, (length - t) / 2.0});
                for (const double r : ratios)
                    out[i] += 0.2 * gain * (1 + 0.2 * std::sin(kTwoPi * 0.3 * t)) *
                              (std::sin(kTwoPi * root * r * t) +
                               0.4 * std::sin(kTwoPi * root * r * 2.004 * t));
            }
        }
    } else if (kind == Beatless::kSpeech) {
        // Syllables of 80-320 ms at irregular spacing: a glottal pulse train
        // gliding around 110-190 Hz through two formant resonators, some
        // opened by a consonant's noise burst; pauses between phrases.
        double at = 0.3;
        while (at < seconds - 0.5) {
            const int syllables = static_cast<int>(uniform(3, 12));
            for (int n = 0; n < syllables && at < seconds - 0.5; ++n) {
                if (uniform(0, 1) < 0.5) {
                    const double burst = uniform(0.02, 0.07);
                    for (auto i = static_cast<std::size_t>(at * rate);
                         i < static_cast<std::size_t>((at + burst) * rate); ++i)
                        out[i] += 0.15 * uniform(-1, 1);
                    at += burst;
                }
                const double length = uniform(0.08, 0.32), f0 = uniform(110, 190);
                const double f1 = uniform(300, 800), f2 = uniform(900, 2400);
                double phase = 0, y1[2] = {0, 0}, y2[2] = {0, 0};
                const auto resonator = [rate](double hz, double x, double(&y)[2]) {
                    const double r = 0.97, c = 2 * r * std::cos(kTwoPi * hz / rate);
                    const double v = x + c * y[0] - r * r * y[1];
                    y[1] = y[0];
                    y[0] = v;
                    return v;
                };
                for (auto i = static_cast<std::size_t>(at * rate);
                     i < static_cast<std::size_t>((at + length) * rate); ++i) {
                    const double t = static_cast<double>(i) / rate - at;
                    phase += f0 * (1 + 0.15 * t / length) / rate;
                    const double pulse = phase >= 1 ? 1.0 : 0.0;
                    phase -= std::floor(phase);
                    const double gain = std::min({1.0, t / 0.02, (length - t) / 0.04});
                    out[i] +=
                        0.02 * gain * (resonator(f1, pulse, y1) + 0.5 * resonator(f2, pulse, y2));
                }
                at += length + uniform(0.03, 0.25);
            }
            at += uniform(0.3, 1.2);
        }
    }
    double peak = 1e-9;
    for (const double x : out)
        peak = std::max(peak, std::abs(x));
    const double gain = kind == Beatless::kSilence ? 0.0 : 0.7 * 32767 / peak;
    std::vector<std::int16_t> samples(out.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(out[i] * gain));
    return samples;
}

} // namespace testsignals

namespace testsignals {

std::vector<double> BeatTimes(double firstBeatSeconds, double seconds,
                              const std::function<double(int)>& interval) {
    std::vector<double> beats;
    for (double at = firstBeatSeconds; at < seconds;
         at += interval(static_cast<int>(beats.size()) - 1))
        beats.push_back(at);
    return beats;
}

std::vector<std::int16_t> SynthesizeBeats(const SongRecipe& recipe,
                                          const std::vector<double>& beatSeconds,
                                          std::size_t grooveChangeBeat, Groove grooveAfter) {
    Mixer mix = MixerFor(recipe);
    const double bassNotes[4] = {55.0, 65.41, 49.0, 73.42};
    for (std::size_t k = 0; k < beatSeconds.size(); ++k) {
        const double at = beatSeconds[k];
        // A stop's silence is not the beat's length: the one before stands in.
        double beat = k + 1 < beatSeconds.size() ? beatSeconds[k + 1] - at : 1.0;
        if (k > 0 && (k + 1 == beatSeconds.size() || beat > 1.5 * (at - beatSeconds[k - 1])))
            beat = at - beatSeconds[k - 1];
        const bool after = k >= grooveChangeBeat;
        const Groove groove = after ? grooveAfter : recipe.groove;
        const std::size_t inBar = after ? k - grooveChangeBeat : k;
        const std::size_t perBar = groove == Groove::kWaltz ? 3 : 4;
        for (const Hit& hit : kGrooves[static_cast<int>(groove)]) {
            if ((hit.beats >> (inBar % perBar) & 1U) != 0)
                Play(mix, hit, at, beat, recipe.swing, bassNotes[(inBar / perBar) % 4]);
        }
    }
    return Normalized(mix, recipe.channels);
}

} // namespace testsignals

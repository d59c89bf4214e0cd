#include "SongSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace testsignals {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

struct Timbre {
    double kickStartHz, kickEndHz, kickSweepSeconds, kickDecaySeconds, kickLevel;
    double snareToneHz, snareDecaySeconds, snareLevel;
    double hatDecaySeconds, hatLevel;
    double bassLevel, padLevel, noiseLevel;
};

Timbre DrawTimbre(std::mt19937& random) {
    auto pick = [&random](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    return Timbre{pick(110, 180),    pick(42, 60),     pick(0.02, 0.05), pick(0.12, 0.3),
                  pick(0.55, 0.8),   pick(170, 230),   pick(0.06, 0.12), pick(0.25, 0.4),
                  pick(0.015, 0.05), pick(0.06, 0.14), pick(0.12, 0.22), pick(0.03, 0.07),
                  pick(0.003, 0.01)};
}

class Mixer {
public:
    Mixer(std::size_t frames, int sampleRate, unsigned seed)
        : m_out(frames, 0.0), m_rate(sampleRate), m_random(seed) {}

    void Kick(double at, const Timbre& t, double level) {
        double phase = 0;
        const double length = 5 * t.kickDecaySeconds;
        ForEachSample(at, length, [&](double s, double& out) {
            const double hz =
                t.kickEndHz + (t.kickStartHz - t.kickEndHz) * std::exp(-s / t.kickSweepSeconds);
            phase += kTwoPi * hz / m_rate;
            // A 0.3 ms ramp: the attack starts at `at` but does not click.
            const double ramp = std::min(1.0, s / 0.0003);
            out += level * t.kickLevel * ramp * std::exp(-s / t.kickDecaySeconds) * std::sin(phase);
        });
    }

    void Snare(double at, const Timbre& t, double level) {
        double previous = 0;
        ForEachSample(at, 6 * t.snareDecaySeconds, [&](double s, double& out) {
            const double noise = Noise();
            const double bright = noise - 0.5 * previous;
            previous = noise;
            const double body = std::sin(kTwoPi * t.snareToneHz * s) * std::exp(-s / 0.04);
            out += level * t.snareLevel *
                   (0.7 * bright * std::exp(-s / t.snareDecaySeconds) + 0.5 * body);
        });
    }

    void Hat(double at, const Timbre& t, double level, double decay) {
        double previous = 0;
        ForEachSample(at, 6 * decay, [&](double s, double& out) {
            const double noise = Noise();
            out += level * t.hatLevel * (noise - previous) * std::exp(-s / decay);
            previous = noise;
        });
    }

    void Bass(double at, double seconds, double hz, const Timbre& t) {
        ForEachSample(at, seconds, [&](double s, double& out) {
            const double envelope = std::min(1.0, s / 0.008) * std::min(1.0, (seconds - s) / 0.01);
            const double x = kTwoPi * hz * s;
            out += t.bassLevel * envelope *
                   (std::sin(x) + 0.3 * std::sin(2 * x) + 0.1 * std::sin(3 * x));
        });
    }

    void PadAndNoise(const Timbre& t) {
        const double chord[3] = {220.0, 277.18, 329.63};
        for (std::size_t i = 0; i < m_out.size(); ++i) {
            const double s = static_cast<double>(i) / m_rate;
            const double swell = 0.6 + 0.4 * std::sin(kTwoPi * s / 7.3);
            double pad = 0;
            for (const double hz : chord) {
                pad += std::sin(kTwoPi * hz * s) + 0.5 * std::sin(kTwoPi * hz * 1.003 * s);
            }
            m_out[i] += t.padLevel * swell * pad / 3 + t.noiseLevel * Noise();
        }
    }

    const std::vector<double>& Out() const { return m_out; }

private:
    double Noise() { return std::uniform_real_distribution<double>(-1, 1)(m_random); }

    template <typename F> void ForEachSample(double at, double length, F&& add) {
        const auto first = static_cast<std::size_t>(std::ceil(at * m_rate));
        const auto last = std::min(m_out.size(), static_cast<std::size_t>((at + length) * m_rate));
        for (std::size_t i = first; i < last; ++i) {
            add(static_cast<double>(i) / m_rate - at, m_out[i]);
        }
    }

    std::vector<double> m_out;
    double m_rate;
    std::mt19937 m_random;
};

} // namespace

double SongRecipe::ExpectedGap() const {
    const double beat = 60.0 / bpm;
    return firstBeatSeconds - std::floor(firstBeatSeconds / beat) * beat;
}

std::vector<std::int16_t> SynthesizeSong(const SongRecipe& recipe) {
    std::mt19937 random(recipe.seed);
    const Timbre timbre = DrawTimbre(random);
    const auto frames = static_cast<std::size_t>(recipe.seconds * recipe.sampleRate);
    Mixer mixer(frames, recipe.sampleRate, recipe.seed * 7919U + 1U);
    mixer.PadAndNoise(timbre);
    const double beat = 60.0 / recipe.bpm;
    const int perBar = recipe.groove == Groove::kWaltz ? 3 : 4;
    const double offBeat = 0.5 + recipe.swing;
    const double bassNotes[4] = {55.0, 65.41, 49.0, 73.42};
    for (int k = 0;; ++k) {
        const double at = recipe.firstBeatSeconds + k * beat;
        if (at >= recipe.seconds) {
            break;
        }
        const int inBar = k % perBar;
        const double off = at + offBeat * beat;
        const double bass = bassNotes[(k / perBar) % 4];
        switch (recipe.groove) {
        case Groove::kFourOnTheFloor:
            mixer.Kick(at, timbre, 1.0);
            if (inBar % 2 == 1) {
                mixer.Snare(at, timbre, 1.0);
            }
            mixer.Hat(off, timbre, 1.3, 0.09);
            mixer.Bass(off, 0.4 * beat, bass, timbre);
            break;
        case Groove::kBackbeat:
            if (inBar % 2 == 0) {
                mixer.Kick(at, timbre, 1.0);
            } else {
                mixer.Snare(at, timbre, 1.0);
            }
            mixer.Hat(at, timbre, 1.0, timbre.hatDecaySeconds);
            mixer.Hat(off, timbre, 0.7, timbre.hatDecaySeconds);
            mixer.Bass(at, 0.45 * beat, bass, timbre);
            break;
        case Groove::kHalfTime:
            if (inBar == 0) {
                mixer.Kick(at, timbre, 1.0);
                mixer.Bass(at, 1.8 * beat, bass, timbre);
            } else if (inBar == 2) {
                mixer.Snare(at, timbre, 1.2);
            }
            mixer.Hat(at, timbre, 1.0, timbre.hatDecaySeconds);
            mixer.Hat(off, timbre, 0.6, timbre.hatDecaySeconds);
            break;
        case Groove::kDotted:
            // Kicks on beats 1 and 4 and on the off-beat of 2.
            if (inBar == 0 || inBar == 3) {
                mixer.Kick(at, timbre, 1.0);
            }
            if (inBar == 1) {
                mixer.Kick(off, timbre, 0.9);
            }
            if (inBar == 2) {
                mixer.Snare(at, timbre, 1.0);
            }
            mixer.Hat(at, timbre, 1.0, timbre.hatDecaySeconds);
            mixer.Hat(off, timbre, 0.6, timbre.hatDecaySeconds);
            mixer.Bass(at, 0.9 * beat, bass, timbre);
            break;
        case Groove::kOffBeatAccents:
            mixer.Kick(at, timbre, 0.7);
            mixer.Snare(off, timbre, 1.6);
            mixer.Hat(off, timbre, 2.0, 0.06);
            mixer.Bass(at, 0.4 * beat, bass, timbre);
            break;
        case Groove::kWaltz:
            if (inBar == 0) {
                mixer.Kick(at, timbre, 1.0);
            } else {
                mixer.Snare(at, timbre, 0.8);
            }
            mixer.Hat(off, timbre, 0.8, timbre.hatDecaySeconds);
            mixer.Bass(at, 0.8 * beat, bass, timbre);
            break;
        }
    }
    const std::vector<double>& mono = mixer.Out();
    double peak = 1e-9;
    for (const double x : mono) {
        peak = std::max(peak, std::abs(x));
    }
    const double gain = 0.9 * 32767 / peak;
    std::vector<std::int16_t> out(frames * static_cast<std::size_t>(recipe.channels));
    for (std::size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < recipe.channels; ++c) {
            // The right channel a little quieter: the two are not identical.
            const double channelGain = c % 2 == 0 ? 1.0 : 0.92;
            out[i * static_cast<std::size_t>(recipe.channels) + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>(std::lround(mono[i] * gain * channelGain));
        }
    }
    return out;
}

std::vector<SongRecipe> VarietySongs(double seconds) {
    using G = Groove;
    std::vector<SongRecipe> songs = {
        {"87 backbeat", 87, 0.412, seconds, G::kBackbeat, 0, 11},
        {"96.35 backbeat", 96.35, 0.087, seconds, G::kBackbeat, 0, 12},
        {"104 swing", 104, 0.301, seconds, G::kBackbeat, 1.0 / 6, 13},
        {"112 waltz", 112, 0.250, seconds, G::kWaltz, 0, 14},
        {"120 four", 120, 0.023, seconds, G::kFourOnTheFloor, 0, 15},
        {"128 intro 7 s", 128, 7.113, seconds, G::kFourOnTheFloor, 0, 16},
        {"135 dotted", 135, 0.190, seconds, G::kDotted, 0, 17},
        {"140 half-time", 140, 0.333, seconds, G::kHalfTime, 0, 18},
        {"145 off-beat accents", 145, 0.150, seconds, G::kOffBeatAccents, 0, 19},
        {"150 waltz", 150, 0.071, seconds, G::kWaltz, 0, 20},
        {"160 backbeat", 160, 0.205, seconds, G::kBackbeat, 0, 21},
        {"174 four", 174, 0.128, seconds, G::kFourOnTheFloor, 0, 22},
        {"180 swing", 180, 0.044, seconds, G::kBackbeat, 1.0 / 6, 23},
        {"190 four", 190, 0.260, seconds, G::kFourOnTheFloor, 0, 24},
        {"200 backbeat", 200, 0.110, seconds, G::kBackbeat, 0, 25},
        {"210 off-beat accents", 210, 0.090, seconds, G::kOffBeatAccents, 0, 26},
        {"220 dotted", 220, 0.015, seconds, G::kDotted, 0, 27},
        {"236 four", 236, 0.180, seconds, G::kFourOnTheFloor, 0, 28},
        {"245 backbeat", 245, 0.140, seconds, G::kBackbeat, 0, 29},
        {"256 four", 256, 0.050, seconds, G::kFourOnTheFloor, 0, 30},
    };
    return songs;
}

} // namespace testsignals

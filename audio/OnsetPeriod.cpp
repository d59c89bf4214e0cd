#include "audio/OnsetPeriod.h"

#include "audio/TempoFit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

namespace audio {

namespace {

// Envelope values minus their local mean over this many seconds either
// side, floored at 0: a pad swelling or a loud chorus does not read as a
// long onset.
constexpr double kLocalMeanSeconds = 0.25;
// Phase histogram bins per envelope frame: half a hop (2.9 ms at 44.1 kHz).
constexpr double kBinsPerFrame = 2.0;
// The fine search for the period spans this share either side of the
// periodicity's peak, which parabolic interpolation puts within a few
// tenths of a frame of the truth.
constexpr double kPeriodSearchShare = 0.02;

double ParabolicOffset(double left, double centre, double right) {
    const double denominator = left - 2 * centre + right;
    return denominator < 0 ? std::clamp(0.5 * (left - right) / denominator, -0.5, 0.5) : 0.0;
}

} // namespace

std::vector<float> DetrendEnvelope(const std::vector<float>& values, double frameRate) {
    const auto half = static_cast<std::ptrdiff_t>(std::lround(kLocalMeanSeconds * frameRate));
    const auto n = static_cast<std::ptrdiff_t>(values.size());
    std::vector<double> prefix(values.size() + 1, 0.0);
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        prefix[static_cast<std::size_t>(i) + 1] =
            prefix[static_cast<std::size_t>(i)] +
            static_cast<double>(values[static_cast<std::size_t>(i)]);
    }
    std::vector<float> out(values.size());
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        const std::ptrdiff_t lo = std::max<std::ptrdiff_t>(0, i - half);
        const std::ptrdiff_t hi = std::min(n, i + half + 1);
        const double mean =
            (prefix[static_cast<std::size_t>(hi)] - prefix[static_cast<std::size_t>(lo)]) /
            static_cast<double>(hi - lo);
        out[static_cast<std::size_t>(i)] = static_cast<float>(
            std::max(0.0, static_cast<double>(values[static_cast<std::size_t>(i)]) - mean));
    }
    return out;
}

double EnvelopeMean(const std::vector<float>& values) {
    if (values.empty()) {
        return 0;
    }
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

std::vector<float> FineEnergyRise(const std::vector<float>& energy) {
    const double floor = 1e-7 * std::max(EnvelopeMean(energy), 1e-12) * kFineSmoothBlocks;
    std::vector<float> rise(energy.size(), 0.0F);
    double window = 0;
    double previousLevel = 0;
    for (std::size_t i = 0; i < energy.size(); ++i) {
        window += static_cast<double>(energy[i]);
        if (i >= kFineSmoothBlocks) {
            window -= static_cast<double>(energy[i - kFineSmoothBlocks]);
        }
        const double level = 10.0 * std::log10(std::max(window, 0.0) + floor);
        if (i > 0) {
            rise[i] = static_cast<float>(std::max(0.0, level - previousLevel));
        }
        previousLevel = level;
    }
    return rise;
}

EnvelopeFold::EnvelopeFold(const std::vector<float>& envelope, double period) : m_period(period) {
    const auto bins = static_cast<std::size_t>(std::ceil(period * kBinsPerFrame));
    m_sums.assign(bins, 0.0);
    m_counts.assign(bins, 0);
    double phase = 0;
    for (const float value : envelope) {
        const auto bin = std::min(bins - 1, static_cast<std::size_t>(phase * kBinsPerFrame));
        m_sums[bin] += static_cast<double>(value);
        ++m_counts[bin];
        phase += 1.0;
        if (phase >= period) {
            phase -= period;
        }
    }
}

double EnvelopeFold::At(double phase) const {
    const auto bins = static_cast<std::ptrdiff_t>(m_sums.size());
    const auto centre = static_cast<std::ptrdiff_t>(std::floor(Wrap(phase) * kBinsPerFrame));
    double sum = 0;
    double count = 0;
    for (std::ptrdiff_t d = -1; d <= 1; ++d) {
        const auto bin = static_cast<std::size_t>(((centre + d) % bins + bins) % bins);
        const double weight = d == 0 ? 2.0 : 1.0;
        sum += weight * m_sums[bin];
        count += weight * static_cast<double>(m_counts[bin]);
    }
    return count > 0 ? sum / count : 0.0;
}

std::pair<double, double> EnvelopeFold::Peak() const {
    double bestPhase = 0;
    double bestValue = -1;
    for (std::size_t bin = 0; bin < m_sums.size(); ++bin) {
        const double phase = (static_cast<double>(bin) + 0.5) / kBinsPerFrame;
        const double value = At(phase);
        if (value > bestValue) {
            bestValue = value;
            bestPhase = phase;
        }
    }
    return {bestPhase, bestValue};
}

double EnvelopeFold::Wrap(double phase) const {
    phase = std::fmod(phase, m_period);
    return phase < 0 ? phase + m_period : phase;
}

// The period (frames) of the envelope's strongest periodicity between the
// search limits, weighing each lag with its first multiples so that a
// metrical level wins over a stray repetition.
double PeriodicityPeak(const std::vector<float>& envelope, double frameRate) {
    const double mean = EnvelopeMean(envelope);
    std::vector<float> centred(envelope.size());
    std::transform(envelope.begin(), envelope.end(), centred.begin(),
                   [mean](float v) { return static_cast<float>(static_cast<double>(v) - mean); });
    constexpr int kMultiples = 4;
    const auto minLag = static_cast<std::size_t>(std::floor(frameRate * 60.0 / kMaxSearchBpm));
    const auto maxLag = static_cast<std::size_t>(std::ceil(frameRate * 60.0 / kMinSearchBpm));
    const std::size_t lastLag = std::min(centred.size() / 2, maxLag * kMultiples + 1);
    std::vector<double> acf(lastLag + 1, 0.0);
    for (std::size_t lag = 1; lag <= lastLag; ++lag) {
        double sum = 0;
        const std::size_t n = centred.size() - lag;
        for (std::size_t i = 0; i < n; ++i) {
            sum += static_cast<double>(centred[i] * centred[i + lag]);
        }
        acf[lag] = sum / static_cast<double>(n);
    }
    auto salience = [&](std::size_t lag) {
        double sum = 0;
        for (int m = 1; m <= kMultiples; ++m) {
            const std::size_t at = lag * static_cast<std::size_t>(m);
            if (at <= lastLag) {
                sum += acf[at];
            }
        }
        return sum;
    };
    std::size_t bestLag = 0;
    double best = 0;
    for (std::size_t lag = std::max<std::size_t>(minLag, 2); lag <= maxLag && lag < lastLag;
         ++lag) {
        if (const double s = salience(lag); s > best) {
            best = s;
            bestLag = lag;
        }
    }
    if (bestLag == 0) {
        return 0;
    }
    return static_cast<double>(bestLag) +
           ParabolicOffset(salience(bestLag - 1), best, salience(bestLag + 1));
}

// The period near `estimate` whose fold of the envelope peaks highest: a
// beat grid that stays on the onsets over the whole song.
double FitPeriod(const std::vector<float>& envelope, double estimate) {
    const auto frames = static_cast<double>(envelope.size());
    // A step that moves the last beat by a quarter frame.
    const double fineStep = 0.25 * estimate / frames;
    auto score = [&](double period) { return EnvelopeFold(envelope, period).Peak().second; };
    double best = estimate;
    double bestScore = score(estimate);
    const double span = kPeriodSearchShare * estimate;
    for (double step = 8 * fineStep, half = span; step >= fineStep * 0.49;
         half = 2 * step, step /= 4) {
        const double centre = best;
        for (double period = centre - half; period <= centre + half; period += step) {
            if (const double s = score(period); s > bestScore) {
                bestScore = s;
                best = period;
            }
        }
    }
    return best;
}
} // namespace audio

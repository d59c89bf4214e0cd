#include "audio/TempoFit.h"

#include "audio/OnsetPeriod.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numeric>

namespace audio {

namespace {

// Metrical levels compared with the periodicity's peak, as period ratios.
constexpr std::array kLevelRatios = {0.25, 1.0 / 3, 0.5, 2.0 / 3, 1.0, 1.5, 2.0, 3.0, 4.0};
// Outside the chart range a level's score falls off like a Gaussian in
// octaves: 87 BPM keeps nearly all of it, 70 BPM (half of 140) a twentieth;
// above the range faster, as 290 BPM (double of 145) keeps under a third.
constexpr double kFalloffBelowOctaves = 0.15;
constexpr double kFalloffAboveOctaves = 0.05;
// Loud attacks: local maxima of the loudness rise over this many seconds
// either side, at least this share of the loudest hundredth of them (about
// 50 maxima a second, so that is the level of the loudest kicks). A grid
// explains an attack within kExplainedSeconds of one of its beats.
constexpr double kAttackSpacingSeconds = 0.02;
constexpr double kAttackFloorShare = 0.3;
constexpr double kExplainedSeconds = 0.015;
// A level that leaves the snares between its beats (half of a backbeat)
// must lose to the one that takes them in although its own beats, the
// kicks alone, are louder; yet a level that only adds hats and bass notes
// must not win. Tuned on the variety songs of the benchmark and 24 more.
constexpr double kExplainedPower = 1.5;
// Hats-only in-between beats: measured on the fixtures, a level's hat
// positions read 0.12-0.42 of its kick positions' low-band onset and
// 0.21-0.25 of their mid-band onset; a backbeat's snares 1.0-1.6 of the
// mid band, a dotted groove's kicks 0.72 or more of the low band.
constexpr double kInBetweenLowShare = 0.6;
constexpr double kInBetweenMidShare = 0.4;
// The half level must score this share of the level to take its place; the
// level then scores kBelowHalf of the half's.
constexpr double kHalfScoreShare = 0.5;
constexpr double kBelowHalf = 0.9;
// A kick on every beat and a loud mid-band attack between is a fast
// backbeat (snare or clap: noise) or slow off-beat stabs (a chord: tonal).
// Measured as the flatness of the in-between attacks' mid-band power rise:
// the backbeat fixtures' snares read 0.28-0.45, the skanks' stabs
// 0.28-0.31. Only clear noise lifts the level over its half; the rest is
// left to the score.
constexpr double kSnareFlatness = 0.37;
// Loudness of a beat: the largest rise of energy from the kLoudRiseBlocks
// fine blocks before to those after, within kLoudReachSeconds of the grid
// position (the fit's phase is the flux's, a few milliseconds off the
// attack).
constexpr std::size_t kLoudRiseBlocks = 20;
constexpr double kLoudReachSeconds = 0.01;
// The highs' share in the loudness: a snare over a kick's tail shows there.
constexpr double kHighBandWeight = 0.25;
// The off-beat is called ambiguous when its grid scores this share of the
// beat's on the loud attacks, or its flux reaches kAmbiguousFluxShare of
// the beat's.
constexpr double kAmbiguousOffBeatShare = 0.25;
constexpr double kAmbiguousFluxShare = 0.5;
// The attack is searched this far either side of the fitted beat (at most
// a fifth of a beat): the flux frame's own delay is about a hop.
constexpr double kAttackSearchSeconds = 0.03;
// A kick whose attack builds over a few milliseconds, or straddles two
// blocks, rises nearly as much in the block before the largest rise: the
// earliest of the blocks next to the peak that reach this share of it is
// the start. On the fixtures the dotted groove's slow kick reads 0.82 of
// the peak one block early; where the peak is the start, the block before
// reads at most 0.72.
constexpr double kAttackStartShare = 0.75;
constexpr std::size_t kMaxCandidates = 5;
// Below this a tempo is a guess from a handful of beats.
constexpr double kMinSongSeconds = 3.0;

struct LevelScore {
    double period = 0; // frames
    double phase = 0;  // frames, whole-band peak
    double score = 0;
};

double RangePrior(double bpm) {
    double z = 0;
    if (bpm < kChartRangeLowBpm) {
        z = std::log2(kChartRangeLowBpm / bpm) / kFalloffBelowOctaves;
    } else if (bpm > kChartRangeHighBpm) {
        z = std::log2(bpm / kChartRangeHighBpm) / kFalloffAboveOctaves;
    }
    return std::exp(-0.5 * z * z);
}

class Analysis {
public:
    double BeatContrast() const { return m_beatContrast; }

    Analysis(const OnsetEnvelopes& envelopes, double minBeatContrast)
        : m_env(envelopes), m_flux(DetrendEnvelope(envelopes.flux, envelopes.frameRate)),
          m_low(DetrendEnvelope(envelopes.lowFlux, envelopes.frameRate)),
          m_mid(DetrendEnvelope(envelopes.midFlux, envelopes.frameRate)),
          m_fluxMean(EnvelopeMean(m_flux)), m_minBeatContrast(minBeatContrast),
          m_rise(FineEnergyRise(envelopes.fineEnergy)) {
        PrepareLoudRise();
        FindAttacks();
    }

    double ScoreAt(double period, double phase) const {
        return BackbeatCap(
            period,
            HatsOnlyCap(period, phase, PhaseScore(period, phase) * RangePrior(Bpm(period))));
    }

    std::vector<TempoCandidate> Run() {
        if (m_fluxMean <= 0 || m_env.frameRate <= 0 || m_env.durationSeconds < kMinSongSeconds) {
            return {};
        }
        const double peak = PeriodicityPeak(m_flux, m_env.frameRate);
        if (peak <= 0 || peak * 4 > static_cast<double>(m_flux.size())) {
            return {};
        }
        const double base = FitPeriod(m_flux, peak);
        LevelScore best;
        for (const double ratio : kLevelRatios) {
            const double period = base * ratio;
            const double bpm = Bpm(period);
            if (bpm < kMinSearchBpm || bpm > kMaxSearchBpm) {
                continue;
            }
            if (const LevelScore level = Score(period); level.score > best.score) {
                best = level;
            }
        }
        if (best.score <= 0) {
            return {};
        }
        const double mean = EnvelopeMean(m_flux);
        m_beatContrast = mean > 0 ? EnvelopeFold(m_flux, best.period).Peak().second / mean : 0.0;
        if (m_beatContrast < m_minBeatContrast) {
            return {};
        }
        return Candidates(best);
    }

private:
    double Bpm(double periodFrames) const { return 60.0 * m_env.frameRate / periodFrames; }

    // The mean onset strength on the level's beats against the song's mean,
    // whole band and low band alike, weighed by where charts lie.
    LevelScore Score(double period) const {
        LevelScore level = RawScore(period);
        level.score = BackbeatCap(period, HatsOnlyCap(period, level.phase, level.score));
        return level;
    }

    // A level whose double has snares between this level's kicks (the
    // in-between beat has less low-band onset than the kick, at least
    // kInBetweenMidShare of its mid-band onset, and sounds like noise) ranks
    // below that double: a backbeat at 245 BPM is not 122.5. The double must
    // score kHalfScoreShare of this level, as for the hats.
    double BackbeatCap(double period, double score) const {
        const double fast = period / 2;
        if (score <= 0 || Bpm(fast) > kMaxSearchBpm) {
            return score;
        }
        const LevelScore fastLevel = RawScore(fast);
        if (fastLevel.score < kHalfScoreShare * score) {
            return score;
        }
        const EnvelopeFold low(m_low, period);
        const EnvelopeFold mid(m_mid, period);
        const EnvelopeFold rawMid(m_env.midFlux, period);
        const EnvelopeFold flat(m_env.midFluxFlat, period);
        double beat = fastLevel.phase;
        double between = beat + fast;
        if (low.At(between) > low.At(beat)) {
            std::swap(beat, between);
        }
        const bool snares = low.At(between) < kInBetweenLowShare * low.At(beat) &&
                            mid.At(between) >= kInBetweenMidShare * mid.At(beat) &&
                            flat.At(between) >= kSnareFlatness * rawMid.At(between);
        return snares ? std::min(score, kBelowHalf * fastLevel.score) : score;
    }

    // Open hats on the off-beats (house) or eighth hats over a slow groove
    // (hip-hop) are loud attacks at twice the song's tempo, so the double
    // level may score more than the song's. A snare's or clap's noise and a
    // chord's attack fill the mid band, a kick the low band, a hat neither:
    // when every other beat of a level has less than kInBetweenLowShare of
    // the kick's low-band onset and kInBetweenMidShare of its mid-band onset
    // (only hats), the level ranks below its half level, unless that half
    // scores under kHalfScoreShare of it (half-time at 140 BPM is not 70).
    double HatsOnlyCap(double period, double phase, double score) const {
        const double half = 2 * period;
        if (score <= 0 || Bpm(half) < kMinSearchBpm) {
            return score;
        }
        const EnvelopeFold low(m_low, half);
        const EnvelopeFold mid(m_mid, half);
        double beat = phase;
        double between = phase + period;
        if (low.At(between) > low.At(beat)) {
            std::swap(beat, between);
        }
        if (low.At(between) >= kInBetweenLowShare * low.At(beat) ||
            mid.At(between) >= kInBetweenMidShare * mid.At(beat)) {
            return score;
        }
        const double halfScore = RawScore(half).score;
        return halfScore >= kHalfScoreShare * score ? std::min(score, kBelowHalf * halfScore)
                                                    : score;
    }

    LevelScore RawScore(double period) const {
        // The flux's strongest phase may be the off-beat (open hats, a bass
        // between the kicks): its half-beat partner and the low band's
        // strongest phase compete with it.
        const double fluxPhase = EnvelopeFold(m_flux, period).Peak().first;
        const double lowPhase = EnvelopeFold(m_low, period).Peak().first;
        LevelScore level;
        level.period = period;
        for (const double phase :
             {fluxPhase, fluxPhase + period / 2, lowPhase, lowPhase + period / 2}) {
            const double score = PhaseScore(period, phase) * RangePrior(Bpm(period));
            if (score > level.score) {
                level.score = score;
                level.phase = std::fmod(phase, period);
            }
        }
        return level;
    }

    // How well a grid sits on the loud attacks: their mean loudness on its
    // beats times the share of all loud attacks it explains, the latter
    // weighed more (kExplainedPower).
    double PhaseScore(double period, double phase) const {
        const double explained = Explained(period, phase);
        return Loudness(period, phase) * std::pow(explained, kExplainedPower);
    }

    std::vector<TempoCandidate> Candidates(const LevelScore& best) {
        const double period = best.period;
        double phase = best.phase;
        double offPhase = phase + period / 2;
        struct Entry {
            double period;
            double phase;
            double score;
        };
        std::vector<Entry> entries;
        entries.push_back({period, phase, best.score});
        const double onScore = PhaseScore(period, phase);
        const double offShare = onScore > 0 ? PhaseScore(period, offPhase) / onScore : 0.0;
        const EnvelopeFold full(m_flux, period);
        const bool ambiguous = offShare >= kAmbiguousOffBeatShare ||
                               full.At(offPhase) >= kAmbiguousFluxShare * full.At(phase);
        if (ambiguous) {
            // Loud off-beat accents: the beat is where the kick is, so the
            // low band decides which of the two comes first.
            const EnvelopeFold low(m_low, period);
            if (low.At(offPhase) > low.At(phase)) {
                std::swap(phase, offPhase);
                entries.front().phase = phase;
            }
            const double share = std::min(offShare, offShare > 0 ? 1.0 / offShare : 0.0);
            entries.push_back({period, offPhase, best.score * std::clamp(share, 0.01, 0.99)});
        }
        // Half tempo: of the two beats, the one on the louder attacks.
        {
            const double other = phase + period;
            const double halfPhase =
                PhaseScore(2 * period, other) > PhaseScore(2 * period, phase) ? other : phase;
            entries.push_back({2 * period, halfPhase, ScoreAt(2 * period, halfPhase)});
        }
        entries.push_back({period / 2, phase, ScoreAt(period / 2, phase)});
        const Entry faster{period * 2 / 3, phase, ScoreAt(period * 2 / 3, phase)};
        const Entry slower{period * 3 / 2, phase, ScoreAt(period * 3 / 2, phase)};
        entries.push_back(faster.score >= slower.score ? faster : slower);
        if (entries.size() < kMaxCandidates) {
            entries.push_back(faster.score >= slower.score ? slower : faster);
        }
        double total = 0;
        for (const Entry& entry : entries) {
            total += entry.score;
        }
        std::vector<TempoCandidate> candidates;
        for (const Entry& entry : entries) {
            const double periodSeconds = entry.period / m_env.frameRate;
            const double first = AttackTime(periodSeconds, entry.phase / m_env.frameRate);
            TempoCandidate candidate;
            candidate.bpm = 60.0 / periodSeconds;
            candidate.gapSeconds = first - std::floor(first / periodSeconds) * periodSeconds;
            candidate.confidence = total > 0 ? entry.score / total : 0.0;
            candidates.push_back(candidate);
        }
        std::stable_sort(candidates.begin() + 1, candidates.end(),
                         [](const TempoCandidate& a, const TempoCandidate& b) {
                             return a.confidence > b.confidence;
                         });
        return candidates;
    }

    // Energy of the kLoudRiseBlocks after each block minus that of the ones
    // before, as an amplitude: the kick and the snare stand out, hats and a
    // bass's soft attack hardly, and the kick does not drown the snare (as
    // energy, a backbeat's kicks alone would outweigh kicks and snares). 20 ms spans a whole period
    // of a 50 Hz kick's energy ripple, so its body makes no peaks of its own.
    void PrepareLoudRise() {
        const std::vector<float> whole = LoudRise(m_env.fineEnergy);
        const std::vector<float> high = LoudRise(m_env.fineHighEnergy);
        const double wholeTop = TopValue(whole);
        const double highTop = TopValue(high);
        m_loud.assign(whole.size(), 0.0F);
        for (std::size_t i = 0; i < whole.size(); ++i) {
            double loud = wholeTop > 0 ? static_cast<double>(whole[i]) / wholeTop : 0.0;
            if (highTop > 0 && i < high.size()) {
                loud += kHighBandWeight * static_cast<double>(high[i]) / highTop;
            }
            m_loud[i] = static_cast<float>(loud);
        }
    }

    // The value that a hundredth of the positive values exceed.
    static double TopValue(std::vector<float> values) {
        std::erase_if(values, [](float v) { return v <= 0; });
        if (values.empty()) {
            return 0;
        }
        const auto top = values.begin() + static_cast<std::ptrdiff_t>(values.size() * 99 / 100);
        std::nth_element(values.begin(), top, values.end());
        return static_cast<double>(*top);
    }

    // Energy of the kLoudRiseBlocks after each block minus that of the ones
    // before, as an amplitude, so that the kick does not drown the snare
    // (as energy, a backbeat's kicks alone would outweigh kicks and
    // snares). 20 ms spans a whole period of a 50 Hz kick's energy ripple,
    // so its body makes no peaks of its own.
    static std::vector<float> LoudRise(const std::vector<float>& energy) {
        std::vector<float> loud(energy.size(), 0.0F);
        std::vector<double> prefix(energy.size() + 1, 0.0);
        for (std::size_t i = 0; i < energy.size(); ++i) {
            prefix[i + 1] = prefix[i] + static_cast<double>(energy[i]);
        }
        for (std::size_t i = kLoudRiseBlocks; i + kLoudRiseBlocks <= energy.size(); ++i) {
            const double after = prefix[i + kLoudRiseBlocks] - prefix[i];
            const double before = prefix[i] - prefix[i - kLoudRiseBlocks];
            // A rise from a quiet moment counts fully, one to less than twice
            // the energy before (a kick's tail beating against a bass note)
            // not at all.
            const double fresh = after > 0 ? std::max(0.0, 1.0 - 2.0 * before / after) : 0.0;
            loud[i] = static_cast<float>(std::sqrt(std::max(0.0, after - before)) * fresh);
        }
        return loud;
    }

    void FindAttacks() {
        const double block = m_env.fineBlockSeconds;
        if (block <= 0) {
            return;
        }
        const auto reach = static_cast<std::ptrdiff_t>(kAttackSpacingSeconds / block);
        const auto blocks = static_cast<std::ptrdiff_t>(m_loud.size());
        std::vector<std::pair<double, float>> maxima;
        for (std::ptrdiff_t i = 0; i < blocks; ++i) {
            const float value = m_loud[static_cast<std::size_t>(i)];
            if (value <= 0) {
                continue;
            }
            bool highest = true;
            for (std::ptrdiff_t j = std::max<std::ptrdiff_t>(0, i - reach);
                 highest && j <= std::min(blocks - 1, i + reach); ++j) {
                const float other = m_loud[static_cast<std::size_t>(j)];
                highest = other < value || (other == value && j >= i);
            }
            if (highest) {
                maxima.emplace_back(static_cast<double>(i) * block, value);
            }
        }
        if (maxima.empty()) {
            return;
        }
        std::vector<float> values;
        values.reserve(maxima.size());
        for (const auto& maximum : maxima) {
            values.push_back(maximum.second);
        }
        const auto top = values.begin() + static_cast<std::ptrdiff_t>(values.size() * 99 / 100);
        std::nth_element(values.begin(), top, values.end());
        const float floor = static_cast<float>(kAttackFloorShare) * *top;
        for (const auto& maximum : maxima) {
            if (maximum.second >= floor) {
                m_attacks.push_back(maximum);
                m_attackTotal += static_cast<double>(maximum.second);
            }
        }
    }

    // The share of the loud attacks' loudness that falls on a level's beats.
    double Explained(double period, double phase) const {
        if (m_attackTotal <= 0) {
            return 0;
        }
        const double periodSeconds = period / m_env.frameRate;
        const double phaseSeconds = phase / m_env.frameRate;
        double explained = 0;
        for (const auto& [time, loudness] : m_attacks) {
            if (std::abs(std::remainder(time - phaseSeconds, periodSeconds)) <= kExplainedSeconds) {
                explained += static_cast<double>(loudness);
            }
        }
        return explained / m_attackTotal;
    }

    // Mean loudness of the beats of a level (frames).
    double Loudness(double period, double phase) const {
        const double block = m_env.fineBlockSeconds;
        if (m_loud.empty() || block <= 0) {
            return 0;
        }
        const double periodSeconds = period / m_env.frameRate;
        const auto reach = static_cast<std::ptrdiff_t>(kLoudReachSeconds / block);
        const auto blocks = static_cast<std::ptrdiff_t>(m_loud.size());
        double sum = 0;
        std::size_t beats = 0;
        for (double beat = phase / m_env.frameRate; beat < m_env.durationSeconds;
             beat += periodSeconds) {
            const auto centre = static_cast<std::ptrdiff_t>(std::lround(beat / block));
            float loudest = 0;
            for (std::ptrdiff_t at = std::max<std::ptrdiff_t>(0, centre - reach);
                 at <= std::min(blocks - 1, centre + reach); ++at) {
                loudest = std::max(loudest, m_loud[static_cast<std::size_t>(at)]);
            }
            sum += static_cast<double>(loudest);
            ++beats;
        }
        return beats > 0 ? sum / static_cast<double>(beats) : 0.0;
    }

    // The song time where the beats' attacks start, near the fitted phase
    // (seconds): the block where the energy rises most, summed over every
    // beat of the song, or an earlier one next to it that rises nearly as
    // much.
    double AttackTime(double periodSeconds, double phaseSeconds) const {
        const double block = m_env.fineBlockSeconds;
        if (m_rise.empty() || block <= 0) {
            return phaseSeconds;
        }
        const double reach = std::min(kAttackSearchSeconds, periodSeconds / 5);
        const auto offsets = static_cast<std::ptrdiff_t>(reach / block);
        std::vector<double> sums(static_cast<std::size_t>(2 * offsets + 1), 0.0);
        const auto blocks = static_cast<std::ptrdiff_t>(m_rise.size());
        for (double beat = phaseSeconds; beat < m_env.durationSeconds; beat += periodSeconds) {
            const auto centre = static_cast<std::ptrdiff_t>(std::lround(beat / block));
            for (std::ptrdiff_t d = -offsets; d <= offsets; ++d) {
                const std::ptrdiff_t at = centre + d;
                if (at > 0 && at < blocks) {
                    sums[static_cast<std::size_t>(d + offsets)] +=
                        static_cast<double>(m_rise[static_cast<std::size_t>(at)]);
                }
            }
        }
        const auto peak = std::max_element(sums.begin(), sums.end());
        if (*peak <= 0) {
            return phaseSeconds;
        }
        auto start = peak;
        while (start != sums.begin() && *(start - 1) >= kAttackStartShare * *peak) {
            --start;
        }
        const std::ptrdiff_t d = (start - sums.begin()) - offsets;
        return phaseSeconds + static_cast<double>(d) * block;
    }

    const OnsetEnvelopes& m_env;
    std::vector<float> m_flux;
    std::vector<float> m_low;
    std::vector<float> m_mid;
    double m_fluxMean;
    double m_minBeatContrast;
    std::vector<float> m_rise;
    std::vector<float> m_loud;
    std::vector<std::pair<double, float>> m_attacks; // song time, loudness
    double m_attackTotal = 0;
    double m_beatContrast = 0;
};

} // namespace

TempoFitResult FitTempoMeasured(const OnsetEnvelopes& envelopes, double minBeatContrast) {
    Analysis analysis(envelopes, minBeatContrast);
    TempoFitResult result;
    result.candidates = analysis.Run();
    result.beatContrast = analysis.BeatContrast();
    return result;
}

std::vector<TempoCandidate> FitTempo(const OnsetEnvelopes& envelopes) {
    return FitTempoMeasured(envelopes).candidates;
}

} // namespace audio

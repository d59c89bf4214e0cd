#include "audio/TimingMapFinder.h"

#include "audio/OnsetPeriod.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <numeric>

namespace audio {

namespace {

// Onset strength minus its local mean over this many seconds either side.
constexpr double kLocalMeanSeconds = 0.25;
// Periods the tracker may take: this factor either side of the constant
// tempo's. Under 1.5 so that it cannot slip to the 3:2 or 2:1 level.
constexpr double kPeriodReach = 1.4;
// The tracker's windows and the spare end of each that the next one tracks
// again: a 60 % accelerando over 40 s moves about 15 % in 12 s, well within
// kPeriodReach of where the window began.
constexpr double kWindowSeconds = 16.0;
constexpr double kWindowSpareSeconds = 4.0;
// A window is centred on the median period of the last kept beats.
constexpr std::size_t kCentreBeats = 5;
// Cost of changing the period between beats, per frame of change beyond
// the first, as a share of the period, in onset strength (standard
// deviations): a 5 % step costs about 1.5.
constexpr double kPeriodChangeCost = 30.0;
// A beat is heard when its onset reaches this share of the typical beat's;
// onsets of that strength further apart than kSilenceSeconds (and
// kSilenceBeats periods) split the song: the music stopped.
constexpr double kHeardShare = 0.25;
constexpr double kSilenceSeconds = 0.75;
constexpr double kSilenceBeats = 1.6;
// Sections shorter than this many periods are not tracked.
constexpr double kMinSectionBeats = 4.0;
// The fit keeps tracked beats this close to its lines: they jitter by about
// a millisecond, which leaves that much to the map's tolerance.
constexpr double kFitToleranceSeconds = 0.004;
// The attack is looked for this far either side of the flux's beats, in the
// fine energy's rise (FineEnergyRise, as the constant fit does).
constexpr double kAttackSearchSeconds = 0.03;
constexpr double kOwnAttackSeconds = 0.006;
// The constant tempo is enough when no more than this share of the heard
// beats (and at most kOffBeatsAllowed) lie beyond the tolerance.
constexpr double kOffShareAllowed = 0.02;
constexpr std::size_t kOffBeatsAllowed = 2;
// BPMs are kept to this step, as a user would type them.
constexpr double kBpmStep = 0.001;
constexpr double kBpmsPerUnit = 1000.0; // 1 / kBpmStep, dividing rounds exactly

std::vector<float> Detrended(const std::vector<float>& values, double frameRate) {
    const auto half = static_cast<std::size_t>(std::lround(kLocalMeanSeconds * frameRate));
    std::vector<double> prefix(values.size() + 1, 0.0);
    for (std::size_t i = 0; i < values.size(); ++i) {
        prefix[i + 1] = prefix[i] + static_cast<double>(values[i]);
    }
    std::vector<float> out(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t lo = i > half ? i - half : 0;
        const std::size_t hi = std::min(values.size(), i + half + 1);
        const double mean = (prefix[hi] - prefix[lo]) / static_cast<double>(hi - lo);
        out[i] = static_cast<float>(std::max(0.0, static_cast<double>(values[i]) - mean));
    }
    return out;
}

// The whole band's and the low band's onsets, each in standard deviations:
// the kick steadies the beat's phase where hats crowd the whole band.
std::vector<float> OnsetStrength(const OnsetEnvelopes& env) {
    std::vector<float> sum(env.flux.size(), 0.0F);
    for (const auto* band : {&env.flux, &env.lowFlux}) {
        const std::vector<float> d = Detrended(*band, env.frameRate);
        double mean = 0;
        double square = 0;
        for (const float v : d) {
            mean += static_cast<double>(v);
            square += static_cast<double>(v) * static_cast<double>(v);
        }
        const double n = std::max<double>(1.0, static_cast<double>(d.size()));
        const double sd = std::sqrt(std::max(0.0, square / n - (mean / n) * (mean / n)));
        for (std::size_t i = 0; i < d.size() && i < sum.size(); ++i) {
            sum[i] += sd > 0 ? static_cast<float>(static_cast<double>(d[i]) / sd) : 0.0F;
        }
    }
    return sum;
}

double Quantile(std::vector<float> values, double share) {
    if (values.empty()) {
        return 0;
    }
    const auto at = values.begin() +
                    static_cast<std::ptrdiff_t>(share * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return static_cast<double>(*at);
}

struct Beat {
    double seconds = 0;
    bool heard = false;
};

// Ellis-style beat tracking over one stretch of frames [first, last): the
// state is a beat's frame and the period that led to it, so the tempo may
// drift or step at a cost. Returns the beats' frames with sub-frame
// positions.
class Tracker {
public:
    Tracker(const std::vector<float>& strength, double mean, std::size_t minPeriod,
            std::size_t maxPeriod)
        : m_o(strength), m_mean(mean), m_minP(minPeriod), m_maxP(maxPeriod) {}

    // Anchored, the first beat is at `first` (where the last window's kept
    // beats ended); else anywhere in the section's first period and a half.
    std::vector<double> Track(std::size_t first, std::size_t last, bool anchored) const {
        const std::size_t periods = m_maxP - m_minP + 1;
        const std::size_t frames = last - first;
        constexpr float kNone = -std::numeric_limits<float>::infinity();
        // best[m][p]: the best chain ending in a beat at m, plus the cost of
        // following it with period p; from[m][p] its period.
        std::vector<float> score(periods);
        std::vector<float> best(frames * periods, kNone);
        std::vector<std::int16_t> from(frames * periods, -1);
        std::vector<std::int16_t> back(frames * periods, -1);
        std::vector<float> ends(frames * periods, kNone); // chains ending at a beat
        std::vector<float> spread(periods);
        std::vector<std::int16_t> spreadFrom(periods);
        const double meanPeriod = 0.5 * static_cast<double>(m_minP + m_maxP);
        const auto step = static_cast<float>(kPeriodChangeCost / meanPeriod);
        const std::size_t startWithin = anchored ? 1 : m_maxP + m_maxP / 2;
        const std::size_t endWithin = m_maxP + m_maxP / 2;
        for (std::size_t n = 0; n < frames; ++n) {
            const float onset = m_o[first + n] - static_cast<float>(m_mean);
            for (std::size_t p = 0; p < periods; ++p) {
                const std::size_t period = m_minP + p;
                float chain = n < startWithin ? 0.0F : kNone;
                std::int16_t previous = -1;
                if (n >= period) {
                    const std::size_t at = (n - period) * periods + p;
                    if (best[at] > chain) {
                        chain = best[at];
                        previous = from[at];
                    }
                }
                score[p] = chain == kNone ? kNone : chain + onset;
                back[n * periods + p] = previous;
            }
            // Distance transform: the best predecessor for each next period,
            // one frame of change free, each further frame at `step`.
            for (std::size_t p = 0; p < periods; ++p) {
                spread[p] = score[p];
                spreadFrom[p] = static_cast<std::int16_t>(p);
            }
            for (std::size_t p = 1; p < periods; ++p) {
                if (spread[p - 1] - step > spread[p]) {
                    spread[p] = spread[p - 1] - step;
                    spreadFrom[p] = spreadFrom[p - 1];
                }
            }
            for (std::size_t p = periods - 1; p-- > 0;) {
                if (spread[p + 1] - step > spread[p]) {
                    spread[p] = spread[p + 1] - step;
                    spreadFrom[p] = spreadFrom[p + 1];
                }
            }
            for (std::size_t p = 0; p < periods; ++p) {
                std::size_t pick = p;
                for (std::size_t q = p > 0 ? p - 1 : 0; q <= std::min(periods - 1, p + 1); ++q) {
                    if (spread[q] > spread[pick]) {
                        pick = q;
                    }
                }
                best[n * periods + p] = spread[pick];
                from[n * periods + p] = spreadFrom[pick];
            }
            std::copy(score.begin(), score.end(),
                      ends.begin() + static_cast<std::ptrdiff_t>(n * periods));
        }
        // The best chain ending in the last stretch of the section.
        float top = kNone;
        std::size_t endFrame = 0;
        std::size_t endPeriod = 0;
        for (std::size_t n = frames > endWithin ? frames - endWithin : 0; n < frames; ++n) {
            for (std::size_t p = 0; p < periods; ++p) {
                if (ends[n * periods + p] > top) {
                    top = ends[n * periods + p];
                    endFrame = n;
                    endPeriod = p;
                }
            }
        }
        std::vector<double> beats;
        if (top == kNone) {
            return beats;
        }
        for (std::size_t n = endFrame, p = endPeriod;;) {
            beats.push_back(Refine(first + n));
            const std::int16_t previous = back[n * periods + p];
            const std::size_t period = m_minP + p;
            if (previous < 0 || n < period) {
                break;
            }
            n -= period;
            p = static_cast<std::size_t>(previous);
        }
        std::reverse(beats.begin(), beats.end());
        return beats;
    }

private:
    // The onset's peak near a frame, between frames.
    double Refine(std::size_t frame) const {
        std::size_t peak = frame;
        for (std::size_t f = frame > 2 ? frame - 2 : 0; f <= std::min(m_o.size() - 1, frame + 2);
             ++f) {
            if (m_o[f] > m_o[peak]) {
                peak = f;
            }
        }
        if (peak == 0 || peak + 1 >= m_o.size()) {
            return static_cast<double>(peak);
        }
        const double l = static_cast<double>(m_o[peak - 1]);
        const double c = static_cast<double>(m_o[peak]);
        const double r = static_cast<double>(m_o[peak + 1]);
        const double denominator = l - 2 * c + r;
        const double offset =
            denominator < 0 ? std::clamp(0.5 * (l - r) / denominator, -0.5, 0.5) : 0.0;
        return static_cast<double>(peak) + offset;
    }

    const std::vector<float>& m_o;
    double m_mean;
    std::size_t m_minP;
    std::size_t m_maxP;
};

// Tracks [first, last) in windows of kWindowSeconds, each centred on the
// period the beats had where the last one's kept beats ended, so that the
// track follows a tempo that moves further than kPeriodReach from the
// song's constant tempo. A window's last kWindowSpareSeconds are tracked
// without knowing what follows: the next window tracks them again.
std::vector<double> TrackInWindows(const std::vector<float>& strength, double mean,
                                   double centrePeriod, std::size_t first, std::size_t last,
                                   double frameRate) {
    const auto window = static_cast<std::size_t>(kWindowSeconds * frameRate);
    const auto spare = static_cast<std::size_t>(kWindowSpareSeconds * frameRate);
    std::vector<double> beats;
    for (std::size_t start = first;;) {
        const bool final = last - start <= window;
        const std::size_t end = final ? last : start + window;
        const Tracker tracker(
            strength, mean,
            static_cast<std::size_t>(std::max(2.0, std::floor(centrePeriod / kPeriodReach))),
            static_cast<std::size_t>(std::ceil(centrePeriod * kPeriodReach)));
        std::vector<double> track = tracker.Track(start, end, start != first);
        if (start != first && !track.empty()) {
            track.erase(track.begin()); // the anchor, kept already
        }
        const auto keepUntil = static_cast<double>(final ? end : end - spare);
        const std::size_t before = beats.size();
        for (const double frame : track) {
            if (frame < keepUntil) {
                beats.push_back(frame);
            }
        }
        if (final || beats.size() < before + kCentreBeats + 1) {
            if (!final) { // too few beats to go on from: keep the rest as tracked
                std::copy_if(track.begin(), track.end(), std::back_inserter(beats),
                             [&](double frame) { return frame >= keepUntil; });
            }
            return beats;
        }
        std::vector<double> periods;
        for (std::size_t k = beats.size() - kCentreBeats; k < beats.size(); ++k) {
            periods.push_back(beats[k] - beats[k - 1]);
        }
        std::nth_element(periods.begin(), periods.begin() + kCentreBeats / 2, periods.end());
        centrePeriod = periods[kCentreBeats / 2];
        start = static_cast<std::size_t>(std::lround(beats.back()));
    }
}

// Puts each beat on its attack's start in the fine energy: first the one
// offset that suits all heard beats (the flux peaks some milliseconds after
// the attack), then each beat to its own attack within kOwnAttackSeconds
// (a hat's flux lags more than a kick's).
void AlignToAttacks(const OnsetEnvelopes& env, std::vector<std::vector<Beat>>& sections) {
    const double block = env.fineBlockSeconds;
    std::vector<float> rise = FineEnergyRise(env.fineEnergy);
    const std::vector<float> highRise = FineEnergyRise(env.fineHighEnergy);
    for (std::size_t i = 0; i < rise.size() && i < highRise.size(); ++i) {
        rise[i] += highRise[i];
    }
    if (rise.empty() || block <= 0) {
        return;
    }
    const auto blocks = static_cast<std::ptrdiff_t>(rise.size());
    auto riseAt = [&](double seconds) {
        const auto at = static_cast<std::ptrdiff_t>(std::lround(seconds / block));
        return at > 0 && at < blocks ? static_cast<double>(rise[static_cast<std::size_t>(at)])
                                     : 0.0;
    };
    const auto reach = static_cast<std::ptrdiff_t>(kAttackSearchSeconds / block);
    std::vector<double> sums(static_cast<std::size_t>(2 * reach + 1), 0.0);
    for (const auto& section : sections) {
        for (const Beat& beat : section) {
            for (std::ptrdiff_t d = -reach; d <= reach && beat.heard; ++d) {
                sums[static_cast<std::size_t>(d + reach)] +=
                    riseAt(beat.seconds + static_cast<double>(d) * block);
            }
        }
    }
    const auto peak = std::max_element(sums.begin(), sums.end());
    const double shift =
        *peak > 0 ? static_cast<double>((peak - sums.begin()) - reach) * block : 0.0;
    const auto own = static_cast<std::ptrdiff_t>(kOwnAttackSeconds / block);
    for (auto& section : sections) {
        for (Beat& beat : section) {
            beat.seconds += shift;
            double best = riseAt(beat.seconds);
            double moved = 0;
            for (std::ptrdiff_t d = -own; d <= own && beat.heard; ++d) {
                const double at = beat.seconds + static_cast<double>(d) * block;
                if (riseAt(at) > best) {
                    best = riseAt(at);
                    moved = static_cast<double>(d) * block;
                }
            }
            beat.seconds += moved;
        }
    }
}

double RoundBpm(double bpm) {
    return std::round(bpm / kBpmStep) / kBpmsPerUnit;
}

struct Segment {
    std::size_t start = 0; // beat within the section
    double startSeconds = 0;
    double bpm = 0;
};

// The fewest straight stretches, each starting where the last ended, that
// keep every heard beat within the fit's tolerance: each is extended while
// some tempo still fits all its beats.
std::vector<Segment> FitSegments(const std::vector<Beat>& beats, double startSeconds,
                                 double fallbackBpm) {
    std::vector<Segment> segments;
    std::size_t anchor = 0;
    double anchorSeconds = startSeconds;
    double bpm = fallbackBpm;
    while (anchor + 1 < beats.size()) {
        double lo = 0;
        double hi = std::numeric_limits<double>::infinity();
        std::size_t end = anchor;
        for (std::size_t k = anchor + 1; k < beats.size(); ++k) {
            if (beats[k].heard) {
                const auto d = static_cast<double>(k - anchor);
                const double nlo =
                    std::max(lo, (beats[k].seconds - kFitToleranceSeconds - anchorSeconds) / d);
                const double nhi =
                    std::min(hi, (beats[k].seconds + kFitToleranceSeconds - anchorSeconds) / d);
                if (nlo > nhi) {
                    break;
                }
                lo = nlo;
                hi = nhi;
            }
            end = k;
        }
        // The tempo in force when it still fits: no change for nothing.
        const double inForce = 60.0 / bpm;
        if (std::isfinite(hi) && hi > 0 && !(inForce >= lo && inForce <= hi)) {
            bpm = RoundBpm(60.0 / (0.5 * (lo + hi)));
        }
        if (segments.empty() || segments.back().bpm != bpm) {
            segments.push_back({anchor, anchorSeconds, bpm});
        }
        anchorSeconds += static_cast<double>(end - anchor) * 60.0 / bpm;
        anchor = end;
    }
    if (segments.empty()) {
        segments.push_back({0, startSeconds, bpm});
    }
    return segments;
}

} // namespace

TimingMapFit FitTimingMap(const OnsetEnvelopes& env,
                          const std::vector<TempoCandidate>& candidates) {
    TimingMapFit fit;
    if (candidates.empty() || env.frameRate <= 0 || env.flux.size() < 4) {
        return fit;
    }
    const TempoCandidate& constant = candidates.front();
    fit.bpm = constant.bpm;
    fit.gapSeconds = constant.gapSeconds;
    const std::vector<float> strength = OnsetStrength(env);
    const double mean = std::accumulate(strength.begin(), strength.end(), 0.0) /
                        static_cast<double>(strength.size());
    const double period = 60.0 * env.frameRate / constant.bpm;
    const auto maxPeriod = static_cast<std::size_t>(std::ceil(period * kPeriodReach));
    // Strong onsets: local maxima reaching kHeardShare of the loud ones.
    std::vector<float> maxima;
    for (std::size_t i = 1; i + 1 < strength.size(); ++i) {
        if (strength[i] > strength[i - 1] && strength[i] >= strength[i + 1]) {
            maxima.push_back(strength[i]);
        }
    }
    const double loud = Quantile(maxima, 0.95);
    const double heardLevel = kHeardShare * loud;
    std::vector<std::pair<std::size_t, std::size_t>> stretches;
    const auto silence =
        static_cast<std::size_t>(std::max(kSilenceSeconds * env.frameRate, kSilenceBeats * period));
    std::size_t startFrame = 0;
    std::size_t lastStrong = 0;
    bool open = false;
    for (std::size_t i = 0; i <= strength.size(); ++i) {
        const bool strong = i < strength.size() && static_cast<double>(strength[i]) >= heardLevel;
        if (i < strength.size() && !strong) {
            continue;
        }
        if (open && (i == strength.size() || i - lastStrong > silence)) {
            const std::size_t end = std::min(strength.size(), lastStrong + maxPeriod / 2 + 1);
            if (static_cast<double>(end - startFrame) >= kMinSectionBeats * period) {
                stretches.emplace_back(startFrame, end);
            }
            open = false;
        }
        if (strong && !open) {
            startFrame = i > 2 ? i - 2 : 0;
            open = true;
        }
        lastStrong = i;
    }
    std::vector<std::vector<Beat>> sections;
    for (const auto& [first, last] : stretches) {
        std::vector<Beat> beats;
        for (const double frame :
             TrackInWindows(strength, mean, period, first, last, env.frameRate)) {
            const auto at =
                std::min(strength.size() - 1, static_cast<std::size_t>(std::lround(frame)));
            beats.push_back(
                {frame / env.frameRate, static_cast<double>(strength[at]) >= heardLevel});
        }
        if (beats.size() >= 2) {
            sections.push_back(std::move(beats));
        }
    }
    if (sections.empty()) {
        return fit;
    }
    AlignToAttacks(env, sections);

    // The sections' stretches, joined by rests or stops.
    std::vector<std::pair<double, double>> heard; // map beat, song time
    double beatOffset = 0;                        // map beat of the section's first beat
    double endSeconds = 0;
    double endBpm = 0;
    for (std::size_t s = 0; s < sections.size(); ++s) {
        const std::vector<Beat>& beats = sections[s];
        const std::vector<Segment> segments =
            FitSegments(beats, beats.front().seconds, s == 0 ? constant.bpm : endBpm);
        if (s == 0) {
            fit.bpm = segments.front().bpm;
            const double beatSeconds = 60.0 / fit.bpm;
            const double before = std::floor(beats.front().seconds / beatSeconds);
            fit.gapSeconds = beats.front().seconds - before * beatSeconds;
            beatOffset = before;
        } else {
            const double beatSeconds = 60.0 / endBpm;
            const double gap = beats.front().seconds - endSeconds;
            const double whole = std::round(gap / beatSeconds);
            if (whole >= 1 && std::abs(gap - whole * beatSeconds) <= kFitToleranceSeconds) {
                beatOffset += whole; // a rest: the grid goes on
            } else {
                fit.stops.push_back({beatOffset, 1000.0 * (gap - beatSeconds)});
                beatOffset += 1;
            }
        }
        double bpmInForce = s == 0 ? fit.bpm : endBpm;
        for (const Segment& segment : segments) {
            if (std::abs(segment.bpm - bpmInForce) > kBpmStep / 2) {
                fit.changes.push_back(
                    {beatOffset + static_cast<double>(segment.start), segment.bpm});
                bpmInForce = segment.bpm;
            }
        }
        const Segment& lastSegment = segments.back();
        const auto lastBeat = static_cast<double>(beats.size() - 1);
        endSeconds = lastSegment.startSeconds +
                     (lastBeat - static_cast<double>(lastSegment.start)) * 60.0 / lastSegment.bpm;
        endBpm = lastSegment.bpm;
        for (std::size_t k = 0; k < beats.size(); ++k) {
            if (beats[k].heard) {
                heard.emplace_back(beatOffset + static_cast<double>(k), beats[k].seconds);
            }
        }
        beatOffset += lastBeat;
    }

    // How the map and the best constant tempo keep to the heard beats.
    const chart::TimingMap map(static_cast<float>(fit.bpm), static_cast<float>(fit.gapSeconds),
                               fit.changes, fit.stops);
    const double constantBeat = 60.0 / constant.bpm;
    std::size_t mapOn = 0;
    std::size_t constantOff = 0;
    for (const auto& [beat, seconds] : heard) {
        mapOn += std::abs(map.SecondsAt(beat) - seconds) <= kMapToleranceSeconds ? 1U : 0U;
        const double fromGrid = std::remainder(seconds - constant.gapSeconds, constantBeat);
        constantOff += std::abs(fromGrid) > kMapToleranceSeconds ? 1U : 0U;
    }
    fit.confidence =
        heard.empty() ? 0.0 : static_cast<double>(mapOn) / static_cast<double>(heard.size());
    const auto allowed = std::max<std::size_t>(
        kOffBeatsAllowed,
        static_cast<std::size_t>(kOffShareAllowed * static_cast<double>(heard.size())));
    fit.needed = constantOff > allowed && (!fit.changes.empty() || !fit.stops.empty());
    return fit;
}

} // namespace audio

#include "chart/SongTiming.h"

#include "chart/StepChart.h"

#include <cmath>
#include <limits>

namespace chart {

namespace {

constexpr float kSecondsPerMinute = 60.0f;
constexpr float kSecondsPerHalfBeatMinute = 30.0f;
constexpr float kBpmSpinStep = 0.1f;
constexpr float kGapSpinStepSeconds = 0.01f;
constexpr float kBpmFloorAfterSpin = 0.01f;
constexpr double kSnapTooCloseFraction = 0.15;
constexpr double kSnapLeadFraction = 0.1;

// How many intervals a loop may step through before the value is treated as
// off the grid. Predicting the count by division first keeps the loops that
// follow bounded without changing their rounding.
constexpr double kMaxSteps = static_cast<double>(kMaxChartSlots);

bool WithinStepBudget(double distance, double interval) {
    return distance / interval < kMaxSteps;
}

} // namespace

std::optional<std::int32_t> SubtractWhileAbove(double& value, double step) {
    if (!(value > step)) {
        return 0;
    }
    if (!(step > 0.0) || !WithinStepBudget(value, step)) {
        return std::nullopt;
    }
    std::int32_t count = 0;
    while (value > step) {
        value -= step;
        ++count;
    }
    return count;
}

double NoClickGrid() {
    return std::numeric_limits<double>::infinity();
}

bool HasUsableTempo(float bpm) {
    if (!(bpm > 0.0f) || !std::isfinite(bpm)) {
        return false;
    }
    const double half = HalfBeatSeconds(bpm);
    return half > 0.0 && std::isfinite(half);
}

double BeatSeconds(float bpm) {
    return static_cast<double>(kSecondsPerMinute) / static_cast<double>(bpm);
}

double HalfBeatSeconds(float bpm) {
    return static_cast<double>(kSecondsPerHalfBeatMinute) / static_cast<double>(bpm);
}

std::optional<std::int32_t> SlotAtPosition(double positionSeconds, float bpm, float gapSeconds) {
    double d = positionSeconds - static_cast<double>(gapSeconds);
    if (!(d >= 0.0) || !HasUsableTempo(bpm)) {
        return std::nullopt;
    }
    const double h = HalfBeatSeconds(bpm);
    const std::optional<std::int32_t> whole = SubtractWhileAbove(d, h);
    if (!whole) {
        return std::nullopt;
    }
    std::int32_t n = *whole;
    if (d / h > 0.5) {
        ++n;
    }
    if (n >= kMaxChartSlots) {
        return std::nullopt;
    }
    return n;
}

double SnapForward(double positionSeconds, double durationSeconds, float bpm, float gapSeconds) {
    const double start = positionSeconds >= 0.0 ? positionSeconds : 0.0;
    double target = start;
    if (HasUsableTempo(bpm)) {
        const double h = HalfBeatSeconds(bpm);
        double d = start - static_cast<double>(gapSeconds);
        if (SubtractWhileAbove(d, h)) {
            const double remaining = h - d;
            target = remaining <= kSnapTooCloseFraction * h
                         ? start + h
                         : start + remaining - kSnapLeadFraction * h;
        }
    }
    if (target > durationSeconds) {
        target = durationSeconds;
    }
    return target;
}

double AnchorNextClick(double startSeconds, double positionSeconds, double beatSeconds) {
    return AnchorNextClick(startSeconds, positionSeconds, beatSeconds, 1);
}

double AnchorNextClick(double startSeconds, double positionSeconds, double beatSeconds,
                       int beatsAfter) {
    if (!(beatSeconds > 0.0) || !std::isfinite(beatSeconds) || std::isnan(positionSeconds) ||
        !std::isfinite(startSeconds)) {
        return NoClickGrid();
    }
    if (positionSeconds > startSeconds &&
        !WithinStepBudget(positionSeconds - startSeconds, beatSeconds)) {
        return NoClickGrid();
    }
    double t = startSeconds;
    while (t < positionSeconds) {
        t += beatSeconds;
    }
    for (int i = 0; i < beatsAfter; ++i) {
        t += beatSeconds;
    }
    return t;
}

std::optional<BeatPosition> BeatPositionAt(double positionSeconds, float bpm, float gapSeconds) {
    if (!HasUsableTempo(bpm)) {
        return std::nullopt;
    }
    const double start = positionSeconds >= 0.0 ? positionSeconds : 0.0;
    const double b = BeatSeconds(bpm);
    double t = start - static_cast<double>(gapSeconds);
    const std::optional<std::int32_t> beats =
        std::isnan(t) ? std::nullopt : SubtractWhileAbove(t, b);
    if (!beats) {
        return std::nullopt;
    }
    BeatPosition result;
    result.beats = *beats;
    result.fraction = t / b;
    return result;
}

void ApplyBpmSpin(TimingState& state, int delta, double positionSeconds) {
    state.bpm = state.bpm + kBpmSpinStep * static_cast<float>(delta);
    if (state.bpm < 0.0f) {
        state.bpm = kBpmFloorAfterSpin;
    }
    state.nextClickSeconds = AnchorNextClick(static_cast<double>(state.gapSeconds), positionSeconds,
                                             BeatSeconds(state.bpm));
}

namespace {

void SetGapAndAnchor(TimingState& state, double gapSeconds, double positionSeconds) {
    // Beat 0 may lie before the song's first sample: files hold negative
    // Gaps, and the controls step through 0 both ways.
    state.gapSeconds = static_cast<float>(gapSeconds);
    state.nextClickSeconds = AnchorNextClick(static_cast<double>(state.gapSeconds), positionSeconds,
                                             BeatSeconds(state.bpm));
}

} // namespace

void ApplyGapSpin(TimingState& state, int delta, double positionSeconds) {
    const float gap = state.gapSeconds + kGapSpinStepSeconds * static_cast<float>(delta);
    SetGapAndAnchor(state, static_cast<double>(gap), positionSeconds);
}

void ApplyBpmAndGap(TimingState& state, float bpm, float gapSeconds, double positionSeconds) {
    state.bpm = bpm;
    SetGapAndAnchor(state, static_cast<double>(gapSeconds), positionSeconds);
}

void ApplyGapPlusHalfBeat(TimingState& state, double positionSeconds) {
    if (!HasUsableTempo(state.bpm)) {
        return;
    }
    SetGapAndAnchor(state, static_cast<double>(state.gapSeconds) + HalfBeatSeconds(state.bpm),
                    positionSeconds);
}

void ApplyGapMinusHalfBeat(TimingState& state, double positionSeconds) {
    if (!HasUsableTempo(state.bpm)) {
        return;
    }
    SetGapAndAnchor(state, static_cast<double>(state.gapSeconds) - HalfBeatSeconds(state.bpm),
                    positionSeconds);
}

void ApplyBpmDouble(TimingState& state, double positionSeconds) {
    state.bpm = state.bpm * 2.0f;
    state.nextClickSeconds = AnchorNextClick(0.0, positionSeconds, BeatSeconds(state.bpm));
}

void ApplyBpmHalve(TimingState& state, double positionSeconds) {
    state.bpm = state.bpm * 0.5f;
    state.nextClickSeconds = AnchorNextClick(0.0, positionSeconds, BeatSeconds(state.bpm));
}

float SamplePointAt(double positionSeconds) {
    return positionSeconds < 0.0 ? 0.0f : static_cast<float>(positionSeconds);
}

double RateForSpeed(std::int32_t speedPercent) {
    constexpr std::int32_t kNormalSpeedPercent = 100;
    constexpr float kPercent = 0.01f;
    if (speedPercent == kNormalSpeedPercent) {
        return 1.0;
    }
    return static_cast<double>(speedPercent) * static_cast<double>(kPercent);
}

} // namespace chart

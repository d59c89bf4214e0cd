#include "chart/TapTempo.h"

#include <algorithm>
#include <cmath>

namespace chart {

namespace {

constexpr double kSecondsPerMs = 0.001;
constexpr double kSecondsPerMinute = 60.0;
constexpr int kTapClickBeatsAhead = 2;

} // namespace

float FoldIntoFirstBeat(double positionSeconds, double beatSeconds) {
    double gap = positionSeconds;
    // Too far out to fold, the position itself stands.
    SubtractWhileAbove(gap, beatSeconds);
    return static_cast<float>(gap);
}

void ArmAfterOpening(TapState& taps) {
    taps = TapState{};
    taps.keepTempoUntilInterval = true;
}

TapOutcome ApplyTap(TapState& taps, TimingState& timing, std::uint32_t nowMs,
                    double positionSeconds) {
    if (!taps.tappingStarted) {
        if (!taps.keepTempoUntilInterval) {
            timing.bpm = 0.01f;
            timing.nextClickSeconds = kClickNotArmedSeconds;
        }
        taps.keepTempoUntilInterval = false;
        taps.lastHitBpm = 0.0f;
        taps.intervalSumMs = 0.0f;
        taps.tapCount = 0;
        taps.lastTapMs = nowMs;
        taps.firstTapMs = nowMs;
        taps.tappingStarted = true;
        return TapOutcome::kSeriesStarted;
    }
    // Unsigned subtraction stays right across a wrap of the counter.
    const auto elapsedMs = static_cast<double>(static_cast<std::uint32_t>(nowMs - taps.lastTapMs));
    if (elapsedMs <= 0.0) {
        return TapOutcome::kIgnored;
    }
    const double meanMs =
        taps.tapCount > 0 ? static_cast<double>(taps.intervalSumMs) / taps.tapCount : 0.0;
    if (elapsedMs > std::max(kSeriesPauseMs, 2.0 * meanMs)) {
        // The user stopped to think: this press starts a new series, and
        // the tempo found so far stands until it has an interval.
        ArmAfterOpening(taps);
        return ApplyTap(taps, timing, nowMs, positionSeconds);
    }
    ++taps.tapCount;
    taps.intervalSumMs = static_cast<float>(static_cast<double>(taps.intervalSumMs) + elapsedMs);
    taps.lastHitBpm = static_cast<float>(kSecondsPerMinute / (elapsedMs * kSecondsPerMs));
    const float seriesMeanMs = taps.intervalSumMs / static_cast<float>(taps.tapCount);
    timing.bpm =
        static_cast<float>(kSecondsPerMinute / (static_cast<double>(seriesMeanMs) * kSecondsPerMs));
    taps.lastTapMs = nowMs;

    const double beat = BeatSeconds(timing.bpm);
    timing.gapSeconds = FoldIntoFirstBeat(positionSeconds, beat);
    timing.nextClickSeconds = AnchorNextClick(static_cast<double>(timing.gapSeconds),
                                              positionSeconds, beat, kTapClickBeatsAhead);
    return TapOutcome::kIntervalCounted;
}

} // namespace chart

#pragma once

#include "chart/SongTiming.h"

#include <cstdint>

// Tap tempo: every key press in tap mode is a beat. BPM is the tempo of the
// mean interval of the series and the Gap is folded into the first beat.
namespace chart {

struct TapState {
    bool tappingStarted = false;
    std::uint32_t tapCount = 0; // intervals measured in this series
    float intervalSumMs = 0.0f;
    float lastHitBpm = 0.0f;     // tempo of the latest interval alone
    std::uint32_t lastTapMs = 0; // tick of the latest press
    std::uint32_t firstTapMs = 0;
    // Set when a song is opened: the first press starts the series but
    // leaves the estimated tempo standing until an interval replaces it.
    bool keepTempoUntilInterval = false;
};

enum class TapOutcome {
    kSeriesStarted,   // first press: nothing measured yet
    kIntervalCounted, // BPM, Gap and the next click were recomputed
    kIgnored,         // a 0 ms interval: no tempo can come of it
};

// Tap mode chosen: BPM 0.01, Gap 0, the click disarmed, a new series.
void ResetForTapping(TapState& taps, TimingState& timing);

// After opening a song: the estimate stands, the next press starts a series.
void ArmAfterOpening(TapState& taps);

// One press at tick nowMs (wrapping 32-bit milliseconds) with the player at
// positionSeconds. Call with the timing lock held.
TapOutcome ApplyTap(TapState& taps, TimingState& timing, std::uint32_t nowMs,
                    double positionSeconds);

// The Gap for a press taken to lie on a beat: the position folded back by
// whole beats until it lies within the first beat (at most one beat).
float FoldIntoFirstBeat(double positionSeconds, double beatSeconds);

} // namespace chart

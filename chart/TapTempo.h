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
    // Set when a song is opened or tap mode chosen: the first press starts
    // the series but leaves the tempo standing until an interval replaces it.
    bool keepTempoUntilInterval = false;
};

enum class TapOutcome {
    kSeriesStarted,   // first press: nothing measured yet
    kIntervalCounted, // BPM, Gap and the next click were recomputed
    kIgnored,         // a 0 ms interval: no tempo can come of it
};

// After opening a song or choosing tap mode: the next press starts a series,
// and BPM and Gap stand until its first interval replaces them.
void ArmAfterOpening(TapState& taps);

// A pause this long (or twice the series' mean interval, when longer) ends
// the series: the next press starts a new one, as if armed afresh.
inline constexpr double kSeriesPauseMs = 2000.0;

// One press at tick nowMs (wrapping 32-bit milliseconds) with the player at
// positionSeconds. Call with the timing lock held.
TapOutcome ApplyTap(TapState& taps, TimingState& timing, std::uint32_t nowMs,
                    double positionSeconds);

// The Gap for a press taken to lie on a beat: the position folded back by
// whole beats until it lies within the first beat (at most one beat).
float FoldIntoFirstBeat(double positionSeconds, double beatSeconds);

} // namespace chart

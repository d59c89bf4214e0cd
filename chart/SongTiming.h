#pragma once

#include <cstdint>
#include <optional>

// Song time, beats and half-beat slots. Every function here is pure; the
// window calls the ones that change BPM, Gap or the next-click time while it
// holds its timing lock, and reads the position from the player right before.
//
// Units: seconds of song time (double), BPM as a 32-bit float. The loops
// below subtract one interval per slot on purpose: near ties a division
// rounds differently, and these results are what the program has always
// produced. Each loop is bounded (see HasUsableTempo and kMaxChartSlots).
namespace chart {

// The values the main window holds for the song's timing.
struct TimingState {
    float bpm = 0.01f;
    float gapSeconds = 0.0f;
    double nextClickSeconds = 999.0;
    float sampleStartSeconds = 0.0f;
    float sampleEndSeconds = 5.0f;
    std::int32_t songSpeedPercent = 100;
};

// Next-click time meaning "not armed" (tap mode, start-up).
inline constexpr double kClickNotArmedSeconds = 999.0;

// Next-click time when the tempo gives no beat grid (BPM <= 0, NaN, or so
// large that a beat no longer advances song time): the metronome never fires.
double NoClickGrid();

// A BPM whose intervals are finite and positive. BPM 0, negative, NaN and
// infinity give no grid: the operations below then take their documented
// fallback instead of dividing or looping.
bool HasUsableTempo(float bpm);

// Runs `while (value > step) { value -= step; ++count; }` and returns the
// count, when that ends within kMaxChartSlots steps. None, leaving value
// alone, when it would not end (step <= 0 or NaN under a larger value) or
// would take longer. Below 2^24 steps each step is far above the value's
// rounding unit, so every subtraction makes progress.
std::optional<std::int32_t> SubtractWhileAbove(double& value, double step);

// 60 / BPM and 30 / BPM in double precision from single-precision constants.
double BeatSeconds(float bpm);
double HalfBeatSeconds(float bpm);

// The nearest slot to song position p; ties go to the earlier slot. None
// before the Gap, for a NaN position, without a usable tempo, or when the
// slot would lie at or beyond kMaxChartSlots.
std::optional<std::int32_t> SlotAtPosition(double positionSeconds, float bpm, float gapSeconds);

// Where Enter moves playback: a tenth of a half-beat before the next slot
// (or the slot after, when the next one is too close), never past the song's
// duration. Without a usable tempo, or that far out, it stays at max(p, 0)
// (clamped to the duration).
double SnapForward(double positionSeconds, double durationSeconds, float bpm, float gapSeconds);

// One beat after the first grid point at or after p, on the grid of beat
// length beatSeconds that starts at startSeconds. NoClickGrid() when the
// beat length is not finite and positive or p lies more than kMaxChartSlots
// beats past the start.
double AnchorNextClick(double startSeconds, double positionSeconds, double beatSeconds);

// The same with extra beats added at the end (a tap adds two).
double AnchorNextClick(double startSeconds, double positionSeconds, double beatSeconds,
                       int beatsAfter);

// Whole beats since the Gap and the fraction of the current beat (negative
// before the Gap). None without a usable tempo or beyond kMaxChartSlots beats.
struct BeatPosition {
    std::int32_t beats = 0;
    double fraction = 0.0;
};
std::optional<BeatPosition> BeatPositionAt(double positionSeconds, float bpm, float gapSeconds);

// Control operations. Each changes the state as the control does and
// re-anchors the metronome from the player position p.

// BPM spin: +-0.1 per notification; a result below 0 becomes 0.01.
void ApplyBpmSpin(TimingState& state, int delta, double positionSeconds);
// Gap spin: +-0.01 s per notification; never below 0.
void ApplyGapSpin(TimingState& state, int delta, double positionSeconds);
// Gap +- one half-beat of the current BPM; never below 0. No change without
// a usable tempo.
void ApplyGapPlusHalfBeat(TimingState& state, double positionSeconds);
void ApplyGapMinusHalfBeat(TimingState& state, double positionSeconds);
// X2 and X.5: no bound; the click grid then starts at song time 0.
void ApplyBpmDouble(TimingState& state, double positionSeconds);
void ApplyBpmHalve(TimingState& state, double positionSeconds);
// A tempo found by analysis: BPM as given, Gap never below 0, as the
// spins leave them.
void ApplyBpmAndGap(TimingState& state, float bpm, float gapSeconds, double positionSeconds);
// The player's rate for a song speed in percent: speed * 0.01f, and exactly
// 1.0 at 100 % so that the player passes the samples through untouched
// (100 * 0.01f would be a hair above).
double RateForSpeed(std::int32_t speedPercent);
// Sample start/end "Set": the position, or 0 when it is negative.
float SamplePointAt(double positionSeconds);

} // namespace chart

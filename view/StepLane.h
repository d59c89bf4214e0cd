#pragma once

#include <cstdint>
#include <optional>

// The lane of 8ths at one tempo, 18 pixels a beat, in a 200 x 300 view:
// where beat lines and slots lie, which slot lies under a client row, and
// where a seek button moves playback. LaneLayout uses these wherever the
// lane is that one, so it keeps its exact rows and rounding. Pure functions
// of the player position and duration (seconds), BPM and Gap. Lengths are
// view pixels (client coordinates, before any high-DPI scaling).
//
// Each of these subtracts one interval at a time while the value is above
// it, and that loop runs step by step, rounding included, whenever it ends
// within chart::kMaxChartSlots steps. Where it would not end (BPM <= 0 or
// NaN) or would run past the longest chart (a BPM like 1e30), each function
// says what it does instead.
namespace view {

inline constexpr int kViewWidth = 200;
inline constexpr int kViewHeight = 300;

// Beat lines: 2 rows thick, from x = 0 to x = kBeatLineLastX, one per beat.
inline constexpr int kBeatLineLastX = 150;
inline constexpr int kBeatPixels = 18;
inline constexpr int kBeatLinesPerFrame = 16;
// Where the line of a beat lies while its time plays: through the targets.
inline constexpr int kOnBeatLineY = 16;
// Top of the target arrows; a slot's arrows cover them when its time plays.
inline constexpr int kTargetTopY = 8;
inline constexpr int kArrowSize = 16;
// Left edges of the Left, Down, Up and Right columns (LaneLayout's
// ColumnX continues them for wider charts).
inline constexpr int kColumnX[4] = {20, 52, 84, 116};
// Clicks from this row down edit notes or open the menu.
inline constexpr int kArrowAreaFirstY = 11;
// The seek strips of a four-column view: rewind image at the top, forward
// image at the bottom (LaneLayout's SeekButtonAt).
inline constexpr int kSeekStripX = 160;
inline constexpr int kRewindTopY = 0;
// Each seek button is kButtonHeight rows tall, kButtonGap rows apart.
inline constexpr int kButtonHeight = 34;
inline constexpr int kButtonGap = 2;

// The seek buttons, top to bottom: rewind strip then forward strip.
enum class SeekButton : std::uint8_t {
    kNone = 0,
    kBackOne = 1,
    kBackTwo = 2,
    kBackThirty = 3,
    kForwardThirty = 4,
    kForwardTwo = 5,
    kForwardOne = 6,
};

// The first beat line of a frame and the slot drawn with it. An even slot
// is centred on its line; an odd one sits half a beat above it, and the
// next slot is centred on the line. Later lines follow every kBeatPixels
// rows with the slot two higher.
struct LaneScroll {
    int firstLineY = 16;
    std::int32_t firstSlot = 0;
};

// The lane for playback position p (negative counts as 0). BPM 0 gives a
// lane standing still with slot 0 on the targets, and so does every tempo
// without a usable beat grid: NaN, a BPM so large that p lies beyond the
// longest chart, and a negative BPM. For a negative BPM the beat loop never
// ends, except more than one beat (60 / |BPM|) before the Gap, where it
// ends at once; that lane is kept (it moves down as the song plays).
LaneScroll ScrollAt(double positionSeconds, float bpm, float gapSeconds);

// The slot under client row y. Where the rule would not end, slot 0, which
// is also what BPM 0 gives for every row below the targets.
std::int32_t SlotAtRow(int y, double positionSeconds, float bpm, float gapSeconds);

// Where a seek button moves playback: 0.1 half-beat before a slot time, or
// whole slots on from a position within the last 0.15 half-beat before one;
// backward results stop at 0, forward ones at the duration. None for kNone,
// and when there is no beat grid to step along (the rule would not end, or
// it gives no number): the position stays where it is.
std::optional<double> SeekTarget(SeekButton button, double positionSeconds, double durationSeconds,
                                 float bpm, float gapSeconds);

} // namespace view

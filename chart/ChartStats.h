#pragma once

#include "chart/Song.h"
#include "chart/TimingMap.h"

#include <cstdint>
#include <string>
#include <vector>

// What a chart asks of the player, at a glance: the counts the dance games
// show on their song wheels, the hardest stretch and how long it lasts.
namespace chart {

// A "step" is a row where at least one arrow starts (a tap or a hold head);
// an arrow "held" at a row is a hold in another column whose head lies
// before the row and whose tail lies at or after it (the foot is still down
// when the tail comes).
struct ChartStats {
    // Arrows that are not hold heads: each arrow of a jump counts, so taps
    // plus holds is the number of arrows.
    std::int32_t taps = 0;
    // Steps with exactly two heads and no arrow held.
    std::int32_t jumps = 0;
    // Steps where three or more arrows are down: heads plus held arrows. A
    // hand is never also a jump.
    std::int32_t hands = 0;
    // Hold heads (roll heads are counted apart, below).
    std::int32_t holds = 0;
    // Steps per second in the busiest window: a window starts at a step and
    // covers 4 beats (192 rows, the step's own row included, the row 192 on
    // excluded); its length in seconds follows the song's tempo changes and
    // includes a stop at its first row or inside it. A jump is one step.
    // Windows that take no time (a tempo that takes none) are left out.
    double peakNps = 0.0;
    // Seconds from beat 0 to the last head or tail; trailing empty rows of
    // the chart's text do not count. 0 for an empty chart.
    double lengthSeconds = 0.0;
    // Roll heads, and mines (never steps; fakes and auto-keysounds are
    // neither).
    std::int32_t rolls = 0;
    std::int32_t mines = 0;
};

ChartStats StatsOf(const SongChart& chart, const TimingMap& timing);

// Steps (heads of notes stepped on) per measure of 192 rows, measure 0 first, covering the
// chart's last head or tail (so a final long hold's measures show as empty);
// empty for an empty chart.
std::vector<std::int32_t> DensityPerMeasure(const SongChart& chart);

// One line for the window:
// "Taps 412  Jumps 38  Hands 2  Holds 17  Peak 7.9 notes/s  Length 1:52",
// then "  Rolls 3  Mines 12" when the chart has either.
// The length is rounded to whole seconds.
std::string StatsLine(const ChartStats& stats);

} // namespace chart

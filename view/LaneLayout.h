#pragma once

#include "chart/Song.h"
#include "chart/SongTiming.h"
#include "view/StepLane.h"

#include <cstdint>
#include <optional>
#include <span>

// The step view's geometry on the song document: where columns, lines and
// seek strips lie for a chart of any width, which rows a frame shows and
// where, which cell lies under a client row, and where seeks, wheel notches
// and zoom steps go. Qt-free. Lengths are view pixels; rows are the
// document's (48 a beat).
//
// The lane is spaced by beats: PixelsPerBeat apart, whatever the tempo, so
// a tempo change makes it scroll faster or slower and a stop holds it still.
// With no tempo changes and no stops the beat position comes from the same
// constant-tempo arithmetic as StepLane's, so at 18 pixels a beat the lines
// and 8th cells lie on exactly the same rows as ever.
namespace view {

inline constexpr int kStartPixelsPerBeat = kBeatPixels;
// Zoom steps of Ctrl + wheel, coarse to fine: below 6 a 16-pixel arrow
// covers three beats, above 144 a 300-row view shows two.
inline constexpr int kZoomSteps[] = {6, 9, 12, 18, 24, 36, 48, 72, 96, 144};

// Columns are 32 pixels apart from x = 20, as the four of a single chart
// always were; beat lines reach 18 pixels past the last arrow, the seek
// strips follow 10 pixels later and the view ends 8 pixels after them.
int ColumnX(int column);
int BeatLineLastX(int columns);
int SeekStripX(int columns);
// 200 for 4 columns, 264 for 6, 328 for 8.
int ViewWidthFor(int columns);
// The column whose arrow covers client x, if any.
std::optional<std::uint8_t> ColumnAtX(int x, int columns);

// The seek button at client row y of a view `viewHeight` rows tall: the
// rewind strip keeps the top, the forward strip the bottom.
int ForwardStripTopY(int viewHeight);
SeekButton SeekButtonAt(int y, int viewHeight);

// The timing the lane follows: the shown chart's own (an .ssc chart's) where
// it has one, else the song's. Views into the document: valid while it is
// unchanged. The functions below take the chart shown (none: the song's
// timing).
struct LaneTiming {
    float bpm = 0.01f;
    float gapSeconds = 0.0f;
    std::span<const chart::BpmChange> changes;
    std::span<const chart::Stop> stops;
    std::span<const chart::Delay> delays;
    std::span<const chart::Warp> warps;

    bool ConstantTempo() const {
        return changes.empty() && stops.empty() && delays.empty() && warps.empty();
    }
    chart::TimingMap Map() const {
        return chart::TimingMap(bpm, gapSeconds, changes, stops, delays, warps);
    }
};
LaneTiming LaneTimingOf(const chart::Song& song, const chart::SongChart* chart);

// Which whole beat was last reached at a song time and how far past it the
// song is, in beats. Before the Gap, beats is 0 and fraction negative (the
// lane lies below the targets); without a usable tempo 0 and 0.
chart::BeatPosition LanePosition(const chart::Song& song, double positionSeconds,
                                 const chart::SongChart* chart = nullptr);

// One frame of the lane.
struct LaneFrame {
    int pixelsPerBeat = kStartPixelsPerBeat;
    // The first beat line drawn, at or below the targets' line, and its beat.
    int firstLineY = kOnBeatLineY;
    std::int32_t firstLineBeat = 0;
    int lines = kBeatLinesPerFrame;
    // Notes with heads in [beginRow, endRow) are drawn. Notes stay until
    // they pass the targets, and an 8th after a beat stays until the next
    // beat reaches them, as the lane always showed it.
    std::int32_t beginRow = 0;
    std::int32_t endRow = 0;

    // Client row of the centre of a row's arrow (rounded down).
    int RowY(std::int32_t row) const;
};

LaneFrame FrameAt(const chart::BeatPosition& position, int pixelsPerBeat, int viewHeight);

// The cell (index, CellRows rows each) under client row y; 0 above the
// first. At 8th cells and 18 pixels a beat under constant tempo exactly
// SlotAtRow.
std::int32_t CellAtY(const chart::Song& song, std::int32_t cellRows, int pixelsPerBeat, int y,
                     double positionSeconds, const chart::SongChart* chart = nullptr);

// Where a seek button moves playback: SeekTarget with the cell in place of
// the half-beat, stepping through the song's timing (a tenth of a cell
// before a cell, or whole cells on from within 0.15 of a cell before one),
// clamped to [0, duration]. At 8th cells under constant tempo exactly
// SeekTarget. None when there is nothing to step along.
std::optional<double> SeekTargetAt(const chart::Song& song, std::int32_t cellRows,
                                   SeekButton button, double positionSeconds,
                                   double durationSeconds, const chart::SongChart* chart = nullptr);

// Where `notches` wheel notches move playback: to the time of the cell that
// many cells on (negative: back), counted from the cell at or before
// (after) the position; clamped to [0, duration]. None without a usable
// tempo.
std::optional<double> WheelTarget(const chart::Song& song, std::int32_t cellRows, int notches,
                                  double positionSeconds, double durationSeconds,
                                  const chart::SongChart* chart = nullptr);

// The zoom `steps` steps of kZoomSteps finer (negative: coarser) than
// `pixelsPerBeat`, staying at the ends; a value between steps goes to the
// next one in that direction.
int ZoomedPixelsPerBeat(int pixelsPerBeat, int steps);

} // namespace view

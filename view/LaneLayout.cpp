#include "view/LaneLayout.h"

#include "chart/SongTiming.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace view {

namespace {

constexpr int kColumnPitch = 32;
constexpr int kLineOverhang = 18 + kArrowSize; // from an arrow's left edge
// Measure numbers and tempo marks are written between the lines' end and the
// seek strip, clear of every arrow.
constexpr int kLabelGutter = 36;
constexpr int kSeekStripGap = 10 + kLabelGutter;
constexpr int kSeekStripWidth = 32;
constexpr int kRightMargin = 8;
constexpr int kSeekStripHeight = 3 * kButtonHeight + 2 * kButtonGap;
// A first line further away than this is off the view whatever follows.
constexpr double kFarRows = 1 << 20;
// Rows from the last beat line passed to an off-beat 8th.
constexpr std::int32_t kHalfBeatRows = chart::kRowsPerBeat / 2;
constexpr std::int32_t kMaxBeat = chart::kMaxRows / chart::kRowsPerBeat;

constexpr double kBackAsOnCellFraction = 0.85;
constexpr double kForwardAsOnCellFraction = 0.15;
constexpr double kSeekLeadFraction = 0.1;
// A position this close below a cell counts as on it for the wheel, so that
// a notch from a cell the player was just moved to is never lost to
// rounding of the cell's time.
constexpr double kOnCellCells = 1e-6;

double ClampedPosition(double positionSeconds) {
    return positionSeconds >= 0.0 ? positionSeconds : 0.0;
}

double RowsPerCellBeat(std::int32_t cellRows) {
    return static_cast<double>(cellRows) / chart::kRowsPerBeat;
}

double Clamped(double seconds, double durationSeconds) {
    return std::clamp(seconds, 0.0, std::max(durationSeconds, 0.0));
}

} // namespace

LaneTiming LaneTimingOf(const chart::Song& song, const chart::SongChart* chart) {
    if (chart && chart->timing) {
        const chart::ChartTiming& own = *chart->timing;
        return {own.bpm, own.gapSeconds, own.changes, own.stops, own.delays, own.warps};
    }
    return {song.bpm, song.gapSeconds, song.changes, song.stops, song.delays, song.warps};
}

int ColumnX(int column) {
    return kColumnX[0] + kColumnPitch * column;
}

int BeatLineLastX(int columns) {
    return ColumnX(std::max(columns, 1) - 1) + kLineOverhang;
}

int SeekStripX(int columns) {
    return BeatLineLastX(columns) + kSeekStripGap;
}

int ViewWidthFor(int columns) {
    return SeekStripX(columns) + kSeekStripWidth + kRightMargin;
}

std::optional<std::uint8_t> ColumnAtX(int x, int columns) {
    for (int column = 0; column < columns; ++column) {
        if (x >= ColumnX(column) && x < ColumnX(column) + kArrowSize) {
            return static_cast<std::uint8_t>(column);
        }
    }
    return std::nullopt;
}

int ForwardStripTopY(int viewHeight) {
    return std::max(viewHeight, kViewHeight) - kSeekStripHeight;
}

SeekButton SeekButtonAt(int y, int viewHeight) {
    const auto inStrip = [](int fromTop) {
        if (fromTop < 0 || fromTop >= kSeekStripHeight) {
            return -1;
        }
        const int pitch = kButtonHeight + kButtonGap;
        return fromTop % pitch < kButtonHeight ? fromTop / pitch : -1;
    };
    if (const int button = inStrip(y - kRewindTopY); button >= 0) {
        return static_cast<SeekButton>(static_cast<int>(SeekButton::kBackOne) + button);
    }
    if (const int button = inStrip(y - ForwardStripTopY(viewHeight)); button >= 0) {
        return static_cast<SeekButton>(static_cast<int>(SeekButton::kForwardThirty) + button);
    }
    return SeekButton::kNone;
}

chart::BeatPosition LanePosition(const chart::Song& document, double positionSeconds,
                                 const chart::SongChart* chart) {
    const LaneTiming song = LaneTimingOf(document, chart);
    if (song.ConstantTempo()) {
        if (const auto beat = chart::BeatPositionAt(positionSeconds, song.bpm, song.gapSeconds)) {
            return *beat;
        }
        // StepLane's fallback: the lane below the targets before the Gap,
        // still on them where there is no beat grid.
        const double t = ClampedPosition(positionSeconds) - static_cast<double>(song.gapSeconds);
        const double b = chart::BeatSeconds(song.bpm);
        const double fraction = !(t > b) ? t / b : 0.0;
        return {0, std::isfinite(fraction) ? fraction : 0.0};
    }
    const double beat = song.Map().BeatAt(ClampedPosition(positionSeconds));
    if (!std::isfinite(beat)) {
        return {};
    }
    if (beat < 0.0) {
        return {0, beat};
    }
    const double whole = std::floor(std::min(beat, static_cast<double>(kMaxBeat)));
    return {static_cast<std::int32_t>(whole), std::min(beat - whole, 1.0)};
}

int LaneFrame::RowY(std::int32_t row) const {
    const std::int64_t rows =
        static_cast<std::int64_t>(row) - std::int64_t{chart::kRowsPerBeat} * firstLineBeat;
    std::int64_t pixels = rows * pixelsPerBeat;
    // Rounded down, negative rows included.
    pixels = pixels >= 0 ? pixels / chart::kRowsPerBeat
                         : -((-pixels + chart::kRowsPerBeat - 1) / chart::kRowsPerBeat);
    const std::int64_t y = firstLineY + pixels;
    constexpr std::int64_t kFar = 1 << 24;
    return static_cast<int>(std::clamp(y, -kFar, kFar));
}

LaneFrame FrameAt(const chart::BeatPosition& position, int pixelsPerBeat, int viewHeight) {
    LaneFrame frame;
    frame.pixelsPerBeat = std::max(pixelsPerBeat, 1);
    const double lineY = static_cast<double>(kOnBeatLineY) -
                         static_cast<double>(frame.pixelsPerBeat) * position.fraction;
    frame.firstLineY = static_cast<int>(std::clamp(lineY, -kFarRows, kFarRows));
    frame.firstLineBeat = position.beats;
    const bool moved = frame.firstLineY < kOnBeatLineY;
    if (moved) {
        frame.firstLineY += frame.pixelsPerBeat;
        frame.firstLineBeat += 1;
    }
    // Every line whose 2-row pen can reach the view: 16 at 300 rows and 18
    // pixels a beat.
    frame.lines = (std::max(viewHeight, kViewHeight) - kOnBeatLineY) / frame.pixelsPerBeat + 1;
    const std::int32_t lineRow = chart::kRowsPerBeat * frame.firstLineBeat;
    const std::int32_t firstCellRow = moved ? lineRow - kHalfBeatRows : lineRow;
    std::int32_t begin = firstCellRow;
    if (moved) {
        // Finer notes before the off-beat 8th show until they reach the
        // targets.
        const double nowRows =
            chart::kRowsPerBeat * (static_cast<double>(position.beats) + position.fraction);
        begin = std::min(begin, static_cast<std::int32_t>(std::ceil(nowRows)));
    }
    frame.beginRow = std::max(begin, 0);
    frame.endRow = static_cast<std::int32_t>(std::min<std::int64_t>(
        firstCellRow + std::int64_t{chart::kRowsPerBeat} * frame.lines, chart::kMaxRows));
    return frame;
}

std::int32_t CellAtY(const chart::Song& song, std::int32_t cellRows, int pixelsPerBeat, int y,
                     double positionSeconds, const chart::SongChart* chart) {
    if (const LaneTiming timing = LaneTimingOf(song, chart);
        timing.ConstantTempo() && cellRows == kHalfBeatRows && pixelsPerBeat == kBeatPixels) {
        return SlotAtRow(y, positionSeconds, timing.bpm, timing.gapSeconds);
    }
    cellRows = std::max(cellRows, 1);
    const chart::BeatPosition position = LanePosition(song, positionSeconds, chart);
    const double nowRows =
        chart::kRowsPerBeat * (static_cast<double>(position.beats) + position.fraction);
    // The cell whose arrow is centred nearest the middle of row y.
    const double rows = nowRows + (static_cast<double>(y) + 0.5 - kOnBeatLineY) *
                                      chart::kRowsPerBeat / std::max(pixelsPerBeat, 1);
    const double cell = std::floor(rows / cellRows + 0.5);
    if (!(cell > 0.0)) {
        return 0;
    }
    return static_cast<std::int32_t>(
        std::min(cell, static_cast<double>(chart::kMaxRows / cellRows)));
}

std::optional<double> SeekTargetAt(const chart::Song& document, std::int32_t cellRows,
                                   SeekButton button, double positionSeconds,
                                   double durationSeconds, const chart::SongChart* chart) {
    const LaneTiming song = LaneTimingOf(document, chart);
    if (song.ConstantTempo() && cellRows == kHalfBeatRows) {
        return SeekTarget(button, positionSeconds, durationSeconds, song.bpm, song.gapSeconds);
    }
    const chart::TimingMap timing = song.Map();
    if (button == SeekButton::kNone || !timing.HasUsableTempo() || cellRows <= 0) {
        return std::nullopt;
    }
    const double p = ClampedPosition(positionSeconds);
    const double cells = timing.BeatAt(p) / RowsPerCellBeat(cellRows);
    if (!std::isfinite(cells)) {
        return std::nullopt;
    }
    const double last = std::floor(cells);
    const double r = cells - last; // of a cell past the last cell
    const bool backToLead = r < kBackAsOnCellFraction;
    const bool forwardToLead = 1.0 - r > kForwardAsOnCellFraction;
    const double back = last - kSeekLeadFraction;
    const double forward = last + 1.0 - kSeekLeadFraction;
    double target = cells;
    switch (button) {
    case SeekButton::kBackOne:
        target = backToLead ? back : cells - 1.0;
        break;
    case SeekButton::kBackTwo:
        target = backToLead ? back - 1.0 : cells - 2.0;
        break;
    case SeekButton::kBackThirty:
        target = backToLead ? back - 29.0 : cells - 30.0;
        break;
    case SeekButton::kForwardThirty:
        target = forwardToLead ? forward + 29.0 : cells + 30.0;
        break;
    case SeekButton::kForwardTwo:
        target = forwardToLead ? forward + 1.0 : cells + 2.0;
        break;
    case SeekButton::kForwardOne:
        target = forwardToLead ? forward : cells + 1.0;
        break;
    case SeekButton::kNone:
        break;
    }
    const double seconds = timing.SecondsAt(target * RowsPerCellBeat(cellRows));
    if (std::isnan(seconds)) {
        return std::nullopt;
    }
    return Clamped(seconds, durationSeconds);
}

std::optional<double> WheelTarget(const chart::Song& song, std::int32_t cellRows, int notches,
                                  double positionSeconds, double durationSeconds,
                                  const chart::SongChart* chart) {
    const chart::TimingMap timing = LaneTimingOf(song, chart).Map();
    if (notches == 0 || !timing.HasUsableTempo() || cellRows <= 0) {
        return std::nullopt;
    }
    const double cells =
        timing.BeatAt(ClampedPosition(positionSeconds)) / RowsPerCellBeat(cellRows);
    if (!std::isfinite(cells)) {
        return std::nullopt;
    }
    const double from =
        notches > 0 ? std::floor(cells + kOnCellCells) : std::ceil(cells - kOnCellCells);
    const double seconds = timing.SecondsAt((from + notches) * RowsPerCellBeat(cellRows));
    if (std::isnan(seconds)) {
        return std::nullopt;
    }
    return Clamped(seconds, durationSeconds);
}

int ZoomedPixelsPerBeat(int pixelsPerBeat, int steps) {
    constexpr int kCount = static_cast<int>(std::size(kZoomSteps));
    int index = 0;
    if (steps >= 0) {
        // The first step at or above: a value between steps goes up to it.
        while (index < kCount - 1 && kZoomSteps[index] < pixelsPerBeat) {
            ++index;
        }
        if (kZoomSteps[index] > pixelsPerBeat && steps > 0) {
            --steps;
        }
    } else {
        index = kCount - 1;
        while (index > 0 && kZoomSteps[index] > pixelsPerBeat) {
            --index;
        }
        if (kZoomSteps[index] < pixelsPerBeat) {
            ++steps;
        }
    }
    return kZoomSteps[std::clamp(index + steps, 0, kCount - 1)];
}

} // namespace view

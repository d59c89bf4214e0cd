#include "view/StepLane.h"

#include "chart/SongTiming.h"

#include <algorithm>
#include <cmath>

namespace view {

namespace {

// Rows of a YToSlot click are measured from this one (2 rows into the
// targets), 9 rows per slot.
constexpr int kSlotRowOrigin = 10;
constexpr double kRowsPerSlot = 9.0;

// A first line further away than this is off the view whatever follows;
// clamping keeps the int conversion and the later additions defined.
constexpr double kFarRows = 1 << 20;

constexpr double kBackAsOnSlotFraction = 0.85;
constexpr double kForwardAsOnSlotFraction = 0.15;
constexpr double kSeekLeadFraction = 0.1;

// The player reports a position below 0 before playback settles; NaN is
// treated the same rather than carried into the arithmetic.
double ClampedPosition(double positionSeconds) {
    return positionSeconds >= 0.0 ? positionSeconds : 0.0;
}

} // namespace

LaneScroll ScrollAt(double positionSeconds, float bpm, float gapSeconds) {
    std::int32_t beats = 0;
    double fraction = 0.0;
    if (const auto beat = chart::BeatPositionAt(positionSeconds, bpm, gapSeconds)) {
        beats = beat->beats;
        fraction = beat->fraction;
    } else {
        const double t = ClampedPosition(positionSeconds) - static_cast<double>(gapSeconds);
        const double b = chart::BeatSeconds(bpm);
        if (!(t > b)) {
            // The beat loop would not run: its result stands, BPM 0 included.
            fraction = t / b;
        }
    }
    if (!std::isfinite(fraction)) {
        fraction = 0.0;
    }
    const double lineY =
        static_cast<double>(kOnBeatLineY) - static_cast<double>(kBeatPixels) * fraction;
    LaneScroll scroll;
    scroll.firstLineY = static_cast<int>(std::clamp(lineY, -kFarRows, kFarRows));
    scroll.firstSlot = 2 * beats;
    if (scroll.firstLineY < kOnBeatLineY) {
        scroll.firstLineY += kBeatPixels;
        scroll.firstSlot += 1;
    }
    return scroll;
}

std::int32_t SlotAtRow(int y, double positionSeconds, float bpm, float gapSeconds) {
    const double h = chart::HalfBeatSeconds(bpm);
    double t = static_cast<double>(y - kSlotRowOrigin) * (1.0 / kRowsPerSlot) * h +
               ClampedPosition(positionSeconds) - static_cast<double>(gapSeconds);
    if (t <= h) {
        return 0;
    }
    t -= h;
    const auto more = chart::SubtractWhileAbove(t, h);
    return more ? 1 + *more : 0;
}

std::optional<double> SeekTarget(SeekButton button, double positionSeconds, double durationSeconds,
                                 float bpm, float gapSeconds) {
    if (button == SeekButton::kNone) {
        return std::nullopt;
    }
    const double p = ClampedPosition(positionSeconds);
    const double h = chart::HalfBeatSeconds(bpm);
    double r = p - static_cast<double>(gapSeconds);
    if (!chart::SubtractWhileAbove(r, h)) {
        return std::nullopt;
    }
    const double q = h - r;
    // r is how far p lies past the last slot time, q how far before the next.
    const bool backToLead = r < kBackAsOnSlotFraction * h;
    const bool forwardToLead = q > kForwardAsOnSlotFraction * h;
    const double back = p - (r + kSeekLeadFraction * h);
    const double forward = p + (q - kSeekLeadFraction * h);
    double target = p;
    switch (button) {
    case SeekButton::kBackOne:
        target = backToLead ? back : p - h;
        break;
    case SeekButton::kBackTwo:
        target = backToLead ? back - h : p - 2.0 * h;
        break;
    case SeekButton::kBackThirty:
        target = backToLead ? back - 29.0 * h : p - 30.0 * h;
        break;
    case SeekButton::kForwardThirty:
        target = forwardToLead ? forward + 29.0 * h : p + 30.0 * h;
        break;
    case SeekButton::kForwardTwo:
        target = forwardToLead ? forward + h : p + 2.0 * h;
        break;
    case SeekButton::kForwardOne:
        target = forwardToLead ? forward : p + h;
        break;
    case SeekButton::kNone:
        break;
    }
    const bool backward = button <= SeekButton::kBackThirty;
    if (backward && target < 0.0) {
        target = 0.0;
    }
    if (!backward && target > durationSeconds) {
        target = durationSeconds;
    }
    if (std::isnan(target)) {
        return std::nullopt;
    }
    return target;
}

} // namespace view

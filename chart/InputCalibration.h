#pragma once

#include <optional>
#include <vector>

// The input offset: how late the author's presses land behind what they
// hear, measured by tapping along to a click track. Applied by subtracting
// it (in real time, so scaled by the song speed) from the song time of every
// press of step input and tapping.
namespace chart {

struct CalibrationResult {
    double offsetMs = 0.0; // median lateness of the taps; negative: early
    double spreadMs = 0.0; // half the interquartile range of the lateness
    int taps = 0;
};

inline constexpr int kMinCalibrationTaps = 16;

// Each tap (song seconds, position heard at the press) is matched with the
// nearest click (clicks at firstClickSeconds + k * intervalSeconds, k >= 0);
// taps before the first click's half interval count for nothing. Nothing
// before kMinCalibrationTaps taps.
std::optional<CalibrationResult> Calibrate(const std::vector<double>& tapSongSeconds,
                                           double firstClickSeconds, double intervalSeconds);

// The song time a press stands for: where the player was when it was
// pressed, less the author's lateness at this song speed.
double CorrectedPressSeconds(double positionAtPressSeconds, double inputOffsetMs, double rate);

} // namespace chart

#include "chart/InputCalibration.h"

#include <algorithm>
#include <cmath>

namespace chart {

namespace {

// Linear interpolation between order statistics of sorted values.
double Quantile(const std::vector<double>& sorted, double q) {
    const double index = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(index));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    const double weight = index - static_cast<double>(below);
    return sorted[below] * (1.0 - weight) + sorted[above] * weight;
}

} // namespace

std::optional<CalibrationResult> Calibrate(const std::vector<double>& tapSongSeconds,
                                           double firstClickSeconds, double intervalSeconds) {
    if (!(intervalSeconds > 0.0)) {
        return std::nullopt;
    }
    std::vector<double> latenessMs;
    for (const double tap : tapSongSeconds) {
        const double beats = (tap - firstClickSeconds) / intervalSeconds;
        if (!std::isfinite(beats) || beats < -0.5) {
            continue;
        }
        const double nearest = firstClickSeconds + std::round(beats) * intervalSeconds;
        latenessMs.push_back((tap - nearest) * 1000.0);
    }
    if (static_cast<int>(latenessMs.size()) < kMinCalibrationTaps) {
        return std::nullopt;
    }
    std::sort(latenessMs.begin(), latenessMs.end());
    CalibrationResult result;
    result.offsetMs = Quantile(latenessMs, 0.5);
    result.spreadMs = (Quantile(latenessMs, 0.75) - Quantile(latenessMs, 0.25)) / 2.0;
    result.taps = static_cast<int>(latenessMs.size());
    return result;
}

double CorrectedPressSeconds(double positionAtPressSeconds, double inputOffsetMs, double rate) {
    return positionAtPressSeconds - inputOffsetMs * 0.001 * rate;
}

} // namespace chart

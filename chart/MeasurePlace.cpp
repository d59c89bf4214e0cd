#include "chart/MeasurePlace.h"

#include <cmath>
#include <cstdio>

namespace chart {

std::string FormatPlace(const TimingMap& timing, double seconds) {
    constexpr double kBeatsPerMeasure = 4.0;
    const double beat = timing.BeatAt(seconds);
    char place[64] = "Measure -  Beat -";
    if (std::isfinite(beat)) {
        // Rounded to the shown hundredths first, so that 3.999 reads as the
        // next measure's first beat rather than "Beat 5.00".
        const double shown = std::round(beat * 100.0) / 100.0;
        const double measure = std::floor(shown / kBeatsPerMeasure);
        std::snprintf(place, sizeof place, "Measure %.0f  Beat %.2f", measure + 1.0,
                      shown - measure * kBeatsPerMeasure + 1.0);
    }
    const double clamped =
        std::isfinite(seconds) && seconds > 0.0 ? std::round(seconds * 100.0) / 100.0 : 0.0;
    const double minutes = std::floor(clamped / 60.0);
    char time[48];
    std::snprintf(time, sizeof time, "  Time %.0f:%05.2f", minutes, clamped - minutes * 60.0);
    return std::string(place) + time;
}

} // namespace chart

#include "chart/InputCalibration.h"

#include <gtest/gtest.h>

namespace {

constexpr double kInterval = 0.5; // 120 BPM
constexpr double kFirst = 1.0;

// One tap per click, the k-th lateMs[k] milliseconds late.
std::vector<double> Taps(const std::vector<double>& lateMs) {
    std::vector<double> taps;
    for (std::size_t k = 0; k < lateMs.size(); ++k) {
        taps.push_back(kFirst + static_cast<double>(k) * kInterval + lateMs[k] * 0.001);
    }
    return taps;
}

// Lateness 15, 14, ... 0 ms: by linear interpolation between order
// statistics the median is 7.5 ms, the quartiles 3.75 and 11.25 ms.
// Stumbles (200 ms late, 150 ms early) do not move the median. Early taps
// give a negative offset; a tap half an interval before the first click
// still counts (250 ms late for the click before it), one long before it is
// on no click. 1e-9 ms covers the rounding of song seconds.
TEST(Calibration, MedianAndHalfTheInterquartileRangeOfTheLateness) {
    std::vector<double> stumbles(18, 30.0);
    stumbles[3] += 200.0;
    stumbles[11] -= 150.0;
    std::vector<double> early = Taps(std::vector<double>(16, -40.0));
    early.insert(early.end(), {kFirst - kInterval / 2, 0.1});
    for (const auto& [taps, offset, spread, count] :
         {std::tuple{Taps({15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}), 7.5, 3.75, 16},
          {Taps(stumbles), 30.0, 0.0, 18},
          {early, -40.0, 0.0, 17}}) {
        const auto result = chart::Calibrate(taps, kFirst, kInterval);
        ASSERT_TRUE(result);
        EXPECT_NEAR(result->offsetMs, offset, 1e-9);
        EXPECT_NEAR(result->spreadMs, spread, 1e-9);
        EXPECT_EQ(result->taps, count);
    }
    // Sixteen taps at least.
    EXPECT_FALSE(chart::Calibrate(Taps(std::vector<double>(15, 30.0)), kFirst, kInterval));
    // The offset is real time: 20 ms early at double speed is 40 ms of song.
    EXPECT_DOUBLE_EQ(chart::CorrectedPressSeconds(10.0, -20.0, 2.0), 10.04);
}

} // namespace

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

// Lateness 0, 1, ... 15 ms: by linear interpolation between order
// statistics the median is 7.5 ms, the quartiles 3.75 and 11.25 ms.
// 1e-9 ms covers the rounding of song seconds.
TEST(Calibration, MedianAndHalfTheInterquartileRangeOfTheLateness) {
    std::vector<double> late;
    for (int k = 15; k >= 0; --k) {
        late.push_back(k);
    }
    const auto result = chart::Calibrate(Taps(late), kFirst, kInterval);
    ASSERT_TRUE(result);
    EXPECT_NEAR(result->offsetMs, 7.5, 1e-9);
    EXPECT_NEAR(result->spreadMs, 3.75, 1e-9);
    EXPECT_EQ(result->taps, 16);

    // Stumbles (200 ms late, 150 ms early) do not move the median.
    late.assign(18, 30.0);
    late[3] += 200.0;
    late[11] -= 150.0;
    const auto robust = chart::Calibrate(Taps(late), kFirst, kInterval);
    ASSERT_TRUE(robust);
    EXPECT_NEAR(robust->offsetMs, 30.0, 1e-9);
    EXPECT_NEAR(robust->spreadMs, 0.0, 1e-9);
    // Early taps give a negative offset; the 17 taps are an odd count.
    const auto early = chart::Calibrate(Taps(std::vector<double>(17, -40.0)), kFirst, kInterval);
    ASSERT_TRUE(early);
    EXPECT_NEAR(early->offsetMs, -40.0, 1e-9);
}

TEST(Calibration, NeedsSixteenTapsFromHalfAnIntervalBeforeTheFirstClick) {
    EXPECT_FALSE(chart::Calibrate(Taps(std::vector<double>(15, 30.0)), kFirst, kInterval));
    std::vector<double> taps = Taps(std::vector<double>(16, 30.0));
    EXPECT_EQ(chart::Calibrate(taps, kFirst, kInterval)->taps, 16);
    taps[0] = kFirst - kInterval / 2; // still counts
    EXPECT_EQ(chart::Calibrate(taps, kFirst, kInterval)->taps, 16);
    taps[0] = 0.1; // long before the first click: a tap on no click
    EXPECT_FALSE(chart::Calibrate(taps, kFirst, kInterval));
    EXPECT_FALSE(chart::Calibrate(Taps(std::vector<double>(20, 30.0)), kFirst, 0.0));
}

TEST(Calibration, OffsetIsRealTimeScaledBySpeed) {
    EXPECT_DOUBLE_EQ(chart::CorrectedPressSeconds(10.0, 30.0, 1.0), 9.97);
    EXPECT_DOUBLE_EQ(chart::CorrectedPressSeconds(10.0, 30.0, 0.5), 9.985);
    EXPECT_DOUBLE_EQ(chart::CorrectedPressSeconds(10.0, -20.0, 2.0), 10.04);
}

} // namespace

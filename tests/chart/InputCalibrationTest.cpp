#include "chart/InputCalibration.h"

#include <gtest/gtest.h>
#include <random>

namespace {

constexpr double kInterval = 0.5; // 120 BPM
constexpr double kFirst = 1.0;

std::vector<double> TapsLateBy(double lateMs, int count, double jitterMs, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter(-jitterMs, jitterMs);
    std::vector<double> taps;
    for (int i = 0; i < count; ++i) {
        taps.push_back(kFirst + i * kInterval + (lateMs + jitter(random)) * 0.001);
    }
    return taps;
}

struct LatenessCase {
    double lateMs;
    double jitterMs;
};

void PrintTo(const LatenessCase& c, std::ostream* out) {
    *out << c.lateMs << " ms late, jitter " << c.jitterMs << " ms";
}

class CalibrationLateness : public testing::TestWithParam<LatenessCase> {};

// The median of uniformly jittered taps lies within a fraction of the
// jitter of the true lateness; 2 ms is what the calibration must hold.
TEST_P(CalibrationLateness, MedianLatenessIsTheOffset) {
    const LatenessCase c = GetParam();
    const auto result =
        chart::Calibrate(TapsLateBy(c.lateMs, 24, c.jitterMs, 7), kFirst, kInterval);
    ASSERT_TRUE(result);
    EXPECT_NEAR(result->offsetMs, c.lateMs, 2.0);
    EXPECT_EQ(result->taps, 24);
    // Half the interquartile range of a uniform spread is a quarter of its
    // width (2 * jitter), give or take the sample.
    EXPECT_NEAR(result->spreadMs, c.jitterMs / 2.0, c.jitterMs / 4.0 + 0.01);
}

INSTANTIATE_TEST_SUITE_P(Cases, CalibrationLateness,
                         testing::Values(LatenessCase{30.0, 0.0}, LatenessCase{30.0, 8.0},
                                         LatenessCase{-40.0, 5.0}, LatenessCase{120.0, 10.0},
                                         LatenessCase{0.0, 4.0}));

TEST(Calibration, OutliersDoNotMoveTheMedian) {
    std::vector<double> taps = TapsLateBy(30.0, 20, 2.0, 3);
    taps[3] += 0.2; // a stumble: 200 ms late
    taps[11] -= 0.15;
    const auto result = chart::Calibrate(taps, kFirst, kInterval);
    ASSERT_TRUE(result);
    EXPECT_NEAR(result->offsetMs, 30.0, 2.0);
}

TEST(Calibration, NeedsSixteenTapsAfterTheFirstClick) {
    EXPECT_FALSE(chart::Calibrate(TapsLateBy(30.0, 15, 0.0, 1), kFirst, kInterval));
    std::vector<double> taps = TapsLateBy(30.0, 16, 0.0, 1);
    EXPECT_TRUE(chart::Calibrate(taps, kFirst, kInterval));
    // A press long before the first click is not a tap on any click.
    taps[0] = 0.1;
    EXPECT_FALSE(chart::Calibrate(taps, kFirst, kInterval));
    EXPECT_FALSE(chart::Calibrate(TapsLateBy(30.0, 20, 0.0, 1), kFirst, 0.0));
}

TEST(Calibration, OffsetIsRealTimeScaledBySpeed) {
    EXPECT_DOUBLE_EQ(chart::CorrectedPressSeconds(10.0, 30.0, 1.0), 9.97);
    EXPECT_DOUBLE_EQ(chart::CorrectedPressSeconds(10.0, 30.0, 0.5), 9.985);
    EXPECT_DOUBLE_EQ(chart::CorrectedPressSeconds(10.0, -20.0, 2.0), 10.04);
}

} // namespace

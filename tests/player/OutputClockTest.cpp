// The line through a device's timing reports, fed made-up reports whose
// truth is known: a sample clock a little off ours, callback jitter, and
// the slow wander a sound server's interpolated latency shows on a busy
// machine.
#include "player/OutputClock.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace player::test {
namespace {

constexpr int kRate = 44100;
constexpr int kBufferFrames = 441; // 10 ms requests, as the sound server makes them
// The device's frames last 200 ppm less than nominal (the null sink's
// clock against ours measured about that).
constexpr double kTrueNsPerFrame = 1e9 / kRate * (1.0 - 200e-6);
constexpr double kLatencyNs = 40e6;

double TruthNs(std::int64_t frame) {
    return kLatencyNs + static_cast<double>(frame) * kTrueNsPerFrame;
}

// What a busy sound server's figure does: every 12 s it drops 2.4 ms at
// once and creeps back over 8 s.
double WanderNs(double seconds) {
    const double since = std::fmod(seconds, 12.0);
    return since < 8.0 ? -2.4e6 * (1.0 - since / 8.0) : 0.0;
}

// Feeds `seconds` of reports (truth + wander + up to ±1 ms jitter) from
// `firstFrame` on; returns the worst distance of the fitted line from the
// truth at each buffer's start after `settledAfterSeconds`.
struct Feed {
    OutputClock clock{kRate, OutputClock::kServerMemoryNs};
    std::mt19937 random{14};
    std::int64_t frame = 0;

    double Run(double seconds, double settledAfterSeconds, bool wander) {
        std::uniform_real_distribution<double> jitterNs(-1e6, 1e6);
        const std::int64_t start = frame;
        double worstNs = 0.0;
        for (; static_cast<double>(frame - start) < seconds * kRate; frame += kBufferFrames) {
            const double at = static_cast<double>(frame) / kRate;
            const double reportNs =
                TruthNs(frame) + jitterNs(random) + (wander ? WanderNs(at) : 0.0);
            clock.Report(frame, kBufferFrames, std::llround(reportNs));
            if (static_cast<double>(frame - start) >= settledAfterSeconds * kRate) {
                worstNs = std::max(worstNs, std::abs(clock.HeardAtNs(frame) - TruthNs(frame)));
            }
        }
        return worstNs;
    }
};

TEST(OutputClock, SettlesWithinASecondAndFollowsTheDeviceClockThroughJitterAndWander) {
    Feed feed;
    feed.clock.Report(0, kBufferFrames, std::llround(TruthNs(0)));
    EXPECT_NEAR(feed.clock.HeardAtNs(0), TruthNs(0), 1.0) << "the first report stands alone";
    feed.frame = kBufferFrames;
    // A second of ±1 ms jitter: a hundred reports average it to a tenth or
    // so; 0.5 ms leaves room for the slope still leaning on the nominal.
    EXPECT_LT(feed.Run(1.0, 0.5, false), 0.5e6);
    // Three minutes of jitter and wander. The wander averages -0.8 ms, so
    // that is the least the line can be off by at its worst moment; it
    // must not follow the 2.4 ms drops.
    const double worstNs = feed.Run(180.0, 30.0, true);
    EXPECT_LT(worstNs, 1.2e6);
    // The position must not drift: the device's clock rate to within
    // 2 ppm (0.12 ms a minute).
    EXPECT_NEAR(feed.clock.NsPerFrame() / kTrueNsPerFrame, 1.0, 2e-6);
}

TEST(OutputClock, IgnoresALoneGlitchButStartsOverWhenTheOutputReallyMoves) {
    Feed feed;
    feed.Run(5.0, 5.0, false);
    const double before = feed.clock.HeardAtNs(feed.frame);
    // One report 30 ms late (a callback the scheduler held up, reported
    // with a stale latency): not a break.
    feed.clock.Report(feed.frame, kBufferFrames, std::llround(TruthNs(feed.frame) + 30e6));
    EXPECT_NEAR(feed.clock.HeardAtNs(feed.frame), before, 1e3);
    feed.frame += kBufferFrames;

    // An underrun: from here every frame is heard 100 ms later. Three
    // reports in a row say so, and the line moves there at once.
    const double gapNs = 100e6;
    for (int i = 0; i < 3; ++i) {
        feed.clock.Report(feed.frame, kBufferFrames, std::llround(TruthNs(feed.frame) + gapNs));
        feed.frame += kBufferFrames;
    }
    const std::int64_t last = feed.frame - kBufferFrames;
    EXPECT_NEAR(feed.clock.HeardAtNs(last), TruthNs(last) + gapNs, 1e3);
    // The slope starts over from the nominal rate: 200 ppm off, that is
    // 2 µs a buffer, well inside a millisecond for the next second.
    EXPECT_NEAR(feed.clock.HeardAtNs(last + kRate), TruthNs(last + kRate) + gapNs, 1e6);
}

} // namespace
} // namespace player::test

// Timing through the real sound server: prints the figures of one 60 s
// click track played by the engine and recorded from the null sink's
// monitor (scripts/bench-timing.sh starts the server).
#include "ServerTimingProbe.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    constexpr double kBpm = 60.0; // one click a second
    const player::test::ServerTimingFigures f = player::test::MeasureServerTiming(seconds, kBpm);
    if (!f.error.empty()) {
        std::fprintf(stderr, "failed: %s\n", f.error.c_str());
        return 1;
    }
    std::printf("clicks played %d, recorded %d (driver %s), output underflows %d\n", f.clicksPlayed,
                f.clicksRecorded, f.driver.c_str(), f.underflows);
    std::printf("click spacing jitter:   max %.3f ms, rms %.3f ms   (target below 1 ms)\n",
                f.jitterMaxMs, f.jitterRmsMs);
    std::printf("position drift:         %+.3f ms per minute        (target below 1 ms)\n",
                f.driftMsPerMinute);
    std::printf("  at the clicks:        %+.3f ms per minute\n", f.clickDriftMsPerMinute);
    std::printf("position error:         mean %+.2f ms, max %.2f ms\n", f.positionErrorMeanMs,
                f.positionErrorMaxMs);
    std::printf("output latency:         reported %.2f ms, measured %.2f ms, difference %+.2f ms"
                "   (target within 5 ms)\n",
                f.reportedLatencyMs, f.measuredLatencyMs,
                f.reportedLatencyMs - f.measuredLatencyMs);
    std::printf("server sample clock:    %+.0f ppm against the steady clock\n", f.serverClockPpm);
    std::printf("capture path delay:     %+.2f ms (heard to recorded, taken off the measurement)\n",
                f.captureDelayMs);
    std::printf("reference check:        %+.3f ms per minute (the server's requests against the "
                "recording)\n",
                f.requestsAgainstRecordingMsPerMinute);
    if (f.underflows > 0) {
        std::printf("note: the server ran out of audio; drift and error span the gap\n");
    }
    return 0;
}

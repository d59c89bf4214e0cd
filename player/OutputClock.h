#pragma once

#include <cstdint>

namespace player {

// When each output frame is heard, from the device's per-buffer reports
// (the steady-clock time the buffer's first frame is heard, as the device
// figures it at the moment). A single report is noisy: a callback runs late,
// a sound server dates its report a little after taking it, an
// interpolated latency wanders by a millisecond or two for seconds at a
// time on a busy machine. The frames
// themselves go by at the device's steady rate, so frame -> heard time is a
// straight line until the output breaks (an underrun, a stalled driver).
// This fits that line by least squares over the recent reports (older ones
// weigh less and less): its slope follows the device's clock against ours,
// and it places a frame to a small fraction of a report's noise. Seeks,
// pauses and rate changes do not touch it: they change which song frame an
// output frame carries, not when it is heard.
//
// No allocation, no locks: the audio callback owns it.
class OutputClock {
public:
    // How far back reports count (a report's weight falls by e in this much
    // output). A sound server reports from its sample clock, steady over far
    // longer than a minute: half a minute averages out its reports' noise
    // and any wander of a few seconds.
    static constexpr double kServerMemoryNs = 30e9;
    // Drivers that report nothing give only their callback times, and those
    // that pace themselves with a sleep (SDL's dummy and disk drivers) have
    // no steady clock at all: each late wake-up moves every later buffer.
    // The line may then look back only a few buffers, about what a
    // callback's jitter needs to average out.
    static constexpr double kCallbackMemoryNs = 0.1e9;

    OutputClock(int sampleRate, double memoryNs) : m_sampleRate(sampleRate), m_memoryNs(memoryNs) {}

    // A report for the buffer starting at output frame `frame` (counted on
    // from the device's start, never back), `frames` long. A report far off
    // the line is taken for a glitch of that one report and left out; when
    // a few in a row agree on a new place, the output broke and the fit
    // starts over from them.
    void Report(std::int64_t frame, int frames, std::int64_t heardAtNs) noexcept;

    // When output frame `frame` is heard, on the fitted line. Only after a
    // first report.
    double HeardAtNs(std::int64_t frame) const noexcept;
    // The fitted length of a frame, in steady-clock ns.
    double NsPerFrame() const noexcept;
    bool Started() const noexcept { return m_weight > 0.0; }

private:
    void Restart(std::int64_t frame, double heardAtNs) noexcept;
    void Add(double x, double y, int frames) noexcept;

    int m_sampleRate;
    double m_memoryNs;
    // The fit works on offsets from the first report since the last
    // restart, so the sums stay small enough for doubles over hours.
    std::int64_t m_originFrame = 0;
    double m_originNs = 0.0;
    // Exponentially weighted means and centred sums (a weighted Welford).
    double m_weight = 0.0;
    double m_meanX = 0.0;
    double m_meanY = 0.0;
    double m_sxx = 0.0;
    double m_sxy = 0.0;
    // Reports off the line in a row, and the latest of them.
    int m_offCount = 0;
    std::int64_t m_offFrame = 0;
    double m_offNs = 0.0;
};

} // namespace player

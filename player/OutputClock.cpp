#include "player/OutputClock.h"

#include <algorithm>
#include <cmath>

namespace player {

namespace {

// The slope leans on the nominal rate until the reports outweigh it: the
// assumption weighs as much as the centred sum of squares of one report
// spread evenly over a second (in seconds squared), which reports every
// 10 ms outweigh after some 0.2 s.
constexpr double kNominalSlopeWeight = 1.0 / 12.0;
// A device clock more than 1 % off ours is not drift but a fault.
constexpr double kMaxSlopeDeviation = 0.01;
// A report further off the line than half a buffer (or 2 ms, for small
// buffers) is not noise: within that a late callback is still the buffer it
// was meant to be, a jump beyond it is a break in the output.
constexpr double kMinOffLineNs = 2e6;
// Reports off the line, in a row and agreeing with each other, that mean
// the output really moved: a lone glitch is never more than one or two.
constexpr int kOffReportsForRestart = 3;

} // namespace

void OutputClock::Report(std::int64_t frame, int frames, std::int64_t heardAtNs) noexcept {
    const double heard = static_cast<double>(heardAtNs);
    if (m_weight == 0.0) {
        Restart(frame, heard);
        return;
    }
    const double nominalNs = frames * 1e9 / m_sampleRate;
    const double limitNs = std::max(kMinOffLineNs, nominalNs / 2.0);
    if (std::abs(heard - HeardAtNs(frame)) <= limitNs) {
        m_offCount = 0;
        Add(static_cast<double>(frame - m_originFrame), heard - m_originNs, frames);
        return;
    }
    // Off the line: does it agree with the previous off-line report?
    const bool agrees = m_offCount > 0 &&
                        std::abs(heard - m_offNs -
                                 static_cast<double>(frame - m_offFrame) * NsPerFrame()) <= limitNs;
    m_offCount = agrees ? m_offCount + 1 : 1;
    m_offFrame = frame;
    m_offNs = heard;
    if (m_offCount >= kOffReportsForRestart) {
        Restart(frame, heard);
    }
}

void OutputClock::Restart(std::int64_t frame, double heardAtNs) noexcept {
    m_originFrame = frame;
    m_originNs = heardAtNs;
    m_weight = 0.0;
    m_meanX = 0.0;
    m_meanY = 0.0;
    m_sxx = 0.0;
    m_sxy = 0.0;
    m_offCount = 0;
    Add(0.0, 0.0, 0);
}

void OutputClock::Add(double x, double y, int frames) noexcept {
    const double keep = std::exp(-frames * 1e9 / m_sampleRate / m_memoryNs);
    m_weight = keep * m_weight + 1.0;
    const double dx = x - m_meanX;
    const double dy = y - m_meanY;
    m_meanX += dx / m_weight;
    m_meanY += dy / m_weight;
    m_sxx = keep * m_sxx + dx * (x - m_meanX);
    m_sxy = keep * m_sxy + dx * (y - m_meanY);
}

double OutputClock::NsPerFrame() const noexcept {
    const double nominal = 1e9 / m_sampleRate;
    const double priorSxx = kNominalSlopeWeight * m_sampleRate * m_sampleRate;
    const double slope = (m_sxy + priorSxx * nominal) / (m_sxx + priorSxx);
    return std::clamp(slope, nominal * (1.0 - kMaxSlopeDeviation),
                      nominal * (1.0 + kMaxSlopeDeviation));
}

double OutputClock::HeardAtNs(std::int64_t frame) const noexcept {
    const double x = static_cast<double>(frame - m_originFrame);
    return m_originNs + m_meanY + (x - m_meanX) * NsPerFrame();
}

} // namespace player

#include "audio/OnsetEnvelope.h"

#include "audio/FftwPlan.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

namespace audio {

namespace {

// Analysis frame of about 23 ms (1024 samples at 44.1 kHz): long enough to
// resolve the kick's fundamental into the low band, short enough to keep
// neighbouring beats apart at 300 BPM.
constexpr double kFrameSeconds = 0.0232;
constexpr std::size_t kHopsPerFrame = 4;
// The fine envelope's block: the first beat is placed to about a block.
constexpr double kFineBlockSeconds = 0.001;
// Above this the flux adds cost and little timing: hats have plenty below.
constexpr double kTopBandHz = 12000.0;
// log2(1 + kCompression * |X|) with samples in [-1, 1]: quiet partials still
// count, so the flux hears the onset's spread, not only its loudest bin.
constexpr float kCompression = 1.0F;

std::size_t FrameSizeFor(int sampleRate) {
    const double wanted = kFrameSeconds * sampleRate;
    return std::bit_ceil(static_cast<std::size_t>(std::max(64.0, wanted * 0.75)));
}

// A bin whose power did not rise counts as this in the flatness's log
// mean: far below any attack, so a chord's few rising partials read tonal.
constexpr float kFlatnessFloorPower = 1e-12F;

// log2 to about 0.01: the flux sums hundreds of bins per frame, and the
// library's log was a third of the analysis time.
float FastLog2(float x) {
    const auto bits = std::bit_cast<std::uint32_t>(x);
    const auto exponent = static_cast<float>(static_cast<int>(bits >> 23) - 127);
    const float mantissa = std::bit_cast<float>((bits & 0x7FFFFFU) | 0x3F800000U); // [1, 2)
    return exponent + (-0.34484843F * mantissa + 2.02466578F) * mantissa - 0.67487759F;
}

} // namespace

struct OnsetAnalyzer::Fft {
    explicit Fft(std::size_t size) : plan(size) {}
    FftwRealPlan plan;
};

OnsetAnalyzer::OnsetAnalyzer(int sampleRate)
    : m_sampleRate(sampleRate), m_frameSize(FrameSizeFor(sampleRate)),
      m_hop(m_frameSize / kHopsPerFrame) {
    m_fft = std::make_unique<Fft>(m_frameSize);
    const double binHz = static_cast<double>(sampleRate) / static_cast<double>(m_frameSize);
    m_lowBins = std::max<std::size_t>(2, static_cast<std::size_t>(kLowBandHz / binHz) + 1);
    const std::size_t bins = m_frameSize / 2 + 1;
    m_midFirstBin = static_cast<std::size_t>(std::ceil(kMidBandLowHz / binHz));
    m_midEndBin = std::min(bins, static_cast<std::size_t>(kMidBandHighHz / binHz) + 1);
    const std::size_t topBins = std::min(bins, static_cast<std::size_t>(kTopBandHz / binHz) + 1);
    m_previousLog.assign(topBins, 0.0F);
    m_previousPower.assign(m_midEndBin - m_midFirstBin, 0.0F);
    m_currentLog.assign(topBins, 0.0F);
    m_window.resize(m_frameSize);
    for (std::size_t i = 0; i < m_frameSize; ++i) {
        m_window[i] = static_cast<float>(
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                 static_cast<double>(m_frameSize)));
    }
    // Frame 0 is centred on song time 0: half a frame of silence before it.
    m_ring.assign(m_frameSize / 2, 0.0F);
    m_ring.reserve(m_frameSize);
    m_fineBlock = std::max<std::size_t>(
        1, static_cast<std::size_t>(std::lround(kFineBlockSeconds * sampleRate)));
    m_out.frameRate = static_cast<double>(sampleRate) / static_cast<double>(m_hop);
    m_out.fineBlockSeconds = static_cast<double>(m_fineBlock) / sampleRate;
}

OnsetAnalyzer::~OnsetAnalyzer() = default;

void OnsetAnalyzer::Add(const float* samples, std::size_t count) {
    m_totalSamples += count;
    for (std::size_t i = 0; i < count; ++i) {
        const float x = samples[i];
        const float difference = x - m_previousSample;
        m_previousSample = x;
        m_fineSum += static_cast<double>(x * x);
        m_fineHighSum += static_cast<double>(difference * difference);
        if (++m_fineCount == m_fineBlock) {
            m_out.fineEnergy.push_back(static_cast<float>(m_fineSum));
            m_out.fineHighEnergy.push_back(static_cast<float>(m_fineHighSum));
            m_fineSum = 0;
            m_fineHighSum = 0;
            m_fineCount = 0;
        }
    }
    while (count > 0) {
        const std::size_t take = std::min(count, m_frameSize - m_ring.size());
        m_ring.insert(m_ring.end(), samples, samples + take);
        samples += take;
        count -= take;
        if (m_ring.size() == m_frameSize) {
            AnalyseFrame();
            m_ring.erase(m_ring.begin(), m_ring.begin() + static_cast<std::ptrdiff_t>(m_hop));
        }
    }
}

void OnsetAnalyzer::AnalyseFrame() {
    float* in = m_fft->plan.Input();
    for (std::size_t i = 0; i < m_frameSize; ++i) {
        in[i] = m_ring[i] * m_window[i];
    }
    m_fft->plan.Execute();
    const float(*out)[2] = m_fft->plan.Output();
    float flux = 0;
    float lowFlux = 0;
    float midFlux = 0;
    float midPowerRise = 0;
    float midLogPowerRise = 0;
    for (std::size_t bin = 0; bin < m_currentLog.size(); ++bin) {
        const float power = out[bin][0] * out[bin][0] + out[bin][1] * out[bin][1];
        const float level = FastLog2(1.0F + kCompression * std::sqrt(power));
        m_currentLog[bin] = level;
        const float rise = std::max(0.0F, level - m_previousLog[bin]);
        flux += rise;
        if (bin < m_lowBins) {
            lowFlux += rise;
        } else if (bin >= m_midFirstBin && bin < m_midEndBin) {
            midFlux += rise;
            const float powerRise = std::max(0.0F, power - m_previousPower[bin - m_midFirstBin]);
            m_previousPower[bin - m_midFirstBin] = power;
            midPowerRise += powerRise;
            midLogPowerRise += FastLog2(powerRise + kFlatnessFloorPower);
        }
    }
    std::swap(m_currentLog, m_previousLog);
    m_out.flux.push_back(flux);
    m_out.lowFlux.push_back(lowFlux);
    m_out.midFlux.push_back(midFlux);
    const auto midBins = static_cast<float>(m_midEndBin - m_midFirstBin);
    m_out.midFluxFlat.push_back(midPowerRise > 0 ? midFlux * std::exp2(midLogPowerRise / midBins) /
                                                       (midPowerRise / midBins)
                                                 : 0.0F);
}

OnsetEnvelopes OnsetAnalyzer::Finish() {
    // Carry the last samples to the centre of a frame.
    const std::size_t total = m_totalSamples;
    const std::vector<float> tail(m_frameSize / 2, 0.0F);
    Add(tail.data(), tail.size());
    if (!m_out.flux.empty()) {
        // The first frame's rise is from nothing: not an onset.
        m_out.flux[0] = 0;
        m_out.lowFlux[0] = 0;
        m_out.midFlux[0] = 0;
        m_out.midFluxFlat[0] = 0;
    }
    m_out.durationSeconds = static_cast<double>(total) / m_sampleRate;
    const auto blocks = (total + m_fineBlock - 1) / m_fineBlock;
    m_out.fineEnergy.resize(std::min(m_out.fineEnergy.size(), blocks));
    m_out.fineHighEnergy.resize(m_out.fineEnergy.size());
    return std::move(m_out);
}

} // namespace audio

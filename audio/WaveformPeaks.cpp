#include "audio/WaveformPeaks.h"

#include "audio/SongStream.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace audio {

namespace {

std::int8_t ToPeak(int sample) {
    return static_cast<std::int8_t>(sample * 127 / 32768);
}

} // namespace

std::pair<int, int> WaveformPeaks::Range(double fromSeconds, double toSeconds) const {
    if (levels.empty() || sampleRate <= 0 || !(toSeconds > fromSeconds)) {
        return {0, 0};
    }
    const double spanSamples = (toSeconds - fromSeconds) * sampleRate;
    std::size_t chosen = 0;
    while (chosen + 1 < levels.size() && levels[chosen + 1].samplesPerBin <= spanSamples) {
        ++chosen;
    }
    const Level& level = levels[chosen];
    const auto bins = static_cast<std::int64_t>(level.low.size());
    const auto first = std::max<std::int64_t>(
        0, static_cast<std::int64_t>(std::floor(fromSeconds * sampleRate / level.samplesPerBin)));
    const auto last = std::min<std::int64_t>(
        bins, static_cast<std::int64_t>(std::ceil(toSeconds * sampleRate / level.samplesPerBin)));
    if (first >= last) {
        return {0, 0};
    }
    int low = std::numeric_limits<int>::max();
    int high = std::numeric_limits<int>::min();
    for (auto i = static_cast<std::size_t>(first); i < static_cast<std::size_t>(last); ++i) {
        low = std::min<int>(low, level.low[i]);
        high = std::max<int>(high, level.high[i]);
    }
    return {low, high};
}

Result<WaveformPeaks> ComputeWaveformPeaks(const std::string& path,
                                           const std::atomic<bool>* cancel) {
    Result<std::unique_ptr<SongStream>> opened = SongStream::Open(path);
    if (!opened) {
        return opened.error();
    }
    SongStream& stream = *opened.value();
    WaveformPeaks peaks;
    peaks.sampleRate = stream.SampleRate();
    WaveformPeaks::Level finest;
    finest.samplesPerBin = WaveformPeaks::kFinestBinSamples;
    const auto channels = static_cast<std::size_t>(stream.Channels());
    int low = 0;
    int high = 0;
    int inBin = 0;
    for (std::span<const std::int16_t> block = stream.Next(); !block.empty();
         block = stream.Next()) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            return WaveformPeaks{};
        }
        for (std::size_t i = 0; i + channels <= block.size(); i += channels) {
            for (std::size_t c = 0; c < channels; ++c) {
                low = std::min<int>(low, block[i + c]);
                high = std::max<int>(high, block[i + c]);
            }
            if (++inBin == WaveformPeaks::kFinestBinSamples) {
                finest.low.push_back(ToPeak(low));
                finest.high.push_back(ToPeak(high));
                low = high = inBin = 0;
            }
        }
    }
    if (inBin > 0) {
        finest.low.push_back(ToPeak(low));
        finest.high.push_back(ToPeak(high));
    }
    peaks.levels.push_back(std::move(finest));
    for (int level = 1; level < WaveformPeaks::kLevels; ++level) {
        const WaveformPeaks::Level& finer = peaks.levels.back();
        WaveformPeaks::Level coarser;
        coarser.samplesPerBin = finer.samplesPerBin * WaveformPeaks::kLevelFactor;
        for (std::size_t i = 0; i < finer.low.size(); i += WaveformPeaks::kLevelFactor) {
            const std::size_t end = std::min(finer.low.size(), i + WaveformPeaks::kLevelFactor);
            coarser.low.push_back(
                *std::min_element(finer.low.begin() + static_cast<std::ptrdiff_t>(i),
                                  finer.low.begin() + static_cast<std::ptrdiff_t>(end)));
            coarser.high.push_back(
                *std::max_element(finer.high.begin() + static_cast<std::ptrdiff_t>(i),
                                  finer.high.begin() + static_cast<std::ptrdiff_t>(end)));
        }
        peaks.levels.push_back(std::move(coarser));
    }
    return peaks;
}

} // namespace audio

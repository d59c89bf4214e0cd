#pragma once

#include "audio/AudioError.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// A song's waveform for drawing: the lowest and highest sample (all
// channels, scaled to -127..127) of consecutive bins, at a few bin widths
// so that a view of any zoom reads a few bins per pixel row.
struct WaveformPeaks {
    struct Level {
        int samplesPerBin = 0;
        std::vector<std::int8_t> low;
        std::vector<std::int8_t> high;
    };
    int sampleRate = 0;
    std::vector<Level> levels; // finest first, each kLevelFactor times coarser

    static constexpr int kFinestBinSamples = 256;
    static constexpr int kLevelFactor = 4;
    static constexpr int kLevels = 4;

    // Lowest and highest over song times [fromSeconds, toSeconds), from the
    // coarsest level whose bins still fit the span; {0, 0} outside the song.
    std::pair<int, int> Range(double fromSeconds, double toSeconds) const;
};

// Streams the song at `path` once (memory: the peaks and one decoded
// block). `cancel`, when given, is read between blocks; a cancelled run
// returns empty peaks.
Result<WaveformPeaks> ComputeWaveformPeaks(const std::string& path,
                                           const std::atomic<bool>* cancel = nullptr);

} // namespace audio

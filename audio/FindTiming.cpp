#include "audio/FindTempo.h"
#include "audio/TimingMapFinder.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>

namespace audio {

Result<TimingSearch> FindTiming(const std::string& path, const ProgressCallback& progress,
                                const std::atomic<bool>* cancel) {
    Result<std::optional<OnsetEnvelopes>> decoded = DecodeOnsets(path, progress, cancel);
    if (!decoded) {
        return decoded.error();
    }
    if (!decoded.value()) {
        return TimingSearch{true, {}, std::nullopt};
    }
    const OnsetEnvelopes& envelopes = *decoded.value();
    TimingSearch search;
    // A moving tempo smears every constant fold: the map starts from the
    // candidates however weak their beat, and the constant ones are offered
    // only when their beat is steady.
    const TempoFitResult fit = FitTempoMeasured(envelopes, 0.0);
    if (!fit.candidates.empty()) {
        search.map = FitTimingMap(envelopes, fit.candidates);
    }
    if (fit.beatContrast >= kMinBeatContrast) {
        search.candidates = fit.candidates;
    }
    if (progress) {
        progress(100);
    }
    return search;
}

TimingFinder::TimingFinder(std::string path)
    : m_thread([this, path = std::move(path)] {
          m_result = FindTiming(
              path, [this](int percent) { m_percent.store(percent, std::memory_order_relaxed); },
              &m_cancel);
          m_finished.store(true, std::memory_order_release);
      }) {}

TimingFinder::~TimingFinder() {
    Cancel();
    // m_thread joins here, before the members it writes go.
}

std::vector<Result<TimingSearch>> FindTimingInFiles(const std::vector<std::string>& paths,
                                                    unsigned workers) {
    std::vector<Result<TimingSearch>> results(paths.size(), Result<TimingSearch>{TimingSearch{}});
    std::atomic<std::size_t> next{0};
    {
        std::vector<std::jthread> threads;
        const std::size_t count =
            std::clamp<std::size_t>(workers, 1, std::max<std::size_t>(paths.size(), 1));
        for (std::size_t i = 0; i < count; ++i) {
            threads.emplace_back([&] {
                for (std::size_t file = next++; file < paths.size(); file = next++) {
                    results[file] = FindTiming(paths[file]);
                }
            });
        }
    }
    return results;
}

} // namespace audio

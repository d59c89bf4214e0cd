#include "audio/SongStream.h"
#include "audio/TimingMapFinder.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>

namespace audio {

namespace {

constexpr float kSampleScale = 1.0F / 32768.0F;
constexpr int kDecodedPercent = 95;

void MixToMono(std::span<const std::int16_t> block, int channels, std::vector<float>& mono) {
    const auto perFrame = static_cast<std::size_t>(channels);
    const std::size_t frames = block.size() / perFrame;
    mono.resize(frames);
    const float scale = kSampleScale / static_cast<float>(channels);
    for (std::size_t i = 0; i < frames; ++i) {
        float sum = 0;
        for (std::size_t c = 0; c < perFrame; ++c) {
            sum += block[i * perFrame + c];
        }
        mono[i] = sum * scale;
    }
}

} // namespace

Result<TimingSearch> FindTiming(const std::string& path, const ProgressCallback& progress,
                                const std::atomic<bool>* cancel) {
    int lastPercent = -1;
    auto report = [&](int percent) {
        if (progress && percent != lastPercent) {
            lastPercent = percent;
            progress(percent);
        }
    };
    report(0);
    Result<std::unique_ptr<SongStream>> opened = SongStream::Open(path);
    if (!opened) {
        return opened.error();
    }
    SongStream& stream = *opened.value();
    OnsetAnalyzer analyzer(stream.SampleRate());
    std::vector<float> mono;
    for (std::span<const std::int16_t> block = stream.Next(); !block.empty();
         block = stream.Next()) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            return TimingSearch{true, {}, std::nullopt};
        }
        MixToMono(block, stream.Channels(), mono);
        analyzer.Add(mono.data(), mono.size());
        report(stream.ProgressPercent() * kDecodedPercent / 100);
    }
    const OnsetEnvelopes envelopes = analyzer.Finish();
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
    report(100);
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

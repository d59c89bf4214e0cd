#include "audio/FindTempo.h"

#include "audio/OnsetEnvelope.h"
#include "audio/SongStream.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace audio {

namespace {

constexpr float kSampleScale = 1.0F / 32768.0F;

// Interleaved 16-bit samples mixed to mono floats in [-1, 1).
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

Result<std::optional<OnsetEnvelopes>> DecodeOnsets(const std::string& path,
                                                   const ProgressCallback& progress,
                                                   const std::atomic<bool>* cancel) {
    int lastPercent = -1;
    const auto report = [&](int percent) {
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
            return std::optional<OnsetEnvelopes>();
        }
        MixToMono(block, stream.Channels(), mono);
        analyzer.Add(mono.data(), mono.size());
        report(stream.ProgressPercent() * kDecodedPercent / 100);
    }
    return std::optional<OnsetEnvelopes>(analyzer.Finish());
}

Result<TempoSearch> FindTempo(const std::string& path, const ProgressCallback& progress,
                              const std::atomic<bool>* cancel) {
    Result<std::optional<OnsetEnvelopes>> decoded = DecodeOnsets(path, progress, cancel);
    if (!decoded) {
        return decoded.error();
    }
    if (!decoded.value()) {
        return TempoSearch{true, {}};
    }
    TempoFitResult fit = FitTempoMeasured(*decoded.value());
    TempoSearch search;
    search.candidates = std::move(fit.candidates);
    search.beatContrast = fit.beatContrast;
    if (progress) {
        progress(100);
    }
    return search;
}

TempoFinder::TempoFinder(std::string path)
    : m_thread([this, path = std::move(path)] {
          m_result = FindTempo(
              path, [this](int percent) { m_percent.store(percent, std::memory_order_relaxed); },
              &m_cancel);
          m_finished.store(true, std::memory_order_release);
      }) {}

TempoFinder::~TempoFinder() {
    Cancel();
    // m_thread joins here, before the members it writes go.
}

bool FindTempoFiles(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err,
                    unsigned workers) {
    std::vector<std::optional<Result<TempoSearch>>> results(paths.size());
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> nextFile{0};
    auto work = [&] {
        for (std::size_t file = nextFile++; file < paths.size(); file = nextFile++) {
            Result<TempoSearch> result = FindTempo(paths[file]);
            {
                const std::lock_guard lock(mutex);
                results[file].emplace(std::move(result));
            }
            ready.notify_one();
        }
    };
    std::vector<std::jthread> threads;
    const std::size_t count =
        std::clamp<std::size_t>(workers, 1, std::max<std::size_t>(paths.size(), 1));
    for (std::size_t i = 0; i < count; ++i) {
        threads.emplace_back(work);
    }
    bool allOk = true;
    for (std::size_t file = 0; file < paths.size(); ++file) {
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return results[file].has_value(); });
        const Result<TempoSearch>& result = *results[file];
        if (!result) {
            std::fprintf(err, "%s\n", result.error().message.c_str());
            allOk = false;
            continue;
        }
        if (result.value().candidates.empty()) {
            std::fprintf(err, "%s: No steady beat found\n", paths[file].c_str());
            allOk = false;
            continue;
        }
        for (const TempoCandidate& candidate : result.value().candidates) {
            std::fprintf(out, "%.2f\t%.3f\t%.2f\t%s\n", candidate.bpm, candidate.gapSeconds,
                         candidate.confidence, paths[file].c_str());
        }
        std::fflush(out);
    }
    return allOk;
}

} // namespace audio

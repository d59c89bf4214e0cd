#pragma once

#include "audio/AudioError.h"
#include "audio/EstimateBpm.h"
#include "audio/OnsetEnvelope.h"
#include "audio/TempoFit.h"

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace audio {

struct TempoSearch {
    bool cancelled = false;
    // Best first; empty when no steady beat was found.
    std::vector<TempoCandidate> candidates;
    double beatContrast = 0; // see kMinBeatContrast
};

// The song at `path` decoded block by block into its onset envelopes (on
// the player's time line), reporting 0..kDecodedPercent through `progress`,
// each value once; none when `cancel` was set between blocks. What
// FindTempo and FindTiming fit; they report 100 when their fit is done.
inline constexpr int kDecodedPercent = 95; // the fits take the last few
Result<std::optional<OnsetEnvelopes>> DecodeOnsets(const std::string& path,
                                                   const ProgressCallback& progress,
                                                   const std::atomic<bool>* cancel);

// Decodes the song at `path` block by block (on the player's time line, so
// the Gap means the same in playback) into the onset envelopes and fits the
// tempo. Memory stays flat: the envelopes, never the decoded song.
// `progress` is called on the calling thread with 0..100 as the decoding
// advances; `cancel`, when given, is read between blocks and ends the run
// with `cancelled` set.
Result<TempoSearch> FindTempo(const std::string& path, const ProgressCallback& progress = {},
                              const std::atomic<bool>* cancel = nullptr);

// FindTempo on a thread of its own, for a window that polls. Destroying
// the finder cancels the run and waits for the thread.
class TempoFinder {
public:
    explicit TempoFinder(std::string path);
    ~TempoFinder();
    TempoFinder(const TempoFinder&) = delete;
    TempoFinder& operator=(const TempoFinder&) = delete;

    // Any thread.
    int ProgressPercent() const { return m_percent.load(std::memory_order_relaxed); }
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    void Cancel() { m_cancel.store(true, std::memory_order_relaxed); }

    // The outcome, once Finished() is true.
    const Result<TempoSearch>& Outcome() const { return m_result; }

private:
    std::atomic<int> m_percent{0};
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_finished{false};
    Result<TempoSearch> m_result{TempoSearch{}};
    std::jthread m_thread;
};

// Prints each file's candidates to `out`, one line per candidate, best
// first: "BPM<TAB>GAP_SECONDS<TAB>CONFIDENCE<TAB>PATH" (BPM %.2f, Gap %.3f,
// confidence %.2f), files in argument order. A file that fails puts its
// error message on `err` instead; a file without a steady beat puts
// "PATH: No steady beat found" there. `workers` files are analysed at once.
// True when every file had candidates.
bool FindTempoFiles(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err,
                    unsigned workers);

} // namespace audio

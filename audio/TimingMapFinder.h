#pragma once

#include "audio/AudioError.h"
#include "audio/EstimateBpm.h"
#include "audio/OnsetEnvelope.h"
#include "audio/TempoFit.h"
#include "chart/TimingMap.h"

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace audio {

// A song's timing as the song document holds it, for songs whose tempo
// moves: BPM and Gap, then tempo changes and stops at whole beats.
struct TimingMapFit {
    double bpm = 0;
    double gapSeconds = 0;
    std::vector<chart::BpmChange> changes;
    std::vector<chart::Stop> stops;
    // The share of the tracked beats (those on an onset) that the map puts
    // within kMapToleranceSeconds, 0..1.
    double confidence = 0;
    // True when the best constant tempo leaves beats more than
    // kMapToleranceSeconds off and the map needs a change or a stop.
    bool needed = false;
};

// How far a beat of the map may lie from the music's.
inline constexpr double kMapToleranceSeconds = 0.005;

// Tracks the beats of the song (a dynamic programme over beat time and
// period, seeded with the best constant tempo, `candidates` best first) and
// fits the fewest BPM segments that keep every tracked beat within the
// tolerance; a silence the music comes back from off the grid becomes a
// stop. Without candidates there is no beat: a fit with BPM 0.
TimingMapFit FitTimingMap(const OnsetEnvelopes& envelopes,
                          const std::vector<TempoCandidate>& candidates);

struct TimingSearch {
    bool cancelled = false;
    std::vector<TempoCandidate> candidates; // as FindTempo lists them
    std::optional<TimingMapFit> map;        // none when there is no beat
};

// FindTempo's decoding and fit, plus the timing map, from one decode.
// Progress and cancelling as FindTempo's.
Result<TimingSearch> FindTiming(const std::string& path, const ProgressCallback& progress = {},
                                const std::atomic<bool>* cancel = nullptr);

// FindTiming on a thread of its own, for a window that polls. Destroying
// the finder cancels the run and waits for the thread.
class TimingFinder {
public:
    explicit TimingFinder(std::string path);
    ~TimingFinder();
    TimingFinder(const TimingFinder&) = delete;
    TimingFinder& operator=(const TimingFinder&) = delete;

    // Any thread.
    int ProgressPercent() const { return m_percent.load(std::memory_order_relaxed); }
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    void Cancel() { m_cancel.store(true, std::memory_order_relaxed); }

    // The outcome, once Finished() is true.
    const Result<TimingSearch>& Outcome() const { return m_result; }

private:
    std::atomic<int> m_percent{0};
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_finished{false};
    Result<TimingSearch> m_result{TimingSearch{}};
    std::jthread m_thread;
};

// FindTiming on each file, `workers` files at once (one core each); the
// results in argument order.
std::vector<Result<TimingSearch>> FindTimingInFiles(const std::vector<std::string>& paths,
                                                    unsigned workers);

} // namespace audio

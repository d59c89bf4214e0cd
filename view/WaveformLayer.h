#pragma once

#include "audio/WaveformPeaks.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class QPainter;

namespace view {

// The song's waveform behind the step view's lanes: time runs down the view
// at the lane's own scale, so the beat lines cross the kicks when BPM and
// Gap fit. The peaks are computed once per song on a worker thread, the
// first time the song is drawn; until then nothing shows.
class WaveformLayer {
public:
    // `ready` is called on the worker thread once the peaks are there.
    explicit WaveformLayer(std::function<void()> ready);
    ~WaveformLayer();
    WaveformLayer(const WaveformLayer&) = delete;
    WaveformLayer& operator=(const WaveformLayer&) = delete;

    // Window thread. Draws into a frame of `scale` device pixels per view
    // pixel the song at `songPath` as it plays at `positionSeconds`; nothing
    // without a usable BPM.
    void Paint(QPainter& painter, int scale, const std::string& songPath, double positionSeconds,
               float bpm);

    // Window thread: whether the peaks of `songPath` are ready (for tests).
    bool HasPeaks(const std::string& songPath);

private:
    void Start(const std::string& songPath);

    std::function<void()> m_ready;
    std::string m_path; // window thread
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    std::shared_ptr<const audio::WaveformPeaks> m_peaks; // guarded by m_mutex
    std::jthread m_worker;
};

} // namespace view

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
// as the lane's beats do, so the beat lines cross the kicks when the timing
// fits. The peaks are computed once per song on a worker thread, the
// first time the song is drawn; until then nothing shows.
class WaveformLayer {
public:
    // `ready` is called on the worker thread once the peaks are there.
    explicit WaveformLayer(std::function<void()> ready);
    ~WaveformLayer();
    WaveformLayer(const WaveformLayer&) = delete;
    WaveformLayer& operator=(const WaveformLayer&) = delete;

    // Window thread. Draws into a frame of `scale` device pixels per view
    // pixel, `viewHeight` view rows tall, the song at `songPath` behind
    // `columns` arrow columns; `secondsAtRow` gives the song time at a view
    // row (fractional), so the waveform follows the lane's zoom, tempo
    // changes and stops. Nothing without it.
    void Paint(QPainter& painter, int scale, const std::string& songPath,
               const std::function<double(double)>& secondsAtRow, int viewHeight, int columns);

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

#include "view/WaveformLayer.h"

#include "view/StepLane.h"

#include <QColor>
#include <QPainter>
#include <cmath>

namespace view {

namespace {

// Across the four arrow columns, centred between the first and the last.
constexpr int kCentreX = (kColumnX[0] + kColumnX[3] + kArrowSize) / 2;
constexpr int kHalfWidth = (kColumnX[3] + kArrowSize - kColumnX[0]) / 2;
constexpr int kPeakFullScale = 127;
// Light enough that the AND-drawn arrows and lines stay readable over it.
const QColor kWaveColour(176, 200, 232);
// Above this the lane stands still (see ScrollAt); so does the waveform.
constexpr float kMaxDrawnBpm = 10000.0F;

} // namespace

WaveformLayer::WaveformLayer(std::function<void()> ready) : m_ready(std::move(ready)) {}

WaveformLayer::~WaveformLayer() {
    m_cancel = true;
    // m_worker joins here.
}

void WaveformLayer::Start(const std::string& songPath) {
    m_cancel = true;
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_cancel = false;
    {
        const std::lock_guard lock(m_mutex);
        m_peaks.reset();
    }
    m_path = songPath;
    m_worker = std::jthread([this, songPath] {
        audio::Result<audio::WaveformPeaks> peaks =
            audio::ComputeWaveformPeaks(songPath, &m_cancel);
        if (!peaks || m_cancel) {
            return;
        }
        {
            const std::lock_guard lock(m_mutex);
            m_peaks = std::make_shared<const audio::WaveformPeaks>(std::move(peaks.value()));
        }
        if (m_ready) {
            m_ready();
        }
    });
}

bool WaveformLayer::HasPeaks(const std::string& songPath) {
    const std::lock_guard lock(m_mutex);
    return songPath == m_path && m_peaks != nullptr;
}

void WaveformLayer::Paint(QPainter& painter, int scale, const std::string& songPath,
                          double positionSeconds, float bpm) {
    if (songPath != m_path) {
        Start(songPath);
    }
    std::shared_ptr<const audio::WaveformPeaks> peaks;
    {
        const std::lock_guard lock(m_mutex);
        peaks = m_peaks;
    }
    if (!peaks || !(bpm > 0.0F) || bpm > kMaxDrawnBpm) {
        return;
    }
    // Song seconds per view row: a beat is kBeatPixels rows.
    const double secondsPerRow = 60.0 / (static_cast<double>(bpm) * kBeatPixels);
    const double secondsPerDeviceRow = secondsPerRow / scale;
    const int rows = kViewHeight * scale;
    const double topSeconds = positionSeconds - kOnBeatLineY * secondsPerRow;
    for (int row = 0; row < rows; ++row) {
        const double from = topSeconds + row * secondsPerDeviceRow;
        const auto [low, high] = peaks->Range(from, from + secondsPerDeviceRow);
        if (low == 0 && high == 0) {
            continue;
        }
        const int left = (kCentreX * kPeakFullScale + low * kHalfWidth) * scale / kPeakFullScale;
        const int right = (kCentreX * kPeakFullScale + high * kHalfWidth) * scale / kPeakFullScale;
        painter.fillRect(left, row, std::max(1, right - left), 1, kWaveColour);
    }
}

} // namespace view

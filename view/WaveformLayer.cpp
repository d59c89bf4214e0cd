#include "view/WaveformLayer.h"

#include "view/LaneLayout.h"

#include <QColor>
#include <QPainter>
#include <cmath>

namespace view {

namespace {

constexpr int kPeakFullScale = 127;
// Light enough that the AND-drawn arrows and lines stay readable over it.
const QColor kWaveColour(176, 200, 232);

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
                          const std::function<double(double)>& secondsAtRow, int viewHeight,
                          int columns) {
    if (songPath != m_path) {
        Start(songPath);
    }
    std::shared_ptr<const audio::WaveformPeaks> peaks;
    {
        const std::lock_guard lock(m_mutex);
        peaks = m_peaks;
    }
    if (!peaks || !secondsAtRow) {
        return;
    }
    // Across the arrow columns, centred between the first and the last.
    const int firstX = ColumnX(0);
    const int lastX = ColumnX(columns - 1) + kArrowSize;
    const int centreX = (firstX + lastX) / 2;
    const int halfWidth = (lastX - firstX) / 2;
    const int rows = viewHeight * scale;
    double from = secondsAtRow(0.0);
    for (int row = 0; row < rows; ++row) {
        const double to = secondsAtRow(static_cast<double>(row + 1) / scale);
        const auto [low, high] = peaks->Range(from, to);
        from = to;
        if (low == 0 && high == 0) {
            continue;
        }
        const int left = (centreX * kPeakFullScale + low * halfWidth) * scale / kPeakFullScale;
        const int right = (centreX * kPeakFullScale + high * halfWidth) * scale / kPeakFullScale;
        painter.fillRect(left, row, std::max(1, right - left), 1, kWaveColour);
    }
}

} // namespace view

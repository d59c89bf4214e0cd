#include "view/CDensityStrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace view {

namespace {

constexpr std::int32_t kRowsPerMeasure = 192; // chart::kRowsPerMeasure
constexpr int kWidth = 24;
constexpr int kMarginX = 2; // either side of the bars
// A dark ground of its own so the bars read whatever sits beside the strip.
const QColor kGroundColour(0x20, 0x24, 0x2A);
const QColor kBarColour(0x4F, 0xC3, 0xF7);
const QColor kVisibleFill(255, 255, 255, 48);
const QColor kVisibleOutline(255, 255, 255, 200);
const QColor kSelectionFill(255, 160, 0, 96);

} // namespace

CDensityStrip::CDensityStrip(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void CDensityStrip::SetDensity(std::vector<std::int32_t> perMeasure, std::int32_t totalRows) {
    m_perMeasure = std::move(perMeasure);
    m_totalRows = totalRows;
    RebuildBars();
    update();
}

void CDensityStrip::SetVisibleRows(std::int32_t beginRow, std::int32_t endRow) {
    if (beginRow == m_visibleBegin && endRow == m_visibleEnd) {
        return;
    }
    m_visibleBegin = beginRow;
    m_visibleEnd = endRow;
    update();
}

void CDensityStrip::SetSelection(std::optional<std::pair<std::int32_t, std::int32_t>> rows) {
    if (rows == m_selection) {
        return;
    }
    m_selection = rows;
    update();
}

QSize CDensityStrip::sizeHint() const {
    // It takes the height the list beside it has.
    return {kWidth, 60};
}

std::int32_t CDensityStrip::SpanRows() const {
    const auto measureRows = static_cast<std::int64_t>(m_perMeasure.size()) * kRowsPerMeasure;
    const std::int64_t span = std::max<std::int64_t>({m_totalRows, measureRows, 1});
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(span, std::numeric_limits<std::int32_t>::max()));
}

double CDensityStrip::RowToY(std::int32_t row) const {
    return static_cast<double>(row) * height() / SpanRows();
}

void CDensityStrip::RebuildBars() {
    const qreal ratio = devicePixelRatioF();
    const int pixelWidth = std::max(1, static_cast<int>(std::lround(width() * ratio)));
    const int pixelHeight = std::max(1, static_cast<int>(std::lround(height() * ratio)));
    m_bars = QImage(pixelWidth, pixelHeight, QImage::Format_RGB32);
    m_bars.setDevicePixelRatio(ratio);
    m_bars.fill(kGroundColour);
    const std::int32_t densest =
        m_perMeasure.empty() ? 0 : *std::max_element(m_perMeasure.begin(), m_perMeasure.end());
    if (densest <= 0) {
        return;
    }
    // The densest measure under each pixel row: where measures outnumber
    // pixels, a short burst must not vanish between its neighbours.
    std::vector<std::int32_t> perPixel(static_cast<std::size_t>(pixelHeight), 0);
    const double pixelsPerRow = static_cast<double>(pixelHeight) / SpanRows();
    for (std::size_t m = 0; m < m_perMeasure.size(); ++m) {
        const double top = static_cast<double>(m) * kRowsPerMeasure * pixelsPerRow;
        const int first = std::min(pixelHeight - 1, static_cast<int>(top));
        const int last =
            std::clamp(static_cast<int>(std::ceil(top + kRowsPerMeasure * pixelsPerRow)), first + 1,
                       pixelHeight);
        for (int y = first; y < last; ++y) {
            perPixel[static_cast<std::size_t>(y)] =
                std::max(perPixel[static_cast<std::size_t>(y)], m_perMeasure[m]);
        }
    }
    const int margin = static_cast<int>(std::lround(kMarginX * ratio));
    const int room = std::max(1, pixelWidth - 2 * margin);
    const QRgb bar = kBarColour.rgb();
    for (int y = 0; y < pixelHeight; ++y) {
        const std::int64_t density = perPixel[static_cast<std::size_t>(y)];
        const int length = static_cast<int>((density * room + densest - 1) / densest);
        auto* line = reinterpret_cast<QRgb*>(m_bars.scanLine(y));
        std::fill(line + margin, line + margin + length, bar);
    }
}

void CDensityStrip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RebuildBars();
}

void CDensityStrip::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (m_bars.devicePixelRatio() != devicePixelRatioF()) {
        RebuildBars(); // moved to a screen of another pixel ratio
    }
    painter.drawImage(QPointF(0, 0), m_bars);
    const double w = width();
    if (m_selection && m_selection->second > m_selection->first) {
        const double top = RowToY(m_selection->first);
        painter.fillRect(QRectF(0, top, w, std::max(1.0, RowToY(m_selection->second) - top)),
                         kSelectionFill);
    }
    if (m_visibleEnd > m_visibleBegin) {
        const double top = RowToY(m_visibleBegin);
        const QRectF box(0.5, top + 0.5, w - 1.0, std::max(1.0, RowToY(m_visibleEnd) - top - 1.0));
        painter.fillRect(box, kVisibleFill);
        painter.setPen(kVisibleOutline);
        painter.drawRect(box);
    }
}

void CDensityStrip::Seek(double y) {
    if (!onSeekRow || height() <= 0) {
        return;
    }
    const std::int32_t span = SpanRows();
    const double row = std::floor(y * span / height());
    onSeekRow(static_cast<std::int32_t>(std::clamp(row, 0.0, static_cast<double>(span - 1))));
}

void CDensityStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Seek(event->position().y());
    }
}

void CDensityStrip::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        Seek(event->position().y());
    }
}

} // namespace view

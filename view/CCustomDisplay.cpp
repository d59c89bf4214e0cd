#include "view/CCustomDisplay.h"

#include "chart/StepChart.h"
#include "res/Resources.h"
#include "view/StepLane.h"
#include "view/WaveformLayer.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace view {

namespace {

// Beyond any screen's factor; bounds the frame at 8 x 8 times 240 KB.
constexpr int kMaxScale = 8;

// Rows of the arrow sheet.
constexpr int kTargetRow = 0;
constexpr int kEvenSlotRow = 16;
constexpr int kOddSlotRow = 32;

// Slots lie half a beat apart; an arrow is centred on its slot's row.
constexpr int kSlotPixels = kBeatPixels / 2;
constexpr int kHalfArrow = kArrowSize / 2;
// The document's rows of one slot (half a beat).
constexpr std::int32_t kRowsPerSlot = chart::kRowsPerBeat / 2;

struct Column {
    chart::Arrow arrow;
    int sourceX; // column of the arrow sheet
    int x;       // column of the view
};
constexpr Column kColumns[4] = {
    {chart::kArrowLeft, 32, kColumnX[0]},
    {chart::kArrowDown, 16, kColumnX[1]},
    {chart::kArrowUp, 0, kColumnX[2]},
    {chart::kArrowRight, 48, kColumnX[3]},
};

QImage LoadRgb(const char* path) {
    return QImage(QString::fromLatin1(path)).convertToFormat(QImage::Format_RGB32);
}

// Each pixel becomes a factor x factor block, so scaled pixel art stays sharp.
QImage Enlarged(const QImage& image, int factor) {
    if (factor == 1 || image.isNull()) {
        return image;
    }
    QImage result(image.width() * factor, image.height() * factor, QImage::Format_RGB32);
    for (int y = 0; y < result.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y / factor));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            out[x] = in[x / factor];
        }
    }
    return result;
}

} // namespace

CCustomDisplay::CCustomDisplay(StepViewOwner* owner, QWidget* parent)
    : QWidget(parent), m_owner(owner) {
    res::InitResources();
    m_bmpArrows = LoadRgb(res::kArrowSheet);
    m_bmpRewind = LoadRgb(res::kRewindStrip);
    m_bmpForward = LoadRgb(res::kForwardStrip);

    const auto fillStrip = [this](int top, SeekButton first) {
        for (int button = 0; button < 3; ++button) {
            const auto code = static_cast<std::uint8_t>(static_cast<int>(first) + button);
            const auto from = m_buttonZone.begin() + top + button * (kButtonHeight + kButtonGap);
            std::fill(from, from + kButtonHeight, code);
        }
    };
    fillStrip(kRewindTopY, SeekButton::kBackOne);
    fillStrip(kForwardTopY, SeekButton::kForwardThirty);

    // The lane is drawn at the top; a taller view leaves the rest blank.
    setMinimumSize(kViewWidth, kViewHeight);
    setMaximumWidth(kViewWidth);
    // Every paint covers every pixel, so Qt need not erase first (no flicker).
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::TabFocus);
}

CCustomDisplay::~CCustomDisplay() = default;

void CCustomDisplay::SetWaveformVisible(bool visible) {
    if (visible && !m_waveform) {
        m_waveform = std::make_unique<WaveformLayer>([this] { RequestRepaint(); });
    }
    m_waveformVisible = visible;
    update();
}

void CCustomDisplay::SetOwner(StepViewOwner* owner) {
    m_owner = owner;
}

void CCustomDisplay::RequestRepaint() {
    if (m_repaintQueued.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_repaintQueued.store(false);
            update();
        },
        Qt::QueuedConnection);
}

const QImage& CCustomDisplay::RenderFrame(int scale) {
    Q_ASSERT(QThread::currentThread() == thread());
    PrepareScale(std::clamp(scale, 1, kMaxScale));
    // Drawn in device pixels; the ratio is set for presenting afterwards.
    m_frame.setDevicePixelRatio(1.0);
    m_frame.fill(Qt::white);
    // The position is read once so that the whole frame agrees.
    const double position = m_owner ? m_owner->Player().PositionSeconds() : 0.0;
    if (m_waveformVisible && SongLoaded()) {
        QPainter painter(&m_frame);
        m_waveform->Paint(painter, m_scale, m_owner->Player().FileName(), position,
                          m_owner->Song().bpm);
    }
    {
        QPainter painter(&m_frame);
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        if (m_owner) {
            m_lastSlotDrawn = -1;
            const LaneScroll scroll =
                ScrollAt(position, m_owner->Song().bpm, m_owner->Song().gapSeconds);
            const bool evenOnLines = scroll.firstSlot % 2 == 0;
            for (int i = 0; i < kBeatLinesPerFrame; ++i) {
                const int y = scroll.firstLineY + kBeatPixels * i;
                const std::int32_t slot = scroll.firstSlot + 2 * i;
                // A 2-pixel pen on row y covers y - 1 and y.
                painter.fillRect(
                    QRect(0, (y - 1) * m_scale, (kBeatLineLastX + 1) * m_scale, 2 * m_scale),
                    Qt::black);
                if (evenOnLines) {
                    DrawStep(slot, y - kHalfArrow, m_scaledArrows, painter);
                    DrawStep(slot + 1, y - kHalfArrow + kSlotPixels, m_scaledArrows, painter);
                } else {
                    DrawStep(slot, y - kHalfArrow - kSlotPixels, m_scaledArrows, painter);
                    DrawStep(slot + 1, y - kHalfArrow, m_scaledArrows, painter);
                }
            }
            if (m_lastSlotDrawn >= 0) {
                m_owner->RowsShown((m_lastSlotDrawn + 1) * kRowsPerSlot);
            }
        }
        for (const Column& column : kColumns) {
            CopyAnd(m_scaledArrows, column.sourceX, kTargetRow, kArrowSize, kArrowSize, column.x,
                    kTargetTopY, painter);
        }
        CopyAnd(m_scaledRewind, 0, 0, m_bmpRewind.width(), m_bmpRewind.height(), kSeekStripX,
                kRewindTopY, painter);
        CopyAnd(m_scaledForward, 0, 0, m_bmpForward.width(), m_bmpForward.height(), kSeekStripX,
                kForwardTopY, painter);
    }
    m_frame.setDevicePixelRatio(m_scale);
    return m_frame;
}

void CCustomDisplay::DrawStep(std::int32_t slot, int y, const QImage& source, QPainter& target) {
    if (slot < 0 || slot >= chart::kMaxChartSlots) {
        return;
    }
    m_lastSlotDrawn = std::max(m_lastSlotDrawn, slot);
    const chart::SongChart* chart = m_owner->ShownChart();
    if (chart == nullptr) {
        return;
    }
    const int sourceY = slot % 2 == 0 ? kEvenSlotRow : kOddSlotRow;
    for (std::uint8_t column = 0; column < 4; ++column) {
        if (chart->notes.Find(slot * kRowsPerSlot, column) != nullptr) {
            const Column& drawn = kColumns[column];
            CopyAnd(source, drawn.sourceX, sourceY, kArrowSize, kArrowSize, drawn.x, y, target);
        }
    }
}

// Source and target in view pixels; the source image is already scaled.
void CCustomDisplay::CopyAnd(const QImage& source, int sourceX, int sourceY, int width, int height,
                             int x, int y, QPainter& target) const {
    target.drawImage(
        QPoint(x * m_scale, y * m_scale), source,
        QRect(sourceX * m_scale, sourceY * m_scale, width * m_scale, height * m_scale));
}

void CCustomDisplay::PrepareScale(int scale) {
    if (scale == m_scale) {
        return;
    }
    m_scale = scale;
    m_scaledArrows = Enlarged(m_bmpArrows, scale);
    m_scaledRewind = Enlarged(m_bmpRewind, scale);
    m_scaledForward = Enlarged(m_bmpForward, scale);
    m_frame = QImage(kViewWidth * scale, kViewHeight * scale, QImage::Format_RGB32);
}

std::int32_t CCustomDisplay::YToSlot(int y) const {
    if (!m_owner) {
        return 0;
    }
    return SlotAtRow(y, m_owner->Player().PositionSeconds(), m_owner->Song().bpm,
                     m_owner->Song().gapSeconds);
}

void CCustomDisplay::paintEvent(QPaintEvent* /*event*/) {
    // Whole factors keep the pixel art sharp. On a fractional screen factor
    // the next whole one is drawn and Qt maps it down once while presenting.
    const int scale = static_cast<int>(std::ceil(devicePixelRatio()));
    const QImage& frame = RenderFrame(scale);
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), frame);
    if (height() > kViewHeight) {
        painter.fillRect(QRect(0, kViewHeight, width(), height() - kViewHeight), Qt::white);
    }
}

void CCustomDisplay::mousePressEvent(QMouseEvent* event) {
    const QPoint point(static_cast<int>(std::floor(event->position().x())),
                       static_cast<int>(std::floor(event->position().y())));
    if (event->button() == Qt::LeftButton) {
        OnLeftButtonDown(point);
    } else if (event->button() == Qt::RightButton) {
        OnRightButtonDown(point);
    }
    // Whatever the click changed (an arrow, the position, the range) must
    // reach the screen now, not when something else happens to repaint;
    // requests merge, so a click that changed nothing costs one paint.
    update();
    // Clicks on the view are the view's; the window sees none of them.
    event->accept();
}

QAction* CCustomDisplay::RunContextMenu(QMenu& menu, const QPoint& globalPos) {
    return menu.exec(globalPos);
}

bool CCustomDisplay::SongLoaded() const {
    return m_owner && !m_owner->Player().FileName().empty();
}

void CCustomDisplay::OnLeftButtonDown(QPoint point) {
    if (!SongLoaded()) {
        return;
    }
    if (point.x() >= kSeekStripX && point.x() <= kSeekStripLastX) {
        const bool inZone = point.y() >= 0 && point.y() < static_cast<int>(m_buttonZone.size());
        const auto button =
            static_cast<SeekButton>(inZone ? m_buttonZone[static_cast<std::size_t>(point.y())] : 0);
        player::MediaPlayer& player = m_owner->Player();
        if (const auto target =
                SeekTarget(button, player.PositionSeconds(), player.DurationSeconds(),
                           m_owner->Song().bpm, m_owner->Song().gapSeconds)) {
            player.SetPositionSeconds(*target);
        }
        return;
    }
    const char arrow = ArrowAtColumn(point.x());
    if (arrow == '\0' || point.y() < kArrowAreaFirstY || m_owner->ShownChart() == nullptr) {
        return;
    }
    const std::int32_t slot = YToSlot(point.y());
    if (slot < 0 || slot >= chart::kMaxChartSlots) {
        return;
    }
    for (std::uint8_t column = 0; column < 4; ++column) {
        if (kColumns[column].arrow == chart::ArrowsOfCode(arrow)) {
            m_owner->ToggleNote(slot * kRowsPerSlot, column);
        }
    }
}

void CCustomDisplay::OnRightButtonDown(QPoint point) {
    if (!SongLoaded() || point.x() < kArrowAreaFirstX || point.x() > kArrowAreaLastX ||
        point.y() < kArrowAreaFirstY) {
        return;
    }
    const std::int32_t slot = YToSlot(point.y());
    QMenu menu(QStringLiteral("Step Options"), this);
    const QAction* setStart = menu.addAction(QStringLiteral("Set Range Start At This Step"));
    const QAction* setEnd = menu.addAction(QStringLiteral("Set Range End At This Step"));
    const QAction* chosen = RunContextMenu(menu, mapToGlobal(point));
    // Stored before the command runs: the commands read it, not the click.
    m_nContextSlot = slot;
    if (chosen == setStart) {
        OnSetRangeStart();
    } else if (chosen == setEnd) {
        OnSetRangeEnd();
    }
}

// The range is in cells of the owner's snap; the lane's slot is 8th rows.
void CCustomDisplay::OnSetRangeStart() {
    m_owner->SetRangeStart(m_nContextSlot * kRowsPerSlot / std::max(1, m_owner->CellRows()));
}

void CCustomDisplay::OnSetRangeEnd() {
    m_owner->SetRangeEnd(m_nContextSlot * kRowsPerSlot / std::max(1, m_owner->CellRows()));
}

} // namespace view

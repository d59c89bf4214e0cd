#include "view/CCustomDisplay.h"

#include "edit/NoteColour.h"
#include "res/Resources.h"
#include "view/NoteKindCells.h"
#include "view/WaveformLayer.h"

#include <QFont>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace view {

namespace {

// Beyond any screen's factor; bounds the frame of a tall view.
constexpr int kMaxScale = 8;

// Cells of the note sheet: columns by arrow, rows by use.
enum SheetColumn : std::uint8_t { kUp, kDown, kLeft, kRight, kUpLeft, kUpRight };
constexpr int kTargetRow = 0;
constexpr int kFirstColourRow = 1; // then one per edit::NoteColour
constexpr int kHoldBodyRow = 10;
constexpr int kHoldTailRow = 11;
constexpr int kHalfArrow = kArrowSize / 2;
// The tail's closing rows end on the hold's last row.
constexpr int kTailTopAboveEnd = kHalfArrow;

// Finer grids than the beat lines are drawn only where cells lie at least
// this far apart; closer, they would only grey the lane.
constexpr int kMinGridPixels = 4;
constexpr QRgb kGridColour = 0xFFE0E0E0;
constexpr QRgb kBpmMarkColour = 0xFFD06000;
constexpr QRgb kStopMarkColour = 0xFF9020C0;
constexpr QRgb kDelayMarkColour = 0xFF008C8C;
constexpr QRgb kWarpMarkColour = 0xFFD02078;
// ANDed over the warped beats like the selection's tint, in another hue.
constexpr QRgb kWarpTint = 0xFFFFDCEC;
// The warp's bracket stands in the margin left of the first arrow.
constexpr int kWarpBracketX = 2;
constexpr int kWarpTickPixels = 6;
constexpr int kMarkFontPixels = 8;
constexpr int kBeatsPerMeasure = 4;
constexpr int kLabelX = 3; // from the lines' end
// Beyond any frame: marks at positions that are not finite are not drawn.
constexpr int kFarAway = 1 << 30;
// Heads closer than this share a place on screen (see DrawNotes).
constexpr int kNoteBucketPixels = 3;

// The sheet row of a head's picture for its rhythm colour.
int HeadRowOf(const chart::Note& note, int colour) {
    switch (note.kind) {
    case chart::NoteKind::Mine:
        return kMineRow;
    case chart::NoteKind::Lift:
        return kLiftFirstRow + colour;
    case chart::NoteKind::Fake:
    case chart::NoteKind::AutoKeysound:
        return kFakeFirstRow + colour;
    case chart::NoteKind::Normal:
    case chart::NoteKind::Roll:
        break;
    }
    return kFirstColourRow + colour;
}

int SheetColumnOf(chart::ChartStyle style, int column) {
    constexpr SheetColumn kPad[4] = {kLeft, kDown, kUp, kRight};
    constexpr SheetColumn kSolo[6] = {kLeft, kUpLeft, kDown, kUp, kUpRight, kRight};
    return style == chart::ChartStyle::Solo ? kSolo[column % 6] : kPad[column % 4];
}

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

// "137.3", "150", "0.25": up to three decimals, no trailing zeros.
QString ShortNumber(double value) {
    QString text = QString::number(value, 'f', 3);
    while (text.contains(QLatin1Char('.')) &&
           (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.')))) {
        text.chop(1);
    }
    return text;
}

// Song time at a view row of the lane at `positionSeconds`: linear under one
// tempo, through the timing map otherwise; none where the lane has no beat
// grid to follow (it stands still, and so does the waveform).
std::function<double(double)> SecondsAtRow(const LaneTiming& song, int pixelsPerBeat,
                                           double positionSeconds) {
    // Above this the lane stands still (see ScrollAt).
    constexpr float kMaxDrawnBpm = 10000.0F;
    const double pixels = std::max(pixelsPerBeat, 1);
    if (song.ConstantTempo()) {
        if (!(song.bpm > 0.0F) || song.bpm > kMaxDrawnBpm) {
            return {};
        }
        const double secondsPerRow = 60.0 / (static_cast<double>(song.bpm) * pixels);
        return [=](double row) { return positionSeconds + (row - kOnBeatLineY) * secondsPerRow; };
    }
    chart::TimingMap timing = song.Map();
    const double beatNow = timing.BeatAt(std::max(positionSeconds, 0.0));
    if (!timing.HasUsableTempo() || !std::isfinite(beatNow)) {
        return {};
    }
    return [timing = std::move(timing), beatNow, pixels](double row) {
        return timing.SecondsAt(beatNow + (row - kOnBeatLineY) / pixels);
    };
}

std::int32_t RowOfBeat(double beat) {
    const double row = std::round(beat * chart::kRowsPerBeat);
    return static_cast<std::int32_t>(std::clamp(row, -1.0, static_cast<double>(chart::kMaxRows)));
}

} // namespace

CCustomDisplay::CCustomDisplay(StepViewOwner* owner, QWidget* parent)
    : QWidget(parent), m_owner(owner) {
    res::InitResources();
    m_bmpArrows = WithNoteKindCells(LoadRgb(res::kNoteSheet));
    m_bmpRewind = LoadRgb(res::kRewindStrip);
    m_bmpForward = LoadRgb(res::kForwardStrip);

    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    resize(kViewWidth, kViewHeight);
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
    m_drag.reset();
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

QSize CCustomDisplay::sizeHint() const {
    return {ViewWidthFor(Columns()), kViewHeight};
}

QSize CCustomDisplay::minimumSizeHint() const {
    return sizeHint();
}

int CCustomDisplay::Columns() const {
    const chart::SongChart* chart = m_owner ? m_owner->ShownChart() : nullptr;
    return chart ? chart::ColumnsOf(chart->style) : 4;
}

int CCustomDisplay::ViewHeight() const {
    return std::max(height(), kViewHeight);
}

const QImage& CCustomDisplay::RenderFrame(int scale) {
    Q_ASSERT(QThread::currentThread() == thread());
    const int columns = Columns();
    if (columns != m_columns) {
        m_columns = columns;
        updateGeometry();
    }
    const int frameWidth = std::max(ViewWidthFor(columns), width());
    const int frameHeight = ViewHeight();
    PrepareScale(std::clamp(scale, 1, kMaxScale));
    if (m_frame.size() != QSize(frameWidth * m_scale, frameHeight * m_scale)) {
        m_frame = QImage(frameWidth * m_scale, frameHeight * m_scale, QImage::Format_RGB32);
    }
    // Drawn in device pixels; the ratio is set for presenting afterwards.
    m_frame.setDevicePixelRatio(1.0);
    m_frame.fill(Qt::white);
    // The position is read once so that the whole frame agrees.
    const double position = m_owner ? m_owner->Player().PositionSeconds() : 0.0;
    if (m_waveformVisible && SongLoaded()) {
        QPainter painter(&m_frame);
        m_waveform->Paint(painter, m_scale, m_owner->Player().FileName(),
                          SecondsAtRow(LaneTimingOf(m_owner->Song(), m_owner->ShownChart()),
                                       m_owner->PixelsPerBeat(), position),
                          frameHeight, columns);
    }
    {
        QPainter painter(&m_frame);
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        if (m_owner) {
            const LaneFrame frame =
                FrameAt(LanePosition(m_owner->Song(), position, m_owner->ShownChart()),
                        m_owner->PixelsPerBeat(), frameHeight);
            DrawLane(frame, painter);
            if (const chart::SongChart* chart = m_owner->ShownChart()) {
                DrawNotes(frame, *chart, painter);
                DrawSelection(frame, painter);
            }
            m_owner->RowsShown(frame.endRow);
        }
        const chart::SongChart* chart = m_owner ? m_owner->ShownChart() : nullptr;
        const chart::ChartStyle style = chart ? chart->style : chart::ChartStyle::Single;
        for (int column = 0; column < columns; ++column) {
            CopyAnd(m_scaledArrows, kArrowSize * SheetColumnOf(style, column), kTargetRow,
                    kArrowSize, kArrowSize, ColumnX(column), kTargetTopY, painter);
        }
        const int stripX = SeekStripX(columns);
        CopyAnd(m_scaledRewind, 0, 0, m_bmpRewind.width(), m_bmpRewind.height(), stripX,
                kRewindTopY, painter);
        CopyAnd(m_scaledForward, 0, 0, m_bmpForward.width(), m_bmpForward.height(), stripX,
                ForwardStripTopY(frameHeight), painter);
    }
    m_frame.setDevicePixelRatio(m_scale);
    return m_frame;
}

// A tint over the selected cells' lanes: ANDed in, it darkens white to the
// tint and leaves lines and arrows readable.
void CCustomDisplay::DrawSelection(const LaneFrame& frame, QPainter& painter) {
    constexpr QRgb kSelectionTint = 0xffb4d2ff;
    const SelectionOwner* selection = m_owner->Selection();
    const auto cells = selection ? selection->SelectedCells() : std::nullopt;
    if (!cells) {
        return;
    }
    const std::int64_t cellRows = std::max(m_owner->CellRows(), 1);
    const auto rowOf = [&](std::int64_t cell) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(
            cell * cellRows - cellRows / 2, -chart::kMaxRows, chart::kMaxRows));
    };
    // Cells are centred on their rows: the band runs half a cell either side.
    const int top = std::max(frame.RowY(rowOf(cells->first)), kArrowAreaFirstY);
    const int bottom = std::min(frame.RowY(rowOf(std::int64_t{cells->second} + 1)), ViewHeight());
    if (bottom <= top) {
        return;
    }
    const int left = ColumnX(0) - 2;
    const int right = BeatLineLastX(m_columns);
    painter.fillRect(QRect(left * m_scale, top * m_scale, (right - left + 1) * m_scale,
                           (bottom - top) * m_scale),
                     QColor::fromRgb(kSelectionTint));
}

void CCustomDisplay::DrawLane(const LaneFrame& frame, QPainter& painter) {
    const int lineLastX = BeatLineLastX(m_columns);
    const std::int32_t cellRows = std::max(m_owner->CellRows(), 1);
    const std::int32_t firstLineRow = chart::kRowsPerBeat * frame.firstLineBeat;
    // The 8th grid is the beat lines alone, as the lane always was; finer
    // ones get light lines between them.
    if (cellRows < chart::kRowsPerBeat / 2 &&
        cellRows * frame.pixelsPerBeat >= kMinGridPixels * chart::kRowsPerBeat) {
        const std::int32_t lastRow = firstLineRow + chart::kRowsPerBeat * frame.lines;
        for (std::int32_t row = firstLineRow - chart::kRowsPerBeat; row < lastRow;
             row += cellRows) {
            if (row % chart::kRowsPerBeat != 0) {
                painter.fillRect(
                    QRect(0, frame.RowY(row) * m_scale, (lineLastX + 1) * m_scale, m_scale),
                    QColor::fromRgb(kGridColour));
            }
        }
    }
    SetMarkFont(painter);
    painter.setPen(Qt::black);
    for (int i = 0; i < frame.lines; ++i) {
        const int y = frame.firstLineY + frame.pixelsPerBeat * i;
        const std::int32_t beat = frame.firstLineBeat + i;
        const bool measure = beat % kBeatsPerMeasure == 0;
        // A 2-pixel pen on row y covers y - 1 and y; a measure's, twice that.
        const int top = measure ? y - 2 : y - 1;
        const int thickness = measure ? 4 : 2;
        painter.fillRect(QRect(0, top * m_scale, (lineLastX + 1) * m_scale, thickness * m_scale),
                         Qt::black);
        if (measure && beat >= 0) {
            painter.drawText(QPoint((lineLastX + kLabelX) * m_scale, (y + 3) * m_scale),
                             QString::number(beat / kBeatsPerMeasure + 1));
        }
    }
    DrawTempoMarks(frame, lineLastX, painter);
}

void CCustomDisplay::SetMarkFont(QPainter& painter) const {
    QFont font = painter.font();
    font.setPixelSize(kMarkFontPixels * m_scale);
    // Plain pixels: the marks are ANDed into the frame like everything else.
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
}

void CCustomDisplay::DrawTempoMarks(const LaneFrame& frame, int lineLastX, QPainter& painter) {
    const LaneTiming song = LaneTimingOf(m_owner->Song(), m_owner->ShownChart());
    if (song.ConstantTempo()) {
        return;
    }
    SetMarkFont(painter);
    const int viewHeight = m_frame.height() / m_scale;
    const auto visible = [&](int y) {
        return y >= -2 * kMarkFontPixels && y <= viewHeight + 2 * kMarkFontPixels;
    };
    // Text rows in the gutter: the measure number sits on the line; what
    // comes before the beat's notes (a tempo change, a delay) above it, what
    // comes after (a stop, a warp) below. Texts of one beat stack outwards.
    std::map<std::pair<int, bool>, int> textsAt;
    const auto label = [&](int y, bool below, QRgb colour, const QString& text) {
        const int stacked = textsAt[{y, below}]++ * (kMarkFontPixels + 1);
        const int baseline =
            below ? y + 3 + kMarkFontPixels + 1 + stacked : y - kMarkFontPixels + 2 - stacked;
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        painter.setPen(QColor::fromRgb(colour));
        painter.drawText(QPoint((lineLastX + kLabelX) * m_scale, baseline * m_scale), text);
    };
    // Painted over, not ANDed with, a beat or measure line on the same row,
    // so that no line hides it: solid for changes, short dashes for stops,
    // long ones for delays.
    const auto mark = [&](double beat, QRgb colour, const QString& text, int dash, bool below) {
        const int y = std::isfinite(beat) ? frame.RowY(RowOfBeat(beat)) : -kFarAway;
        if (!visible(y)) {
            return;
        }
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        const int period = dash > 0 ? dash + 2 : lineLastX + 1;
        for (int x = 0; x <= lineLastX; x += period) {
            const int length = std::min(dash > 0 ? dash : period, lineLastX + 1 - x);
            painter.fillRect(QRect(x * m_scale, (y - 1) * m_scale, length * m_scale, 2 * m_scale),
                             QColor::fromRgb(colour));
        }
        label(y, below, colour, text);
    };
    const auto seconds = [](double ms) { return ShortNumber(ms / 1000.0) + QLatin1Char('s'); };
    // First, so that the lines and marks of the warped beats stay as drawn.
    for (const chart::Warp& warp : song.warps) {
        DrawWarp(frame, warp, lineLastX, painter);
        const int y = std::isfinite(warp.beat) && warp.lengthBeats > 0.0
                          ? frame.RowY(RowOfBeat(warp.beat))
                          : -kFarAway;
        if (visible(y)) {
            label(y, true, kWarpMarkColour, QStringLiteral("warp"));
        }
    }
    for (const chart::BpmChange& change : song.changes) {
        mark(change.beat, kBpmMarkColour, ShortNumber(change.bpm), 0, false);
    }
    for (const chart::Stop& stop : song.stops) {
        mark(stop.beat, kStopMarkColour, seconds(stop.durationMs), 2, true);
    }
    for (const chart::Delay& delay : song.delays) {
        mark(delay.beat, kDelayMarkColour, seconds(delay.durationMs), 6, false);
    }
}

// The warped beats tinted across the lane and bracketed in the left margin,
// the ticks on the first and the first past the warp.
void CCustomDisplay::DrawWarp(const LaneFrame& frame, const chart::Warp& warp, int lineLastX,
                              QPainter& painter) {
    if (!std::isfinite(warp.beat) || !(warp.lengthBeats > 0.0)) {
        return;
    }
    const int viewHeight = m_frame.height() / m_scale;
    const int first = frame.RowY(RowOfBeat(warp.beat));
    const int end = frame.RowY(RowOfBeat(warp.beat + warp.lengthBeats));
    const int top = std::max(first, kArrowAreaFirstY);
    const int bottom = std::min(end, viewHeight);
    if (bottom <= top) {
        return;
    }
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter.fillRect(QRect(0, top * m_scale, (lineLastX + 1) * m_scale, (bottom - top) * m_scale),
                     QColor::fromRgb(kWarpTint));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QColor colour = QColor::fromRgb(kWarpMarkColour);
    painter.fillRect(
        QRect(kWarpBracketX * m_scale, top * m_scale, 2 * m_scale, (bottom - top) * m_scale),
        colour);
    for (const int y : {first, end - 2}) {
        if (y >= top && y + 2 <= bottom) {
            painter.fillRect(
                QRect(kWarpBracketX * m_scale, y * m_scale, kWarpTickPixels * m_scale, 2 * m_scale),
                colour);
        }
    }
}

void CCustomDisplay::DrawNotes(const LaneFrame& frame, const chart::SongChart& chart,
                               QPainter& painter) {
    const chart::NoteData& notes = chart.notes;
    const int columns = std::min<int>(notes.Columns(), m_columns);
    // Holds begun before the frame still show their body and tail.
    for (int column = 0; column < columns; ++column) {
        const chart::Note* held = notes.Covering(frame.beginRow, static_cast<std::uint8_t>(column));
        if (held && held->row < frame.beginRow && held->IsHold()) {
            DrawHold(frame, *held, SheetColumnOf(chart.style, column), painter);
        }
    }
    // colour orders the notes of one place (the coarsest rhythm wins);
    // sheetRow is the picture of the note's kind in that colour.
    // Notes closer than kNoteBucketPixels cannot be told apart on screen and
    // would cost a copy each: of those, the coarsest rhythm is drawn (the
    // first of equals). Cells of any snap the lane can show apart are never
    // that close, so every note placed on them shows.
    struct Pending {
        const chart::Note* note = nullptr;
        int bucket = 0;
        int colour = 0;
        int sheetRow = 0;
    };
    Pending pending[8];
    const auto flush = [&](Pending& p) {
        if (p.note) {
            CopyAnd(m_scaledArrows, kArrowSize * SheetColumnOf(chart.style, p.note->column),
                    kArrowSize * p.sheetRow, kArrowSize, kArrowSize, ColumnX(p.note->column),
                    frame.RowY(p.note->row) - kHalfArrow, painter);
            p.note = nullptr;
        }
    };
    for (const chart::Note& note : notes.HeadsIn(frame.beginRow, frame.endRow)) {
        if (note.column >= columns) {
            continue;
        }
        if (note.IsHold()) {
            DrawHold(frame, note, SheetColumnOf(chart.style, note.column), painter);
        }
        const int y = frame.RowY(note.row);
        const int bucket =
            y >= 0 ? y / kNoteBucketPixels : -((-y + kNoteBucketPixels - 1) / kNoteBucketPixels);
        const int colour = static_cast<int>(edit::NoteColourOf(note.row));
        const Pending next{&note, bucket, colour, HeadRowOf(note, colour)};
        Pending& p = pending[note.column];
        if (p.note && p.bucket == bucket) {
            if (colour < p.colour) {
                p = next;
            }
            continue;
        }
        flush(p);
        p = next;
    }
    for (Pending& p : pending) {
        flush(p);
    }
}

// The body runs from under the head's cell to the tail; the tail's closing
// rows end on the hold's last row. Neither covers the head, whose colour an
// AND would spoil.
void CCustomDisplay::DrawHold(const LaneFrame& frame, const chart::Note& note, int sheetColumn,
                              QPainter& painter) {
    const int viewHeight = m_frame.height() / m_scale;
    const int x = ColumnX(note.column);
    const int bodyTop = frame.RowY(note.row) + kHalfArrow;
    const int tailCellTop = frame.RowY(note.EndRow()) - kTailTopAboveEnd;
    const int tailTop = std::max(tailCellTop, bodyTop);
    const int sourceX = kArrowSize * sheetColumn;
    const int bodyRow = note.IsRoll() ? kRollBodyRow : kHoldBodyRow;
    const int tailRow = note.IsRoll() ? kRollTailRow : kHoldTailRow;
    for (int y = std::max(bodyTop, -kArrowSize); y < std::min(tailTop, viewHeight);
         y += kArrowSize) {
        CopyAnd(m_scaledArrows, sourceX, kArrowSize * bodyRow, kArrowSize,
                std::min(kArrowSize, tailTop - y), x, y, painter);
    }
    // A hold shorter than the head shows only the tail's part below it.
    const int tailSkip = tailTop - tailCellTop;
    if (tailSkip < kArrowSize && tailTop < viewHeight) {
        CopyAnd(m_scaledArrows, sourceX, kArrowSize * tailRow + tailSkip, kArrowSize,
                kArrowSize - tailSkip, x, tailTop, painter);
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
}

std::int32_t CCustomDisplay::YToCell(int y) const {
    if (!m_owner) {
        return 0;
    }
    return CellAtY(m_owner->Song(), m_owner->CellRows(), m_owner->PixelsPerBeat(), y,
                   m_owner->Player().PositionSeconds(), m_owner->ShownChart());
}

void CCustomDisplay::paintEvent(QPaintEvent* /*event*/) {
    // Whole factors keep the pixel art sharp. On a fractional screen factor
    // the next whole one is drawn and Qt maps it down once while presenting.
    const int scale = static_cast<int>(std::ceil(devicePixelRatio()));
    const QImage& frame = RenderFrame(scale);
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), frame);
}

bool CCustomDisplay::SongLoaded() const {
    return m_owner && m_owner->Player().HasTimeline();
}

} // namespace view

#pragma once

#include "view/LaneLayout.h"
#include "view/StepViewOwner.h"

#include <QImage>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QPainter;

namespace view {

class WaveformLayer;

// The step view, control 1016 of the main window: the shown chart of the
// owner's song as lanes that scroll up with the song towards a row of target
// arrows, with seek buttons at the right. A left click toggles a note or
// seeks, a drag down from a note makes it a hold, Shift with a click or a
// drag selects rows, the wheel scrolls while
// paused (with Ctrl it zooms), and a right click offers the edit range's
// ends and the tempo changes and stops at that row.
//
// Everything shown is recomputed from the owner on every paint. A change the
// view asks for (a note, a seek, a range end) schedules its own repaint, so
// it shows at the next frame whoever else is told; changes made elsewhere
// are the owner's to announce (update() or RequestRepaint()), and while the
// song plays the owner repaints on its frame clock. The view keeps no timer
// of its own. Window thread only, except RequestRepaint().
class CCustomDisplay : public QWidget {
    Q_OBJECT

public:
    explicit CCustomDisplay(StepViewOwner* owner = nullptr, QWidget* parent = nullptr);
    ~CCustomDisplay() override;

    // The window whose song, chart and range the view shows and edits. Not
    // owned; it must outlive the view or be replaced first. Without an owner
    // only the targets and the seek buttons show, and clicks do nothing.
    void SetOwner(StepViewOwner* owner);

    // Any thread: asks for one repaint on the window thread. Requests made
    // before that repaint runs are merged into it.
    void RequestRepaint();

    // Draws the current frame into the view's off-screen image at `scale`
    // device pixels per view pixel (whole numbers, at least 1) and returns it
    // with that device pixel ratio; tells the owner how far it drew
    // (RowsShown). The frame is as wide as the shown chart needs (or the
    // view, if wider) and as tall as the view, at least 300 rows. Valid
    // until the next call.
    const QImage& RenderFrame(int scale);

    // The cell of the current snap under client row y at the current
    // position.
    std::int32_t YToCell(int y) const;

    // Width for the shown chart's columns (200 for four), 300 rows: the
    // window sizes the view by it and may make it taller.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The song's waveform behind the lanes; off at first.
    Q_INVOKABLE void SetWaveformVisible(bool visible);
    bool WaveformVisible() const { return m_waveformVisible; }

signals:
    // Alt or Ctrl with a left click on a lane: a mine at that cell whatever
    // the entry kind (whoever enters notes of a kind listens). Ctrl too,
    // since many desktops take Alt with a click to move the window.
    void MineClicked(std::int32_t row, std::uint8_t column);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

    // Shows the "Step Options" popup with its top-left corner at a screen
    // point and returns the chosen action, or nullptr. Tests choose here
    // without a screen.
    virtual QAction* RunContextMenu(QMenu& menu, const QPoint& globalPos);

private:
    // A left-button drag from a note's head down its lane.
    struct HoldDrag {
        std::int32_t row = 0;
        std::uint8_t column = 0;
        std::int32_t holdRows = 0; // as last sent
        bool moved = false;
        // The press was on a note that was there: a release without a move
        // toggles it off.
        bool toggleOnRelease = false;
        std::uint64_t mergeId = 0;
    };

    void DrawLane(const LaneFrame& frame, QPainter& painter);
    void SetMarkFont(QPainter& painter) const;
    void DrawTempoMarks(const LaneFrame& frame, int lineLastX, QPainter& painter);
    void DrawWarp(const LaneFrame& frame, const chart::Warp& warp, int lineLastX,
                  QPainter& painter);
    void DrawNotes(const LaneFrame& frame, const chart::SongChart& chart, QPainter& painter);
    void DrawHold(const LaneFrame& frame, const chart::Note& note, int sheetColumn,
                  QPainter& painter);
    void CopyAnd(const QImage& source, int sourceX, int sourceY, int width, int height, int x,
                 int y, QPainter& target) const;
    void PrepareScale(int scale);
    int Columns() const;
    int ViewHeight() const;
    bool SongLoaded() const;
    std::optional<std::int32_t> RowOfDragAt(int y) const;
    void OnLeftButtonDown(QPoint point);
    // The lane cell under a point of the arrow area, when a chart shows.
    std::optional<std::pair<std::int32_t, std::uint8_t>> CellAt(QPoint point) const;
    void OnRightButtonDown(QPoint point);
    void DragTo(int y);

    // The images as loaded, in 32-bit RGB so that AND combines them.
    QImage m_bmpArrows;
    QImage m_bmpRewind;
    QImage m_bmpForward;
    StepViewOwner* m_owner = nullptr;

    // The images scaled for m_scale, and the frame they are drawn into,
    // reused from paint to paint.
    int m_scale = 0;
    QImage m_scaledArrows;
    QImage m_scaledRewind;
    QImage m_scaledForward;
    QImage m_frame;
    // Columns of the chart last drawn; a change asks the window for room.
    int m_columns = 4;

    void DrawSelection(const LaneFrame& frame, QPainter& painter);

    std::optional<HoldDrag> m_drag;
    // A left drag with Shift held selects from this cell.
    std::optional<std::int32_t> m_selectFrom;
    std::uint64_t m_lastMergeId = 0;
    int m_wheelRemainder = 0; // eighths of a degree short of a notch
    int m_zoomRemainder = 0;

    std::atomic<bool> m_repaintQueued{false};
    // Made when first shown, kept with its peaks while hidden.
    std::unique_ptr<WaveformLayer> m_waveform;
    bool m_waveformVisible = false;
};

} // namespace view

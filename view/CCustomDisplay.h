#pragma once

#include "view/StepViewOwner.h"

#include <QImage>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class QAction;
class QMenu;
class QPainter;

namespace view {

class WaveformLayer;

// The step view, control 1016 of the main window: the step chart as a lane
// that scrolls up with the song towards a row of target arrows, with seek
// buttons at the right. A left click toggles an arrow or seeks; a right click
// offers to make the slot under the mouse the start or end of the edit range.
//
// Everything shown is recomputed from the owner on every paint. A change the
// view makes itself (a toggled arrow, a seek, a range end) schedules its own
// repaint, so it shows at the next frame whoever else is told; changes made
// elsewhere are the owner's to announce (update() or RequestRepaint()), and
// while the song plays the owner repaints on its frame clock. The view keeps
// no timer of its own. Window thread only, except RequestRepaint().
class CCustomDisplay : public QWidget {
    Q_OBJECT

public:
    explicit CCustomDisplay(StepViewOwner* owner = nullptr, QWidget* parent = nullptr);
    ~CCustomDisplay() override;

    // The window whose song, timing, chart and range the view shows and
    // edits. Not owned; it must outlive the view or be replaced first. Kept
    // per view, not process-wide, so that tests can run several views
    // against owners of their own. Without an owner only the targets and
    // the seek buttons show, and clicks do nothing.
    void SetOwner(StepViewOwner* owner);

    // Any thread: asks for one repaint on the window thread. Requests made
    // before that repaint runs are merged into it.
    void RequestRepaint();

    // Draws the current frame into the view's off-screen image at `scale`
    // device pixels per view pixel (whole numbers, at least 1) and returns it
    // with that device pixel ratio. Pads the owner's chart with "0" up to the
    // last slot drawn. Valid until the next call.
    const QImage& RenderFrame(int scale);

    // The slot under client row y at the current position.
    std::int32_t YToSlot(int y) const;

    // The song's waveform behind the lanes; off at first.
    Q_INVOKABLE void SetWaveformVisible(bool visible);
    bool WaveformVisible() const { return m_waveformVisible; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

    // Shows the "Step Options" popup with its top-left corner at a screen
    // point and returns the chosen action, or nullptr. Tests choose here
    // without a screen.
    virtual QAction* RunContextMenu(QMenu& menu, const QPoint& globalPos);

private:
    void DrawStep(std::int32_t slot, int y, const QImage& source, QPainter& target);
    void CopyAnd(const QImage& source, int sourceX, int sourceY, int width, int height, int x,
                 int y, QPainter& target) const;
    void PrepareScale(int scale);
    bool SongLoaded() const;
    void OnLeftButtonDown(QPoint point);
    void OnRightButtonDown(QPoint point);
    void OnSetRangeStart();
    void OnSetRangeEnd();

    // The images as loaded, in 32-bit RGB so that AND combines them.
    QImage m_bmpArrows;
    QImage m_bmpRewind;
    QImage m_bmpForward;
    // Seek button code (SeekButton) of each client row from the top.
    std::array<std::uint8_t, 310> m_buttonZone{};
    // Slot under the right click that opened the menu; the menu's commands
    // read it.
    std::int32_t m_nContextSlot = 0;
    // The last slot the frame being drawn showed; -1 for none.
    std::int32_t m_lastSlotDrawn = -1;
    StepViewOwner* m_owner = nullptr;

    // The images scaled for m_scale, and the frame they are drawn into,
    // reused from paint to paint.
    int m_scale = 0;
    QImage m_scaledArrows;
    QImage m_scaledRewind;
    QImage m_scaledForward;
    QImage m_frame;

    std::atomic<bool> m_repaintQueued{false};
    // Made when first shown, kept with its peaks while hidden.
    std::unique_ptr<WaveformLayer> m_waveform;
    bool m_waveformVisible = false;
};

} // namespace view

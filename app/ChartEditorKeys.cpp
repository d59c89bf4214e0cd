// The keyboard: which keys reach the step keys, and taps.
#include "app/ChartEditorDlg.h"
#include "app/ChartEditorText.h"
#include "app/ColorLabel.h"
#include "app/KeyRouting.h"
#include "app/StepKeys.h"
#include "app/TypedNumberBox.h"
#include "chart/InputCalibration.h"
#include "player/KeyPressTime.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>

namespace app {

using namespace window_text;

bool CChartEditorDlg::eventFilter(QObject* watched, QEvent* event) {
    // A click on the step view gives the keys back to tapping and steps.
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == m_stepView || m_stepView->isAncestorOf(widget)) {
            ReturnKeysToWindow();
        }
    }
    const bool press = event->type() == QEvent::KeyPress;
    const bool shortcutOverride = event->type() == QEvent::ShortcutOverride;
    if ((!press && !shortcutOverride && event->type() != QEvent::KeyRelease) || m_closing) {
        return QMainWindow::eventFilter(watched, event);
    }
    // Only the first delivery of a key to this window counts: the widget
    // with the focus, or the window itself when nothing has it. Keys of
    // message boxes, file dialogs and menus are theirs alone.
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != this) {
        target = this;
    }
    if (watched != target || qobject_cast<QMenuBar*>(target) || IsTypedNumberBox(target)) {
        return QMainWindow::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (shortcutOverride) {
        // A read-only box would take Control combinations (word moves, its
        // own undo) for itself; the window's shortcuts win there. Boxes
        // typed into keep theirs.
        if ((key->modifiers() & Qt::ControlModifier) && !TakesTypedText(target)) {
            key->ignore();
            return true;
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if (!press) {
        return m_keys->Release(key, TakesTypedText(target));
    }
    return m_keys->Press(key, TakesTypedText(target));
}

void CChartEditorDlg::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        m_keys->LetGoAll();
    }
}

void CChartEditorDlg::SnapToNextSlot() {
    if (!m_player.HasTimeline()) {
        return;
    }
    m_player.SetPositionSeconds(
        m_editor.SnapForward(m_player.PositionSeconds(), m_player.DurationSeconds()));
}

void CChartEditorDlg::TapKey(std::int64_t pressedAtNs, double position) {
    // The tick of the press: the tick now, less how long ago it was.
    constexpr std::int64_t kNsPerMs = 1'000'000;
    const std::int64_t agoMs = (player::KeyPressTime::NowNs() - pressedAtNs) / kNsPerMs;
    const std::uint32_t now = m_clock.NowMs() - static_cast<std::uint32_t>(agoMs);
    chart::TapOutcome outcome;
    const bool seriesRunning = m_taps.tappingStarted;
    if (!seriesRunning) {
        // One undo step for the whole series of taps.
        m_tapMergeId = NewMergeId();
    }
    EditTiming(
        [&](chart::TimingState& timing) {
            outcome = chart::ApplyTap(m_taps, timing, now, position);
        },
        m_tapMergeId);
    if (outcome == chart::TapOutcome::kSeriesStarted && seriesRunning) {
        m_tapMergeId = NewMergeId(); // a pause began a new series: its own undo step
    }
    switch (outcome) {
    case chart::TapOutcome::kSeriesStarted:
        SetInstructions(kFirstTapText);
        break;
    case chart::TapOutcome::kIntervalCounted: {
        ShowBpm();
        ShowReadout(m_lastHitReadout, FormatBpm(m_taps.lastHitBpm));
        const double elapsedSeconds =
            static_cast<double>(static_cast<std::uint32_t>(now - m_taps.firstTapMs)) * 0.001;
        ShowReadout(m_elapsedReadout, QString::asprintf("%3.1f", elapsedSeconds));
        ShowGap();
        break;
    }
    case chart::TapOutcome::kIgnored:
        break;
    }
}

} // namespace app

// The keyboard: taps, step input with held keys, Enter and Escape.
#include "app/ChartEditorDlg.h"
#include "app/ChartEditorText.h"
#include "app/ColorLabel.h"
#include "app/KeyRouting.h"
#include "app/TypedNumberBox.h"
#include "chart/InputCalibration.h"
#include "player/KeyPressTime.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>

namespace app {

using namespace window_text;

namespace {

// Keypad digits are told apart from the main row's by this offset.
constexpr int kKeypadBase = 0x10000000;

} // namespace

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
        return FilterKeyRelease(key, TakesTypedText(target));
    }
    return FilterKeyPress(key, TakesTypedText(target));
}

void CChartEditorDlg::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        LetGoHeldBackReleases();
        const double position = chart::CorrectedPressSeconds(
            m_player.PositionSeconds(), m_inputOffsetMs, RateForSpeed(m_timing.songSpeedPercent));
        constexpr std::uint8_t kMostColumns = 8;
        for (std::uint8_t column = 0; column < kMostColumns; ++column) {
            m_editor.ReleaseKey(column, position);
        }
    }
}

bool CChartEditorDlg::FilterKeyRelease(QKeyEvent* event, bool intoTextBox) {
    // A release ends a hold; the releases of auto-repeat do not. Held back in
    // tap mode too, so that the press of an unmarked pair is no tap.
    if (intoTextBox || event->isAutoRepeat()) {
        return false;
    }
    m_releases.Hold({event->key(), (event->modifiers() & Qt::KeypadModifier) != 0,
                     event->timestamp(), PressSongSeconds(PressedAtNs(event))});
    m_releaseTimer->start(ReleaseHoldBack::kWaitMs);
    return false;
}

void CChartEditorDlg::LetGoHeldBackReleases() {
    m_releaseTimer->stop();
    for (const ReleaseHoldBack::Release& release : m_releases.TakeAll()) {
        if (m_mode != kStepInput) {
            continue;
        }
        if (const auto column = ColumnOfKey(release.key, release.keypad)) {
            m_editor.ReleaseKey(*column, release.songSeconds);
        }
    }
}

bool CChartEditorDlg::FilterKeyPress(QKeyEvent* event, bool intoTextBox) {
    const int key = event->key();
    const bool keypad = (event->modifiers() & Qt::KeypadModifier) != 0;
    if (m_releases.IsRepeat(key, keypad, event->timestamp())) {
        return false; // the key is still held: its release did not happen
    }
    // Any other key comes after the releases held back: they count first.
    LetGoHeldBackReleases();
    // System keys (Alt and its combinations, F10) drive the menus and are
    // not key presses for tapping or step input.
    if ((event->modifiers() & Qt::AltModifier) || key == Qt::Key_Alt || key == Qt::Key_F10 ||
        key == Qt::Key_Meta || key == Qt::Key_AltGr) {
        return false;
    }
    // Control combinations are the window's shortcuts (undo, redo, snap);
    // Control and Shift pressed on their way to one are no presses either.
    if ((event->modifiers() & Qt::ControlModifier) || key == Qt::Key_Control ||
        key == Qt::Key_Shift) {
        return false;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        SnapToNextSlot();
        return true;
    }
    if (key == Qt::Key_Escape) {
        OnCancel();
        return true;
    }
    // What is typed into the Title or Artist box is text for it, not a tap
    // or a step the user would not see being made.
    if (intoTextBox) {
        return false;
    }
    // A held key is neither a new tap nor a new step.
    if (event->isAutoRepeat()) {
        return false;
    }
    const std::int64_t pressedAtNs = PressedAtNs(event);
    if (m_mode == kTapTempo) {
        TapKey(pressedAtNs);
    } else {
        StepInputKey(key, keypad, pressedAtNs);
    }
    return false;
}

void CChartEditorDlg::SnapToNextSlot() {
    if (!m_player.HasTimeline()) {
        return;
    }
    m_player.SetPositionSeconds(
        m_editor.SnapForward(m_player.PositionSeconds(), m_player.DurationSeconds()));
}

void CChartEditorDlg::TapKey(std::int64_t pressedAtNs) {
    // The tick of the press: the tick now, less how long ago it was.
    constexpr std::int64_t kNsPerMs = 1'000'000;
    const std::int64_t agoMs = (player::KeyPressTime::NowNs() - pressedAtNs) / kNsPerMs;
    const std::uint32_t now = m_clock.NowMs() - static_cast<std::uint32_t>(agoMs);
    const double position = PressSongSeconds(pressedAtNs);
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

std::optional<std::uint8_t> CChartEditorDlg::ColumnOfKey(int key, bool keypad) const {
    const chart::SongChart* chart = m_editor.Selected();
    const std::uint8_t columns = chart != nullptr ? chart::ColumnsOf(chart->style) : 4;
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) {
        key += kKeypadBase;
    }
    // The arrows and the keypad's 4, 2, 8 and 6 (which sit like them) are
    // Left, Down, Up and Right. With two pads the keypad is the second pad;
    // SOLO's diagonals are keypad 7 and 9.
    const bool secondPad = columns == 8 && key >= kKeypadBase;
    std::optional<std::uint8_t> padColumn;
    switch (key) {
    case Qt::Key_Left:
    case kKeypadBase + Qt::Key_4:
        padColumn = 0;
        break;
    case Qt::Key_Down:
    case kKeypadBase + Qt::Key_2:
        padColumn = 1;
        break;
    case Qt::Key_Up:
    case kKeypadBase + Qt::Key_8:
        padColumn = 2;
        break;
    case Qt::Key_Right:
    case kKeypadBase + Qt::Key_6:
        padColumn = 3;
        break;
    case kKeypadBase + Qt::Key_7:
        return columns == 6 ? std::optional<std::uint8_t>(1) : std::nullopt;
    case kKeypadBase + Qt::Key_9:
        return columns == 6 ? std::optional<std::uint8_t>(4) : std::nullopt;
    default:
        return std::nullopt;
    }
    if (columns == 6) {
        // Left, Up-Left, Down, Up, Up-Right, Right.
        constexpr std::uint8_t kSolo[4] = {0, 2, 3, 5};
        return kSolo[*padColumn];
    }
    return static_cast<std::uint8_t>(*padColumn + (secondPad ? 4 : 0));
}

void CChartEditorDlg::StepInputKey(int key, bool keypad, std::int64_t pressedAtNs) {
    const double position = PressSongSeconds(pressedAtNs);
    if (const auto column = ColumnOfKey(key, keypad)) {
        m_editor.PressKey(*column, position);
        return;
    }
    const std::optional<std::int32_t> row = m_editor.RowAt(position);
    if (!row) {
        return;
    }
    // Space clears the row; any other key pads the chart to it.
    if (key == Qt::Key_Space) {
        m_editor.ClearRow(*row);
    } else {
        m_editor.PadChart(*row);
    }
}

} // namespace app

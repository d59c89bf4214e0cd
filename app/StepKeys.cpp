// The keyboard as an instrument: taps, step input with held keys, Enter and
// Escape.
#include "app/StepKeys.h"

#include "chart/InputCalibration.h"
#include "edit/SongEditor.h"
#include "player/KeyPressTime.h"
#include "player/MediaPlayer.h"

#include <QKeyEvent>
#include <QTimer>

namespace app {

namespace {

// Keypad digits are told apart from the main row's by this offset.
constexpr int kKeypadBase = 0x10000000;
constexpr std::uint8_t kMostColumns = 8;

} // namespace

StepKeys::StepKeys(Host host, QObject* timerParent)
    : m_host(std::move(host)), m_releaseTimer(new QTimer(timerParent)) {
    m_releaseTimer->setSingleShot(true);
    QObject::connect(m_releaseTimer, &QTimer::timeout, timerParent,
                     [this] { LetGoHeldBackReleases(); });
}

std::int64_t StepKeys::PressedAtNs(const QKeyEvent* event) {
    return player::KeyPressTime::PressedAtNs(event->timestamp(), player::KeyPressTime::NowNs());
}

double StepKeys::SongSecondsAt(std::int64_t pressedAtNs) const {
    return chart::CorrectedPressSeconds(m_host.player.PositionSecondsAt(pressedAtNs),
                                        m_host.inputOffsetMs(), m_host.rate());
}

void StepKeys::LetGoAll() {
    LetGoHeldBackReleases();
    const double position = chart::CorrectedPressSeconds(m_host.player.PositionSeconds(),
                                                         m_host.inputOffsetMs(), m_host.rate());
    for (std::uint8_t column = 0; column < kMostColumns; ++column) {
        m_host.editor.ReleaseKey(column, position);
    }
}

bool StepKeys::Release(QKeyEvent* event, bool intoTextBox) {
    // A release ends a hold; the releases of auto-repeat do not. Held back in
    // tap mode too, so that the press of an unmarked pair is no tap.
    if (intoTextBox || event->isAutoRepeat()) {
        return false;
    }
    m_releases.Hold({event->key(), (event->modifiers() & Qt::KeypadModifier) != 0,
                     event->timestamp(), SongSecondsAt(PressedAtNs(event))});
    m_releaseTimer->start(ReleaseHoldBack::kWaitMs);
    return false;
}

void StepKeys::LetGoHeldBackReleases() {
    m_releaseTimer->stop();
    for (const ReleaseHoldBack::Release& release : m_releases.TakeAll()) {
        if (!m_host.stepInput()) {
            continue;
        }
        if (const auto column = ColumnOfKey(release.key, release.keypad)) {
            m_host.editor.ReleaseKey(*column, release.songSeconds);
        }
    }
}

bool StepKeys::Press(QKeyEvent* event, bool intoTextBox) {
    const int key = event->key();
    const bool keypad = (event->modifiers() & Qt::KeypadModifier) != 0;
    if (m_releases.IsRepeat(key, keypad, event->timestamp())) {
        return false; // the key is still held: its release did not happen
    }
    // Any other key comes after the releases held back: they count first.
    LetGoHeldBackReleases();
    // Alt with a step key in step input puts a mine, whatever the entry
    // kind: no menu has an arrow or keypad mnemonic.
    if ((event->modifiers() & Qt::AltModifier) && !intoTextBox && m_host.stepInput() &&
        !(event->modifiers() & Qt::ControlModifier)) {
        if (const auto column = ColumnOfKey(key, keypad)) {
            if (!event->isAutoRepeat()) {
                m_host.editor.PressKey(*column, SongSecondsAt(PressedAtNs(event)),
                                       chart::NoteKind::Mine);
            }
            return true;
        }
    }
    // System keys (Alt and its other combinations, F10) drive the menus and
    // are not key presses for tapping or step input.
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
        m_host.enter();
        return true;
    }
    if (key == Qt::Key_Escape) {
        m_host.escape();
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
    const double songSeconds = SongSecondsAt(pressedAtNs);
    if (m_host.stepInput()) {
        StepInputKey(key, keypad, songSeconds);
    } else {
        m_host.tap(pressedAtNs, songSeconds);
    }
    return false;
}

std::optional<std::uint8_t> StepKeys::ColumnOfKey(int key, bool keypad) const {
    const chart::SongChart* chart = m_host.editor.Selected();
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

void StepKeys::StepInputKey(int key, bool keypad, double songSeconds) {
    if (const auto column = ColumnOfKey(key, keypad)) {
        m_host.editor.PressKey(*column, songSeconds);
        return;
    }
    const std::optional<std::int32_t> row = m_host.editor.RowAt(songSeconds);
    if (!row) {
        return;
    }
    // Space clears the row; any other key pads the chart to it.
    if (key == Qt::Key_Space) {
        m_host.editor.ClearRow(*row);
    } else {
        m_host.editor.PadChart(*row);
    }
}

} // namespace app

#pragma once

#include "app/KeyRouting.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;
class QTimer;

namespace edit {
class SongEditor;
}
namespace player {
class MediaPlayer;
}

namespace app {

// The keyboard as an instrument: taps in tap mode, steps (held keys make
// holds; the editor's entry kind says of what kind) in step input, a mine
// with Alt and a step key in step input, Enter and Escape. Presses are placed in the song by
// their event stamps, not by when the window got round to them.
class StepKeys {
public:
    struct Host {
        edit::SongEditor& editor;
        player::MediaPlayer& player;
        std::function<double()> inputOffsetMs;
        std::function<double()> rate; // the player's, for the input offset
        std::function<bool()> stepInput;
        std::function<void(std::int64_t pressedAtNs, double songSeconds)> tap;
        std::function<void()> enter;
        std::function<void()> escape;
    };

    StepKeys(Host host, QObject* timerParent);

    // Return whether the key is consumed. A key bound for an editable text
    // box keeps only Enter's and Escape's window meaning.
    bool Press(QKeyEvent* event, bool intoTextBox);
    bool Release(QKeyEvent* event, bool intoTextBox);
    // The window lost the keyboard: keys held then never report their
    // release, so every one is let go now.
    void LetGoAll();

    // The chart column a step key enters, for the selected chart's style.
    std::optional<std::uint8_t> ColumnOfKey(int key, bool keypad) const;

private:
    void LetGoHeldBackReleases();
    void StepInputKey(int key, bool keypad, double songSeconds);
    // When a key was pressed on the steady clock, from its event stamp, and
    // the song time it stands for, less the input offset.
    static std::int64_t PressedAtNs(const QKeyEvent* event);
    double SongSecondsAt(std::int64_t pressedAtNs) const;

    Host m_host;
    ReleaseHoldBack m_releases;
    QTimer* m_releaseTimer;
};

} // namespace app

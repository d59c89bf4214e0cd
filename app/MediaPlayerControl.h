#pragma once

#include "player/MediaPlayer.h"

#include <QString>
#include <QWidget>

class QLabel;
class QSlider;
class QTimer;
class QToolButton;

namespace app {

// Control 1001: the media player's own transport controls, wrapping the
// player the window drives. Play/pause, stop (back to the start), a seek bar
// and "elapsed / total". It polls the player (lock-free reads) rather than
// taking its events, which belong to the window.
//
// None of its parts takes keyboard focus, so every key goes to the window's
// keyboard filter and the window; the control is worked with the mouse.
class MediaPlayerControl : public QWidget {
    Q_OBJECT

public:
    // How often the display follows the player.
    static constexpr int kRefreshMs = 50;
    static constexpr int kIdleRefreshMs = 250;

    MediaPlayerControl(player::MediaPlayer& player, QWidget* parent = nullptr);

    // "m:ss" (or "h:mm:ss" from an hour on); negative and NaN show as 0:00.
    static QString TimeText(double seconds);

    // The display as it stands, for tests and accessibility.
    QString TimeLabelText() const;

    // Brings the display up to date with the player now.
    void Refresh();

private:
    void PlayOrPause();
    void Stop();
    void SeekTo(int milliseconds);

    player::MediaPlayer& m_player;
    QToolButton* m_playPause = nullptr;
    QToolButton* m_stop = nullptr;
    QSlider* m_seekBar = nullptr;
    QLabel* m_time = nullptr;
    QTimer* m_refresh = nullptr;
    bool m_showingPause = false;
};

} // namespace app

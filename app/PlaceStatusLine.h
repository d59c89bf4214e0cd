#pragma once

#include "chart/TimingMap.h"
#include "player/MediaPlayer.h"

#include <QLabel>
#include <QTimer>
#include <functional>

namespace app {

// The status line's "Measure 3  Beat 2.50  Time 0:05.25" at the player's
// position, refreshed while the window lives; empty without a timeline.
class PlaceStatusLine : public QLabel {
public:
    PlaceStatusLine(player::MediaPlayer& player, std::function<chart::TimingMap()> timing,
                    QWidget* parent);

    void Refresh();

private:
    player::MediaPlayer& m_player;
    std::function<chart::TimingMap()> m_timing;
    QTimer m_timer;
};

} // namespace app

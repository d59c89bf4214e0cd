#include "app/MediaPlayerControl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProxyStyle>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <cmath>

namespace app {

namespace {

// A click on the seek bar's groove jumps there, as media players do,
// instead of stepping a page towards the mouse.
class JumpClickStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_Slider_AbsoluteSetButtons) {
            return Qt::LeftButton;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

int Milliseconds(double seconds) {
    if (!(seconds > 0.0)) {
        return 0;
    }
    return static_cast<int>(std::min(std::lround(seconds * 1000.0), long{INT32_MAX}));
}

} // namespace

MediaPlayerControl::MediaPlayerControl(player::MediaPlayer& player, QWidget* parent)
    : QWidget(parent), m_player(player) {
    setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);

    m_playPause = new QToolButton(this);
    m_playPause->setObjectName(QStringLiteral("playPause"));
    m_playPause->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    m_playPause->setToolTip(tr("Play"));
    m_stop = new QToolButton(this);
    m_stop->setObjectName(QStringLiteral("stop"));
    m_stop->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    m_stop->setToolTip(tr("Stop"));

    m_seekBar = new QSlider(Qt::Horizontal, this);
    m_seekBar->setObjectName(QStringLiteral("seekBar"));
    // No base style given: a proxy owns its base, and this one must not own
    // the application's.
    auto* seekStyle = new JumpClickStyle();
    seekStyle->setParent(m_seekBar);
    m_seekBar->setStyle(seekStyle);
    m_seekBar->setRange(0, 0);

    m_time = new QLabel(this);
    m_time->setObjectName(QStringLiteral("time"));

    for (QWidget* part : {static_cast<QWidget*>(m_playPause), static_cast<QWidget*>(m_stop),
                          static_cast<QWidget*>(m_seekBar), static_cast<QWidget*>(m_time)}) {
        part->setFocusPolicy(Qt::NoFocus);
    }
    layout->addWidget(m_playPause);
    layout->addWidget(m_stop);
    layout->addWidget(m_seekBar, 1);
    layout->addWidget(m_time);

    connect(m_playPause, &QToolButton::clicked, this, &MediaPlayerControl::PlayOrPause);
    connect(m_stop, &QToolButton::clicked, this, &MediaPlayerControl::Stop);
    // A drag seeks once, where it is let go; a click on the groove at once.
    connect(m_seekBar, &QSlider::sliderReleased, this,
            [this] { SeekTo(m_seekBar->sliderPosition()); });
    connect(m_seekBar, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove && !m_seekBar->isSliderDown()) {
            SeekTo(m_seekBar->sliderPosition());
        }
    });
    connect(m_seekBar, &QSlider::sliderMoved, this, [this](int milliseconds) {
        m_time->setText(TimeText(milliseconds / 1000.0) + QStringLiteral(" / ") +
                        TimeText(m_player.DurationSeconds()));
    });

    m_refresh = new QTimer(this);
    connect(m_refresh, &QTimer::timeout, this, &MediaPlayerControl::Refresh);
    m_refresh->start(kRefreshMs);
    Refresh();
}

QString MediaPlayerControl::TimeText(double seconds) {
    const int total = Milliseconds(seconds) / 1000;
    const int hours = total / 3600;
    const int minutes = total / 60 % 60;
    const int secs = total % 60;
    if (hours > 0) {
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(secs, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2").arg(minutes).arg(secs, 2, 10, QLatin1Char('0'));
}

QString MediaPlayerControl::TimeLabelText() const {
    return m_time->text();
}

void MediaPlayerControl::Refresh() {
    const bool loaded = !m_player.FileName().empty();
    const double duration = loaded ? m_player.DurationSeconds() : 0.0;
    const double position = loaded ? m_player.PositionSeconds() : 0.0;
    m_playPause->setEnabled(loaded);
    m_stop->setEnabled(loaded);
    m_seekBar->setEnabled(loaded);

    const bool playing = m_player.State() == player::PlayState::kPlaying;
    // Paused, only seeks move the position: a slower look keeps an idle
    // program idle.
    const int interval = playing ? kRefreshMs : kIdleRefreshMs;
    if (m_refresh && m_refresh->interval() != interval) {
        m_refresh->setInterval(interval);
    }
    if (playing != m_showingPause) {
        m_showingPause = playing;
        m_playPause->setIcon(
            style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
        m_playPause->setToolTip(playing ? tr("Pause") : tr("Play"));
    }
    if (m_seekBar->isSliderDown()) {
        return; // the user is dragging it: leave it and the time to the drag
    }
    m_seekBar->setRange(0, Milliseconds(duration));
    m_seekBar->setValue(Milliseconds(position));
    m_time->setText(TimeText(position) + QStringLiteral(" / ") + TimeText(duration));
}

void MediaPlayerControl::PlayOrPause() {
    if (m_player.State() == player::PlayState::kPlaying) {
        m_player.Pause();
    } else {
        m_player.Play();
    }
    Refresh();
}

void MediaPlayerControl::Stop() {
    m_player.Halt();
    Refresh();
}

void MediaPlayerControl::SeekTo(int milliseconds) {
    m_player.SetPositionSeconds(milliseconds / 1000.0);
    Refresh();
}

} // namespace app

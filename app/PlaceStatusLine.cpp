#include "app/PlaceStatusLine.h"

#include "chart/MeasurePlace.h"

namespace app {

namespace {
// Hundredths are shown; faster than the eye reads them is enough.
constexpr int kRefreshMs = 50;
} // namespace

PlaceStatusLine::PlaceStatusLine(player::MediaPlayer& player,
                                 std::function<chart::TimingMap()> timing, QWidget* parent)
    : QLabel(parent), m_player(player), m_timing(std::move(timing)) {
    setObjectName(QStringLiteral("placeStatus"));
    connect(&m_timer, &QTimer::timeout, this, &PlaceStatusLine::Refresh);
    m_timer.start(kRefreshMs);
}

void PlaceStatusLine::Refresh() {
    const QString text =
        m_player.HasTimeline()
            ? QString::fromStdString(chart::FormatPlace(m_timing(), m_player.PositionSeconds()))
            : QString();
    // Set only when it changes: a paused song costs no repaint.
    if (text != this->text()) {
        setText(text);
    }
}

} // namespace app

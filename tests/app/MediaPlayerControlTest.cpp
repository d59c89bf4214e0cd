// Control 1001 against a scripted player: what the buttons and the seek bar
// ask of it, what it shows, and that it leaves the keyboard to the window.
#include "app/MediaPlayerControl.h"

#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace app {
namespace {

class ScriptedPlayer : public player::MediaPlayer {
public:
    double PositionSeconds() const override { return position; }
    void SetPositionSeconds(double seconds) override {
        position = seconds;
        seeks.push_back(seconds);
    }
    double DurationSeconds() const override { return duration; }
    std::string FileName() const override { return fileName; }
    void SetRate(double) override {}
    void SetRepeat(std::int32_t) override {}
    void Play() override { state = player::PlayState::kPlaying; }
    void Pause() override { state = player::PlayState::kPaused; }
    void Halt() override {
        state = player::PlayState::kStopped;
        position = 0.0;
        ++halts;
    }
    player::PlayState State() const override { return state; }
    std::optional<std::string> Open(const std::string&) override { return std::nullopt; }
    void SetEvents(player::PlayerEvents) override {}

    double position = 0.0;
    double duration = 0.0;
    std::string fileName;
    player::PlayState state = player::PlayState::kStopped;
    std::vector<double> seeks;
    int halts = 0;
};

struct Control {
    Control() : widget(player) { widget.resize(400, 30); }
    QToolButton* PlayPause() { return widget.findChild<QToolButton*>("playPause"); }
    QToolButton* Stop() { return widget.findChild<QToolButton*>("stop"); }
    QSlider* SeekBar() { return widget.findChild<QSlider*>("seekBar"); }

    ScriptedPlayer player;
    MediaPlayerControl widget;
};

TEST(MediaPlayerControl, TimeTextIsMinutesAndSecondsOrHours) {
    EXPECT_EQ(MediaPlayerControl::TimeText(0.0), "0:00");
    EXPECT_EQ(MediaPlayerControl::TimeText(59.999), "0:59") << "a second shows once it has passed";
    EXPECT_EQ(MediaPlayerControl::TimeText(61.4), "1:01");
    EXPECT_EQ(MediaPlayerControl::TimeText(3725.0), "1:02:05");
    EXPECT_EQ(MediaPlayerControl::TimeText(-3.0), "0:00");
    EXPECT_EQ(MediaPlayerControl::TimeText(std::nan("")), "0:00");
}

TEST(MediaPlayerControl, ButtonsPlayPauseAndStopBackToTheStart) {
    Control c;
    EXPECT_FALSE(c.PlayPause()->isEnabled()) << "nothing to play yet";
    EXPECT_FALSE(c.SeekBar()->isEnabled());
    EXPECT_EQ(c.widget.TimeLabelText(), "0:00 / 0:00");
    c.player.fileName = "song.mp3";
    c.player.duration = 125.0;
    c.player.position = 42.5;
    c.widget.Refresh();
    EXPECT_TRUE(c.PlayPause()->isEnabled());
    EXPECT_EQ(c.widget.TimeLabelText(), "0:42 / 2:05");
    EXPECT_EQ(c.SeekBar()->value(), 42500);

    QTest::mouseClick(c.PlayPause(), Qt::LeftButton);
    EXPECT_EQ(c.player.state, player::PlayState::kPlaying);
    QTest::mouseClick(c.PlayPause(), Qt::LeftButton);
    EXPECT_EQ(c.player.state, player::PlayState::kPaused);
    QTest::mouseClick(c.Stop(), Qt::LeftButton);
    EXPECT_EQ(c.player.halts, 1);
    EXPECT_EQ(c.widget.TimeLabelText(), "0:00 / 2:05");
}

TEST(MediaPlayerControl, SeekBarSeeksWhereItIsClickedOrLetGo) {
    Control c;
    c.player.fileName = "song.mp3";
    c.player.duration = 100.0;
    c.widget.show();
    c.widget.Refresh();
    QSlider* bar = c.SeekBar();
    // A click three quarters along the groove jumps there.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() * 3 / 4, bar->height() / 2));
    ASSERT_EQ(c.player.seeks.size(), 1U);
    // The handle's width keeps the groove a little shorter than the bar.
    EXPECT_NEAR(c.player.seeks[0], 75.0, 5.0);
    // A drag seeks once, on release.
    bar->setSliderDown(true);
    bar->setSliderPosition(20000);
    c.widget.Refresh();
    EXPECT_EQ(bar->sliderPosition(), 20000) << "the refresh leaves a dragged bar alone";
    bar->setSliderDown(false);
    ASSERT_EQ(c.player.seeks.size(), 2U);
    EXPECT_EQ(c.player.seeks[1], 20.0);
}

TEST(MediaPlayerControl, NoPartTakesTheKeyboard) {
    Control c;
    c.player.fileName = "song.mp3";
    c.player.duration = 10.0;
    c.widget.show();
    c.widget.Refresh();
    for (QWidget* part : c.widget.findChildren<QWidget*>()) {
        EXPECT_EQ(part->focusPolicy(), Qt::NoFocus) << part->objectName().toStdString();
    }
    QTest::mouseClick(c.PlayPause(), Qt::LeftButton);
    EXPECT_FALSE(c.PlayPause()->hasFocus()) << "a click leaves the focus where it was";
    // Space or an arrow key would press a focused button or move a focused
    // slider; sent to the control they change nothing.
    QTest::keyClick(&c.widget, Qt::Key_Space);
    QTest::keyClick(&c.widget, Qt::Key_Right);
    EXPECT_EQ(c.player.state, player::PlayState::kPlaying);
    EXPECT_TRUE(c.player.seeks.empty());
}

} // namespace
} // namespace app

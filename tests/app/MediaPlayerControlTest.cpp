// Control 1001 against a scripted player: what the buttons and the seek bar
// ask of it, what it shows, and that it leaves the keyboard to the window.
#include "app/MediaPlayerControl.h"

#include "FakeServices.h"

#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <cmath>

namespace app {
namespace {

struct Control {
    Control() : widget(player) {
        widget.resize(400, 30);
        player.fileName = "song.mp3";
        player.duration = 125.0;
    }
    QToolButton* PlayPause() { return widget.findChild<QToolButton*>("playPause"); }
    QSlider* SeekBar() { return widget.findChild<QSlider*>("seekBar"); }

    fakes::Player player;
    MediaPlayerControl widget;
};

TEST(MediaPlayerControl, TimeTextIsMinutesAndSecondsOrHours) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0:00"},       {59.999, "0:59"}, // a second shows once it has passed
        {61.4, "1:01"},      {600.0, "10:00"}, {3599.5, "59:59"},
        {3725.0, "1:02:05"}, {-3.0, "0:00"},   {std::nan(""), "0:00"}};
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(MediaPlayerControl::TimeText(seconds), text) << seconds;
    }
}

TEST(MediaPlayerControl, ButtonsPlayPauseAndStopBackToTheStart) {
    fakes::Player empty;
    MediaPlayerControl nothing(empty);
    EXPECT_FALSE(nothing.findChild<QToolButton*>("playPause")->isEnabled()) << "nothing to play";
    EXPECT_FALSE(nothing.findChild<QSlider*>("seekBar")->isEnabled());
    EXPECT_EQ(nothing.TimeLabelText(), "0:00 / 0:00");

    Control c;
    c.player.position = 42.5;
    c.widget.Refresh();
    EXPECT_TRUE(c.PlayPause()->isEnabled());
    EXPECT_EQ(c.widget.TimeLabelText(), "0:42 / 2:05");
    EXPECT_EQ(c.SeekBar()->value(), 42500);
    QTest::mouseClick(c.PlayPause(), Qt::LeftButton);
    EXPECT_EQ(c.player.State(), player::PlayState::kPlaying);
    QTest::mouseClick(c.PlayPause(), Qt::LeftButton);
    EXPECT_EQ(c.player.State(), player::PlayState::kPaused);
    QTest::mouseClick(c.widget.findChild<QToolButton*>("stop"), Qt::LeftButton);
    EXPECT_EQ(c.player.halts, 1);
    EXPECT_EQ(c.widget.TimeLabelText(), "0:00 / 2:05");
}

TEST(MediaPlayerControl, SeekBarSeeksWhereItIsClickedOrLetGo) {
    Control c;
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
    EXPECT_EQ(c.player.State(), player::PlayState::kPlaying);
    EXPECT_TRUE(c.player.seeks.empty());
}

} // namespace
} // namespace app

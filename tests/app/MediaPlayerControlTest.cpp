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

TEST(MediaPlayerControl, TimeTextIsMinutesAndSecondsOrHours) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0:00"},       {59.999, "0:59"}, // a second shows once it has passed
        {61.4, "1:01"},      {600.0, "10:00"}, {3599.5, "59:59"},
        {3725.0, "1:02:05"}, {-3.0, "0:00"},   {std::nan(""), "0:00"}};
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(MediaPlayerControl::TimeText(seconds), text) << seconds;
    }
}

// Nothing to play: all off. With a song, the buttons play, pause and stop
// back to the start. No part takes the keyboard, even when clicked: Space or
// an arrow sent to the control changes nothing.
TEST(MediaPlayerControl, ButtonsPlayPauseAndStopAndLeaveTheKeyboard) {
    fakes::Player player;
    MediaPlayerControl control(player);
    const auto playPause = control.findChild<QToolButton*>("playPause");
    EXPECT_FALSE(playPause->isEnabled() || control.findChild<QSlider*>("seekBar")->isEnabled());
    EXPECT_EQ(control.TimeLabelText(), "0:00 / 0:00");

    player.fileName = "song.mp3";
    player.duration = 125.0;
    player.position = 42.5;
    control.show();
    control.Refresh();
    EXPECT_TRUE(playPause->isEnabled());
    EXPECT_EQ(control.TimeLabelText(), "0:42 / 2:05");
    EXPECT_EQ(control.findChild<QSlider*>("seekBar")->value(), 42500);
    for (QWidget* part : control.findChildren<QWidget*>()) {
        EXPECT_EQ(part->focusPolicy(), Qt::NoFocus) << part->objectName().toStdString();
    }
    QTest::mouseClick(playPause, Qt::LeftButton);
    EXPECT_EQ(player.State(), player::PlayState::kPlaying);
    EXPECT_FALSE(playPause->hasFocus());
    QTest::keyClick(&control, Qt::Key_Space);
    QTest::keyClick(&control, Qt::Key_Right);
    EXPECT_EQ(player.State(), player::PlayState::kPlaying);
    EXPECT_TRUE(player.seeks.empty());
    QTest::mouseClick(playPause, Qt::LeftButton);
    EXPECT_EQ(player.State(), player::PlayState::kPaused);
    QTest::mouseClick(control.findChild<QToolButton*>("stop"), Qt::LeftButton);
    EXPECT_EQ(player.halts, 1);
    EXPECT_EQ(control.TimeLabelText(), "0:00 / 2:05");
}

// A click on the groove jumps there; a drag seeks once, on release, and the
// refresh leaves a dragged bar alone.
TEST(MediaPlayerControl, SeekBarSeeksWhereItIsClickedOrLetGo) {
    fakes::Player player;
    player.fileName = "song.mp3";
    player.duration = 100.0;
    MediaPlayerControl control(player);
    control.resize(400, 30);
    control.show();
    control.Refresh();
    auto* bar = control.findChild<QSlider*>("seekBar");
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() * 3 / 4, bar->height() / 2));
    ASSERT_EQ(player.seeks.size(), 1U);
    // The handle's width keeps the groove a little shorter than the bar.
    EXPECT_NEAR(player.seeks[0], 75.0, 5.0);
    bar->setSliderDown(true);
    bar->setSliderPosition(20000);
    control.Refresh();
    EXPECT_EQ(bar->sliderPosition(), 20000);
    bar->setSliderDown(false);
    EXPECT_EQ(player.seeks, (std::vector<double>{player.seeks[0], 20.0}));
}

} // namespace
} // namespace app

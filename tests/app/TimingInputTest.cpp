// Key press times, the input offset, its calibration and the settings that
// persist, through the main window and its dialogs.
#include "WindowFixture.h"
#include "app/CalibrationDlg.h"
#include "app/RecentSongsMenu.h"
#include "player/ClickTrack.h"
#include "player/KeyPressTime.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

namespace {

using player::KeyPressTime;
constexpr std::int64_t kNsPerMs = 1'000'000;

// A key event stamped the way X11 stamps it: the steady clock's
// milliseconds at the press, truncated.
void SendStampedKey(QWidget* target, int key, std::int64_t pressedAtNs) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    press.setTimestamp(static_cast<quint64>(pressedAtNs / kNsPerMs));
    QApplication::sendEvent(target, &press);
}

// A player playing at rate 1 whose song time at `originNs` was `originSeconds`.
struct PlayingClock {
    std::int64_t originNs = 0;
    double originSeconds = 0.0;
    double At(std::int64_t ns) const {
        return originSeconds + static_cast<double>(ns - originNs) * 1e-9;
    }
};

// The window with its settings in a config folder of its own.
class TimingWindow : public Window {
protected:
    void SetUp() override {
        ASSERT_TRUE(configDir.isValid());
        qputenv("XDG_CONFIG_HOME", configDir.path().toUtf8());
        player.state = player::PlayState::kPlaying;
        makeCalibrationPlayer = [this] {
            auto clicks = std::make_unique<fakes::Player>();
            calibrationPlayer = clicks.get();
            return clicks;
        };
        Restart();
    }
    void TearDown() override {
        window.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }
    // A fresh run of the program: settings read from the config folder.
    void Restart() {
        window.reset();
        settings = std::make_unique<app::Settings>();
        Start();
    }
    // Presses a key at song time `atSeconds` and tick `tickMs`, handled
    // `stall` later (the tick clock and the player then read later too).
    void PressLate(int key, double atSeconds, std::chrono::milliseconds stall,
                   std::uint32_t tickMs = 0) {
        const std::int64_t pressNs = KeyPressTime::NowNs();
        const PlayingClock heard{pressNs, atSeconds};
        player.history = [heard](std::int64_t ns) { return heard.At(ns); };
        std::this_thread::sleep_for(stall); // the window thread is busy
        const std::int64_t handledNs = KeyPressTime::NowNs();
        player.position = heard.At(handledNs);
        clock.now = tickMs + static_cast<std::uint32_t>((handledNs - pressNs) / kNsPerMs);
        QWidget* focus = QApplication::focusWidget();
        SendStampedKey(focus ? focus : window.get(), key, pressNs);
    }

    QTemporaryDir configDir;
    fakes::Player* calibrationPlayer = nullptr; // owned by the dialog while it runs
};

// 120 BPM: slots every 0.25 s, a press belongs to the nearest. Pressed at
// 1.11 s (slot 4), handled 50 ms later at 1.16 s (slot 5's half).
TEST_F(TimingWindow, StepsLandWhereTheKeyWasPressedNotWhereItWasHandled) {
    StepMode(120.0f);
    PressLate(Qt::Key_Up, 1.11, std::chrono::milliseconds(50));
    EXPECT_EQ(window->Steps(), "00008");
    PressLate(Qt::Key_Left, 1.36, std::chrono::milliseconds(50));
    EXPECT_EQ(window->Steps(), "000084") << "1.36 s is slot 5, 1.41 s would be 6";
}

// The Gap is the press's song time folded into the first beat: it shows
// how close to the press a late-handled key lands.
TEST_F(TimingWindow, TappedGapIsThePressTimeWithin2Ms) {
    LoadSong(120.0f);
    // Presses 500 ms apart, the second and third handled 50 ms late: the
    // intervals are measured between presses, not handlings.
    PressLate(Qt::Key_A, 0.1, std::chrono::milliseconds(0), 1000);
    PressLate(Qt::Key_A, 0.6, std::chrono::milliseconds(50), 1500);
    PressLate(Qt::Key_A, 1.1, std::chrono::milliseconds(50), 2000);
    // Stamps and ticks are whole milliseconds: 1 ms in the 1000 ms of two
    // intervals is 0.12 BPM.
    EXPECT_NEAR(window->Timing().bpm, 120.0f, 0.25f);
    // 1.1 s folded by two beats; the 2 ms the press stamp allows.
    EXPECT_NEAR(window->Timing().gapSeconds, 0.1, 0.002);
}

// The offset is real time: at half speed 30 ms of lateness is 15 ms of song.
TEST_F(TimingWindow, InputOffsetComesOffStepsAndGapAtTheSongSpeed) {
    settings->SetInputOffsetMs(30.0);
    settings->SetSongSpeedPercent(50);
    Restart();
    EXPECT_DOUBLE_EQ(window->InputOffsetMs(), 30.0);
    StepMode(120.0f);
    // Slot 4 ends at 1.125 s. At 1.135 s less 15 ms: slot 4 (slot 5 with no
    // offset); at 1.15 s less 15 ms: slot 5 (slot 4 with the whole 30 ms).
    PressLate(Qt::Key_Down, 1.135, std::chrono::milliseconds(0));
    PressLate(Qt::Key_Left, 1.15, std::chrono::milliseconds(0));
    EXPECT_EQ(window->Steps(), "000024");
}

// Taps 30 ms behind each click (as heard), read 20 ms late: the
// calibration finds 30 ± 2 ms and the window keeps it.
TEST_F(TimingWindow, CalibrationOfTapsThirtyMsLateGivesThirty) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<app::CalibrationDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->StartClicks();
        EXPECT_TRUE(dialog->Running());
        ASSERT_NE(calibrationPlayer, nullptr);
        EXPECT_EQ(calibrationPlayer->plays, 1);
        for (int k = 0; k < 20; ++k) {
            const double click = player::CalibrationTrack::kFirstClickSeconds +
                                 k * player::CalibrationTrack::kIntervalSeconds;
            const std::int64_t pressNs = KeyPressTime::NowNs() - 20 * kNsPerMs;
            const PlayingClock heard{pressNs, click + 0.030};
            calibrationPlayer->history = [heard](std::int64_t ns) { return heard.At(ns); };
            calibrationPlayer->position = heard.At(KeyPressTime::NowNs());
            SendStampedKey(dialog, Qt::Key_Space, pressNs);
        }
        EXPECT_EQ(dialog->Taps(), 20);
        EXPECT_TRUE(dialog->ResultText().contains("20 taps")) << dialog->ResultText().toStdString();
        EXPECT_NEAR(dialog->InputOffsetMs(), 30.0, 2.0);
        ran = true;
        dialog->accept();
    });
    window->OnCommand(app::kCmdCalibrateTiming);
    ASSERT_TRUE(ran);
    EXPECT_NEAR(window->InputOffsetMs(), 30.0, 2.0);
    EXPECT_NEAR(settings->InputOffsetMs(), 30.0, 2.0);
}

TEST_F(TimingWindow, SettingsSurviveARestart) {
    LoadSong(120.0f, "/songs/first.mp3");
    LoadSong(120.0f, "/songs/second.ogg");
    Click(1017); // 0.5X
    window->OnCommand(app::kCmdToggleMetronome);
    window->SetSnap(edit::Snap::k16th);
    window->close();
    const QString file = settings->FilePath();
    EXPECT_TRUE(file.startsWith(configDir.path() + "/beatwright/")) << file.toStdString();

    Restart();
    EXPECT_EQ(window->SongSpeed(), 50);
    EXPECT_EQ(Text(1021), "50");
    EXPECT_FALSE(window->MetronomeOn());
    EXPECT_FALSE(Action(app::kCmdToggleMetronome)->isChecked());
    EXPECT_EQ(window->Editor().CurrentSnap(), edit::Snap::k16th);
    auto* recent = window->findChild<app::RecentSongsMenu*>();
    ASSERT_NE(recent, nullptr);
    ASSERT_EQ(recent->actions().size(), 2);
    EXPECT_EQ(recent->actions()[0]->data().toString(), "/songs/second.ogg");
    // Choosing one opens it; one that no longer opens leaves the list.
    recent->actions()[1]->trigger();
    EXPECT_EQ(player.opened.back(), "/songs/first.mp3");
    EXPECT_EQ(recent->actions()[0]->data().toString(), "/songs/first.mp3");
    player.openError = "gone";
    recent->actions()[1]->trigger();
    EXPECT_EQ(player.opened.back(), "/songs/second.ogg");
    EXPECT_EQ(settings->RecentSongs().join('|').toStdString(), "/songs/first.mp3");
}

// An opened chart goes on top of Recent Files, after its song, and reopens
// with it.
TEST_F(TimingWindow, RecentFilesListChartsAndReopenThemWithTheirSongs) {
    const QString folder = configDir.path() + "/song folder";
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile(folder + "/x.ogg").open(QIODevice::WriteOnly);
    const QString chart = folder + "/chart.dwi";
    QFile file(chart);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#BPM:140;\n#SINGLE:BASIC:3:0808;\n");
    file.close();
    ASSERT_TRUE(window->OpenChartFile(chart.toStdString()));
    EXPECT_EQ(settings->RecentSongs().join('|'), chart + "|" + folder + "/x.ogg");

    LoadSong(120.0f, "/songs/other.mp3");
    auto* recent = window->findChild<app::RecentSongsMenu*>();
    ASSERT_EQ(recent->actions()[1]->data().toString(), chart);
    recent->actions()[1]->trigger();
    EXPECT_EQ(window->DwiFileName(), chart.toStdString());
    EXPECT_EQ(player.opened.back(), (folder + "/x.ogg").toStdString());
    EXPECT_EQ(window->Steps(), "0808");
}

TEST(Settings, KeepsRecentSongsInOrderAndValuesInRange) {
    QTemporaryDir dir;
    app::Settings settings(dir.filePath("test.conf"));
    for (int i = 0; i < 10; ++i) {
        settings.AddRecentSong(QStringLiteral("/s/%1.mp3").arg(i));
    }
    settings.AddRecentSong("/s/5.mp3");
    EXPECT_EQ(settings.RecentSongs().join(' '),
              "/s/5.mp3 /s/9.mp3 /s/8.mp3 /s/7.mp3 /s/6.mp3 /s/4.mp3 /s/3.mp3 /s/2.mp3");
    settings.SetLastFolder("open-dwi", "/charts");
    EXPECT_EQ(settings.LastFolder("open-dwi"), "/charts");
    EXPECT_EQ(settings.LastFolder("save-dwi"), "");
    // A hand-edited file with nonsense falls back to the defaults.
    settings.SetValue("player/songSpeedPercent", 5000);
    settings.SetValue("timing/inputOffsetMs", "soon");
    EXPECT_EQ(settings.SongSpeedPercent(), 100);
    EXPECT_EQ(settings.InputOffsetMs(), 0.0);
    EXPECT_TRUE(settings.MetronomeOn());
}

} // namespace

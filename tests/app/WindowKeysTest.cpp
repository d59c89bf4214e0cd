// The keyboard of the main window: which key enters which step, taps, Enter
// and Escape, held keys, when a press counts, and the calibration of the
// input offset.
#include "WindowFixture.h"
#include "app/CalibrationDlg.h"
#include "dwi/DwiSong.h"
#include "player/ClickTrack.h"
#include "player/KeyPressTime.h"

#include <QKeyEvent>
#include <QTimer>
#include <chrono>
#include <thread>

namespace {

using CChartEditorDlg = app::CChartEditorDlg;
using player::KeyPressTime;
constexpr std::int64_t kNsPerMs = 1'000'000;

// Which column a key enters on each kind of chart (at 120 BPM, 1.0 s is row
// 96). The arrows and the keypad's 4, 2, 8, 6 are the pad's Left, Down, Up,
// Right; with two pads the keypad is the second; SOLO's diagonals are
// keypad 7 and 9. Other keys, and Alt combinations (the menus'), enter none.
TEST_F(Window, StepKeysEnterTheirColumnOnEveryStyle) {
    constexpr int kNone = -1;
    const char* single = "#SINGLE:BASIC:1:0;";
    const char* doubles = "#DOUBLE:BASIC:1:0:0;";
    const char* solo = "#SOLO:BASIC:1:0;";
    const struct {
        const char* chart;
        int key;
        Qt::KeyboardModifiers modifiers;
        int column;
    } cases[] = {
        {single, Qt::Key_Left, Qt::NoModifier, 0},      {single, Qt::Key_Down, Qt::NoModifier, 1},
        {single, Qt::Key_Up, Qt::NoModifier, 2},        {single, Qt::Key_Right, Qt::NoModifier, 3},
        {single, Qt::Key_4, Qt::KeypadModifier, 0},     {single, Qt::Key_2, Qt::KeypadModifier, 1},
        {single, Qt::Key_8, Qt::KeypadModifier, 2},     {single, Qt::Key_6, Qt::KeypadModifier, 3},
        {single, Qt::Key_7, Qt::KeypadModifier, kNone}, {single, Qt::Key_6, Qt::NoModifier, kNone},
        {single, Qt::Key_Left, Qt::AltModifier, kNone}, {single, Qt::Key_Q, Qt::NoModifier, kNone},
        {doubles, Qt::Key_Left, Qt::NoModifier, 0},     {doubles, Qt::Key_Right, Qt::NoModifier, 3},
        {doubles, Qt::Key_4, Qt::KeypadModifier, 4},    {doubles, Qt::Key_2, Qt::KeypadModifier, 5},
        {doubles, Qt::Key_8, Qt::KeypadModifier, 6},    {doubles, Qt::Key_6, Qt::KeypadModifier, 7},
        {solo, Qt::Key_Left, Qt::NoModifier, 0},        {solo, Qt::Key_7, Qt::KeypadModifier, 1},
        {solo, Qt::Key_Down, Qt::NoModifier, 2},        {solo, Qt::Key_Up, Qt::NoModifier, 3},
        {solo, Qt::Key_9, Qt::KeypadModifier, 4},       {solo, Qt::Key_Right, Qt::NoModifier, 5},
        {solo, Qt::Key_6, Qt::KeypadModifier, 5},
    };
    StepMode(120.0f);
    EXPECT_EQ(Text(1008), "Use the arrow keys to enter step data into the scrolling window on "
                          "the right.  Use space key to erase step data at current location.");
    const auto load = [this](const std::string& record) {
        window->LoadDocument(dwi::ReadSong("#BPM:120;\r\n" + record + "\r\n"), 0, "", false);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.chart) + " key " + std::to_string(c.key) + " modifiers " +
                     std::to_string(c.modifiers.toInt()));
        load(c.chart);
        HoldKey(c.key, 1.0, 1.0, c.modifiers);
        EXPECT_EQ(Shown().notes.Size(), c.column == kNone ? 0u : 1u);
        if (c.column != kNone) {
            EXPECT_NE(Shown().notes.Find(96, static_cast<std::uint8_t>(c.column)), nullptr);
        }
    }
    // Space clears the row at the playing slot, other keys pad the chart to
    // it; before the Gap there is no slot and no key does anything.
    load("#SINGLE:BASIC:1:00007;");
    HoldKey(Qt::Key_Space, 1.0, 1.0);
    EXPECT_EQ(window->Steps(), "00000");
    HoldKey(Qt::Key_6, 2.0, 2.0);
    EXPECT_EQ(window->Steps(), "000000000");
    window->SetSteps("");
    Spinning(1013, 3)(); // Gap 0.03
    HoldKey(Qt::Key_Up, 0.01, 0.01);
    HoldKey(Qt::Key_Q, 0.01, 0.01);
    EXPECT_EQ(window->Steps(), "");
}

// Fixed fault: keys typed into the Title and Artist boxes also entered
// steps and taps. Now typing goes into the box alone; Enter and Escape keep
// their window meaning.
TEST_F(Window, KeysTypedIntoTextBoxesAreTextOnly) {
    StepMode();
    const chart::StepChart before = window->Steps();
    player.position = 1.0;
    for (int id : {1023, 1024}) {
        auto* box = Control<QLineEdit>(id);
        box->setFocus();
        for (int key : {Qt::Key_A, Qt::Key_Space, Qt::Key_B}) {
            Press(key);
        }
        Press(Qt::Key_6, Qt::KeypadModifier);
        Press(Qt::Key_Up);
        Press(Qt::Key_Left); // moves the box's cursor only
        EXPECT_EQ(box->text(), "a b6") << id;
        EXPECT_EQ(box->cursorPosition(), 3) << id;
        EXPECT_EQ(window->Steps(), before) << id;
    }
    Control(1023)->setFocus();
    Press(Qt::Key_Return);
    EXPECT_GT(player.position.load(), 1.0) << "Enter still snaps to the next slot";
    // The typing is unsaved work: the exit asks to save it.
    dialogs.saveChoices = {fakes::Dialogs::SaveChoice::kCancel};
    Press(Qt::Key_Escape);
    EXPECT_EQ(dialogs.questions,
              std::vector<std::string>{"Save Changes: Save changes to song.mp3?"});

    // The number boxes take typed values: an arrow there moves the cursor.
    Control(1010)->setFocus();
    player.position = 1.0;
    Press(Qt::Key_Up);
    EXPECT_EQ(window->Steps(), before);
    // Fixed fault: Space typed into the Range Action list's field also
    // cleared the row playing.
    window->centralWidget()->setFocus();
    Press(Qt::Key_Up);
    const chart::StepChart withNote = window->Steps();
    ASSERT_NE(withNote, before);
    Control(1029)->setFocus();
    Press(Qt::Key_Space);
    EXPECT_EQ(window->Steps(), withNote);

    // In tap mode a key in the Title box is no tap either.
    window->OnCommand(32779);
    Control(1023)->setFocus();
    clock.now = 1000;
    Press(Qt::Key_T);
    clock.now = 1500;
    Press(Qt::Key_T);
    EXPECT_EQ(window->Taps().tapCount, 0);
    EXPECT_EQ(Text(1005), "120.0");
}

// Taps measure the tempo between presses; the Gap is the press folded into
// the first beat, the next click one beat after the press. A series of taps
// is one undo step; Tap Tempo starts a new series.
TEST_F(Window, TappingComputesTempoGapAndClick) {
    clock.now = 10000;
    LoadSong();
    const std::size_t edits = window->Editor().History().Count();
    // Fixed fault: the time between opening a song and the first tap counted
    // as a beat. The estimate stands until the second tap measures one.
    clock.now = 10600;
    player.position = 0.75;
    Press(Qt::Key_A);
    EXPECT_EQ(Text(1008), "Fine tune BPM/Gap with the controls below, then select \"Step Data "
                          "Input\" from the Mode menu to disable keypresses being interpreted "
                          "as tempo entry.");
    EXPECT_EQ(Text(1005), "150.0");
    // 500 ms apart: 120 BPM; the press at 1.25 s folds into the first beat
    // at 0.25 s, the next click one beat after the press.
    clock.now = 11100;
    player.position = 1.25;
    Press(Qt::Key_A);
    EXPECT_EQ(Texts({1005, 1006, 1007, 1012}), "120.0|0.5|120.0|0.25");
    EXPECT_DOUBLE_EQ(window->Timing().nextClickSeconds, 2.25);
    // 600 ms: 100 BPM for this hit, 2 beats in 1.1 s overall.
    clock.now = 11700;
    Press(Qt::Key_Space);
    EXPECT_EQ(Texts({1005, 1007, 1010}), "109.1|100.0|109.1");
    EXPECT_EQ(window->Editor().History().Count(), edits + 1);

    window->OnCommand(32779);
    EXPECT_EQ(Texts({1006, 1007, 1008}),
              "000.0|000.0|Press any key to begin tapping out the BPM/tempo");
    clock.now = 12000;
    Press(Qt::Key_A);
    EXPECT_EQ(Text(1005), "109.1") << "a new series has no interval yet";
}

// Enter snaps to the next slot and never presses the focused button.
// Escape and the close box ask to quit; No changes nothing. With unsaved
// work undone to the clean state, the plain question comes back.
TEST_F(Window, EnterSnapsForwardAndEscapeAsksToQuit) {
    int clicks = 0;
    QObject::connect(Control<QPushButton>(1019), &QPushButton::clicked, [&] { ++clicks; });
    Press(Qt::Key_Return); // no song: nothing
    EXPECT_TRUE(player.seeks.empty());
    StepMode(120.0f);
    player.position = 0.36;
    Spinning(1013, 10)(); // Gap 0.1
    Control(1019)->setFocus();
    Press(Qt::Key_Return);
    // Slots at 0.1 + k/4 s: the next after 0.36 is 0.6, less the margin
    // (a tenth of a cell) that keeps the player just before it.
    EXPECT_NEAR(player.position.load(), 0.575, 1e-6);
    EXPECT_EQ(clicks, 0);

    window->Undo();
    dialogs.answers = {false};
    Press(Qt::Key_Escape);
    EXPECT_EQ(dialogs.questions,
              std::vector<std::string>{"Confirm Exit: Are you sure you want to quit?"});
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->WorkersRunning());
    EXPECT_EQ(window->CurrentMode(), CChartEditorDlg::kStepInput);
    EXPECT_EQ(player.halts, 0);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(player.halts, 1);
    EXPECT_FALSE(window->WorkersRunning());
}

// A key held longer than a cell is a hold, one undo step. Fixed fault: a key
// held while another window took the keyboard never ended its hold and
// entered nothing afterwards; it is let go there now.
TEST_F(Window, HeldKeysEnterHoldsUntilReleasedOrTheKeyboardGoes) {
    StepMode();
    HoldKey(Qt::Key_Up, 1.0, 2.0);   // rows 96 to 192
    HoldKey(Qt::Key_Down, 3.0, 3.1); // shorter than a cell (0.25 s): a tap
    ASSERT_NE(Shown().notes.Find(96, 2), nullptr);
    EXPECT_EQ(Shown().notes.Find(96, 2)->holdRows, 96);
    ASSERT_NE(Shown().notes.Find(288, 1), nullptr);
    EXPECT_EQ(Shown().notes.Find(288, 1)->holdRows, 0);
    EXPECT_EQ(window->Editor().History().Count(), 2u);
    window->Undo();
    EXPECT_EQ(Action(32803)->text() + "|" + Action(32802)->text(), "&Redo Add Note|&Undo Add Hold");

    player.position = 4.0;
    QTest::keyPress(QApplication::focusWidget(), Qt::Key_Left);
    player.position = 4.5;
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ASSERT_NE(Shown().notes.Find(384, 0), nullptr);
    EXPECT_EQ(Shown().notes.Find(384, 0)->holdRows, 48) << "from 4.0 s to 4.5 s";
    other.close();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    HoldKey(Qt::Key_Left, 5.0, 5.0);
    EXPECT_NE(Shown().notes.Find(480, 0), nullptr);
}

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

// Steps and taps count where the key went down, not where the window got to
// it, less the input offset in real time: at half speed 30 ms of lateness
// is 15 ms of song. At 120 BPM slots are 0.25 s apart, slot 4 ending at
// 1.125 s.
TEST_F(Window, PressesCountWhenTheKeyWentDownLessTheOffset) {
    UseSettings();
    settings->SetInputOffsetMs(30.0);
    settings->SetSongSpeedPercent(50);
    Start();
    EXPECT_DOUBLE_EQ(window->InputOffsetMs(), 30.0);
    // Presses a key at song time `atSeconds` and tick `tickMs`, handled
    // `stallMs` later (the tick clock and the player then read later too).
    const auto pressLate = [this](int key, double atSeconds, int stallMs, std::uint32_t tickMs) {
        const std::int64_t pressNs = KeyPressTime::NowNs();
        const PlayingClock heard{pressNs, atSeconds};
        player.history = [heard](std::int64_t ns) { return heard.At(ns); };
        std::this_thread::sleep_for(std::chrono::milliseconds(stallMs)); // the window is busy
        const std::int64_t handledNs = KeyPressTime::NowNs();
        player.position = heard.At(handledNs);
        clock.now = tickMs + static_cast<std::uint32_t>((handledNs - pressNs) / kNsPerMs);
        QWidget* focus = QApplication::focusWidget();
        SendStampedKey(focus ? focus : window.get(), key, pressNs);
    };
    StepMode(120.0f);
    // 1.135 s less 15 ms: slot 4 (slot 5 without the offset or when handled
    // at 1.185 s); 1.15 s less 15 ms: slot 5 (slot 4 with the whole 30 ms).
    pressLate(Qt::Key_Down, 1.135, 50, 0);
    pressLate(Qt::Key_Left, 1.15, 50, 0);
    EXPECT_EQ(window->Steps(), "000024");

    // Taps 500 ms apart, the second and third handled 50 ms late: the
    // intervals are measured between presses. 1.1 s less 15 ms folded by
    // two beats is a Gap of 0.085 s.
    window->OnCommand(32779);
    pressLate(Qt::Key_A, 0.1, 0, 1000);
    pressLate(Qt::Key_A, 0.6, 50, 1500);
    pressLate(Qt::Key_A, 1.1, 50, 2000);
    // Stamps and ticks are whole milliseconds: 1 ms in the 1000 ms of two
    // intervals is 0.12 BPM, and 2 ms of Gap.
    EXPECT_NEAR(window->Timing().bpm, 120.0f, 0.25f);
    EXPECT_NEAR(window->Timing().gapSeconds, 0.085, 0.002);
}

// Taps 30 ms behind each click (as heard), read 20 ms late: the
// calibration finds 30 ± 2 ms and the window keeps it.
TEST_F(Window, CalibrationOfTapsThirtyMsLateGivesThirty) {
    fakes::Player* clicks = nullptr; // owned by the dialog while it runs
    makeCalibrationPlayer = [&clicks] {
        auto made = std::make_unique<fakes::Player>();
        clicks = made.get();
        return made;
    };
    UseSettings();
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<app::CalibrationDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->StartClicks();
        EXPECT_TRUE(dialog->Running());
        ASSERT_NE(clicks, nullptr);
        EXPECT_EQ(clicks->plays, 1);
        for (int k = 0; k < 20; ++k) {
            const double click = player::CalibrationTrack::kFirstClickSeconds +
                                 k * player::CalibrationTrack::kIntervalSeconds;
            const std::int64_t pressNs = KeyPressTime::NowNs() - 20 * kNsPerMs;
            const PlayingClock heard{pressNs, click + 0.030};
            clicks->history = [heard](std::int64_t ns) { return heard.At(ns); };
            clicks->position = heard.At(KeyPressTime::NowNs());
            SendStampedKey(dialog, Qt::Key_Space, pressNs);
        }
        EXPECT_EQ(dialog->Taps(), 20);
        EXPECT_TRUE(dialog->ResultText().contains("20 taps")) << dialog->ResultText().toStdString();
        EXPECT_NEAR(dialog->InputOffsetMs(), 30.0, 2.0);
        ran = true;
        dialog->accept();
    });
    Action(app::kCmdCalibrateTiming)->trigger();
    ASSERT_TRUE(ran);
    EXPECT_NEAR(window->InputOffsetMs(), 30.0, 2.0);
    EXPECT_NEAR(settings->InputOffsetMs(), 30.0, 2.0);
}

} // namespace

// The keyboard of the main window: which key enters which step, taps, Enter
// and Escape, held keys, when a press counts, and the calibration of the
// input offset.
#include "WindowFixture.h"
#include "app/CalibrationDlg.h"
#include "dwi/DwiSong.h"
#include "player/ClickTrack.h"
#include "player/KeyPressTime.h"

#include <QKeyEvent>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

namespace {

using player::KeyPressTime;

// Which column a key enters on each kind of chart (at 120 BPM, 1.0 s is row
// 96). The arrows and the keypad's 4, 2, 8, 6 are the pad's Left, Down, Up,
// Right; with two pads the keypad is the second; SOLO's diagonals are
// keypad 7 and 9. Other keys, and Alt combinations (the menus'), enter none.
TEST_F(Window, StepKeysEnterTheirColumnOnEveryStyle) {
    const Qt::KeyboardModifiers none, pad = Qt::KeypadModifier, alt = Qt::AltModifier;
    const std::pair<int, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Left, none}, {Qt::Key_Down, none}, {Qt::Key_Up, none}, {Qt::Key_Right, none},
        {Qt::Key_4, pad},     {Qt::Key_2, pad},     {Qt::Key_8, pad},   {Qt::Key_6, pad},
        {Qt::Key_7, pad},     {Qt::Key_9, pad},     {Qt::Key_6, none},  {Qt::Key_Q, none},
        {Qt::Key_Left, alt},
    };
    // Each key's column in the order above, '-' for none.
    const std::pair<const char*, const char*> styles[] = {{"#SINGLE:BASIC:1:0;", "01230123-----"},
                                                          {"#DOUBLE:BASIC:1:0:0;", "01234567-----"},
                                                          {"#SOLO:BASIC:1:0;", "0235023514---"}};
    StepMode(120.0f);
    const auto load = [this](const std::string& record) {
        window->LoadDocument(dwi::ReadSong("#BPM:120;\r\n" + record + "\r\n"), 0, "", false);
    };
    for (const auto& [record, columns] : styles) {
        for (std::size_t i = 0; i < std::size(keys); ++i) {
            load(record);
            HoldKey(keys[i].first, 1.0, 1.0, keys[i].second);
            std::string entered;
            for (const chart::Note& note : Shown().notes.Notes()) {
                entered += note.row == 96 ? char('0' + note.column) : '?';
            }
            EXPECT_EQ(entered, columns[i] == '-' ? "" : std::string{columns[i]})
                << record << " key " << keys[i].first;
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
// steps and taps, and Space typed into the Range Action list's field
// cleared the row playing. Now typing goes into the box alone; Enter snaps
// to the next slot (without a song it does nothing) and never presses the
// focused button; Escape asks to quit (first to save unsaved work), No keeps
// the program running, closing halts the player and stops the workers.
TEST_F(Window, KeysTypedIntoTextBoxesAreTextOnlyAndEnterAndEscapeKeepTheirMeaning) {
    Press(Qt::Key_Return);
    EXPECT_TRUE(player.seeks.empty());
    LoadSong(120.0f);
    player.position = 1.0;
    for (int id : {1023, 1024}) { // the Title in tap mode, the Artist in step input
        auto* box = Control<QLineEdit>(id);
        box->setFocus();
        QTest::keyClicks(box, "a b");
        Press(Qt::Key_6, Qt::KeypadModifier);
        Press(Qt::Key_Up);
        Press(Qt::Key_Left); // moves the box's cursor only
        EXPECT_EQ(box->text() + QString::number(box->cursorPosition()), "a b63") << id;
        EXPECT_FALSE(window->Taps().tappingStarted) << id;
        window->OnCommand(32780);
    }
    Control(1010)->setFocus(); // a number box: an arrow moves its cursor
    Press(Qt::Key_Up);
    EXPECT_EQ(window->Steps(), "");
    window->centralWidget()->setFocus();
    Press(Qt::Key_Up);
    Control(1029)->setFocus();
    Press(Qt::Key_Space);
    EXPECT_EQ(window->Steps(), "00008");

    player.position = 0.36;
    Control(1017)->setFocus(); // 0.5X
    Press(Qt::Key_Return);
    // Slots every 0.25 s: the next after 0.36 is 0.5, less the margin (a
    // tenth of a cell) that keeps the player just before it.
    EXPECT_NEAR(player.position.load(), 0.475, 1e-6);
    EXPECT_EQ(Text(1021), "100") << "the focused button was not pressed";
    dialogs.saveChoices = {fakes::Dialogs::SaveChoice::kCancel};
    dialogs.answers = {false};
    for (int i = 0; i < 2; ++i) { // the second time with the work undone
        Press(Qt::Key_Escape);
        while (window->Editor().History().CanUndo()) {
            window->Undo();
        }
    }
    EXPECT_TRUE(window->isVisible() && window->WorkersRunning());
    EXPECT_EQ(dialogs.questions,
              (std::vector<std::string>{"Save Changes: Save changes to song.mp3?",
                                        "Confirm Exit: Are you sure you want to quit?"}));
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible() || window->WorkersRunning());
    EXPECT_EQ(player.halts, 1);
}

// Taps measure the tempo between presses; the Gap is the press folded into
// the first beat, the next click one beat after the press. A series of taps
// is one undo step. Fixed fault: the time between opening a song (or
// choosing Tap Tempo) and the first tap counted as a beat; the tempo stands
// until the second tap measures one.
TEST_F(Window, TappingComputesTempoGapAndClick) {
    clock.now = 10000;
    LoadSong();
    const auto tap = [this](std::uint32_t ms, double seconds) {
        clock.now = ms;
        player.position = seconds;
        Press(Qt::Key_A);
        return Texts({1005, 1006, 1007, 1012});
    };
    EXPECT_EQ(tap(10600, 0.75), "150.0|000.0|000.0|0.00");
    EXPECT_EQ(Text(1008), "Fine tune BPM/Gap with the controls below, then select \"Step Data "
                          "Input\" from the Mode menu to disable keypresses being interpreted "
                          "as tempo entry.");
    // 500 ms apart: 120 BPM; the press at 1.25 s folds into the first beat.
    EXPECT_EQ(tap(11100, 1.25), "120.0|0.5|120.0|0.25");
    EXPECT_DOUBLE_EQ(window->Timing().nextClickSeconds, 2.25);
    // 600 ms: 100 BPM for this hit, 2 beats in 1.1 s overall; 1.8 s less
    // three beats of 0.55 s.
    EXPECT_EQ(tap(11700, 1.8), "109.1|1.1|100.0|0.15");
    EXPECT_EQ(window->Editor().History().Count(), 1u);
    window->OnCommand(32779);
    EXPECT_EQ(Text(1008), "Press any key to begin tapping out the BPM/tempo");
    EXPECT_EQ(tap(12000, 2.0), "109.1|000.0|000.0|0.15");
}

// A key held longer than a cell is a hold, one undo step (Control+Y redoes
// what was undone). Fixed fault: a key held while another window took the
// keyboard never ended its hold and entered nothing afterwards; it is let
// go there now.
TEST_F(Window, HeldKeysEnterHoldsUntilReleasedOrTheKeyboardGoes) {
    StepMode();
    HoldKey(Qt::Key_Up, 1.0, 2.0);   // rows 96 to 192
    HoldKey(Qt::Key_Down, 3.0, 3.1); // shorter than a cell (0.25 s): a tap
    ASSERT_TRUE(Shown().notes.Find(96, 2) && Shown().notes.Find(288, 1));
    EXPECT_EQ(Shown().notes.Find(96, 2)->holdRows, 96);
    EXPECT_EQ(Shown().notes.Find(288, 1)->holdRows, 0);
    window->Undo();
    EXPECT_EQ(Action(32803)->text() + "|" + Action(32802)->text(), "&Redo Add Note|&Undo Add Hold");
    Press(Qt::Key_Y, Qt::ControlModifier); // redo
    EXPECT_EQ(Action(32802)->text() + "|" + Action(32803)->text(), "&Undo Add Note|&Redo");

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
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<app::CalibrationDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->StartClicks();
        ASSERT_TRUE(dialog->Running() && clicks != nullptr && clicks->plays == 1);
        for (int k = 0; k < 20; ++k) {
            // Stamped the way X11 stamps it: the steady clock's milliseconds
            // at the press; the player's history knows the song time then.
            const double heard = player::CalibrationTrack::kFirstClickSeconds +
                                 k * player::CalibrationTrack::kIntervalSeconds + 0.030;
            const std::int64_t pressNs = KeyPressTime::NowNs() - 20'000'000;
            clicks->history = [=](std::int64_t ns) { return heard + double(ns - pressNs) * 1e-9; };
            clicks->position = clicks->history(KeyPressTime::NowNs());
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
            press.setTimestamp(static_cast<quint64>(pressNs / 1'000'000));
            QApplication::sendEvent(dialog, &press);
        }
        EXPECT_TRUE(dialog->Taps() == 20 && dialog->ResultText().contains("20 taps"))
            << dialog->ResultText().toStdString();
        dialog->accept();
    });
    Action(app::kCmdCalibrateTiming)->trigger();
    EXPECT_NEAR(window->InputOffsetMs(), 30.0, 2.0);
    EXPECT_NEAR(settings->InputOffsetMs(), 30.0, 2.0);
}

// Edit > Note Kind reaches the step keys (at 120 BPM 1.0 s is row 96):
// Mine makes a key put mines, Tap taps again, and Alt with a key puts a
// mine whatever the choice. A .dwi song refuses the choice, says why and
// keeps entering taps.
TEST_F(Window, NoteKindChosenInTheMenuIsWhatStepKeysEnter) {
    StepMode(120.0f);
    QMenu* kinds = window->findChild<QMenu*>("noteKind");
    const auto choose = [&](int item) { kinds->actions().at(item)->trigger(); };
    const chart::Song dwiSong = dwi::ReadSong("#BPM:120;\r\n#SINGLE:BASIC:1:0;\r\n");
    chart::Song song = dwiSong;
    song.format = chart::SongFormat::Sm;
    window->LoadDocument(song, 0, "", false);
    choose(2); // Mine
    HoldKey(Qt::Key_Left, 1.0, 1.0);
    choose(0); // Tap
    HoldKey(Qt::Key_Down, 1.0, 1.0);
    HoldKey(Qt::Key_Up, 1.0, 1.0, Qt::AltModifier);
    EXPECT_EQ(Shown().notes.Notes(),
              (std::vector<chart::Note>{
                  {96, 0, 0, chart::NoteKind::Mine}, {96, 1}, {96, 2, 0, chart::NoteKind::Mine}}));
    window->LoadDocument(dwiSong, 0, "", false);
    choose(2);
    HoldKey(Qt::Key_Left, 1.0, 1.0);
    HoldKey(Qt::Key_Up, 1.0, 1.0, Qt::AltModifier);
    EXPECT_EQ(Shown().notes.Notes(), (std::vector<chart::Note>{{96, 0}}));
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "A .dwi file holds taps and holds only: no mines.");
}

} // namespace

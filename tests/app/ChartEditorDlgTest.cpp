#include "app/ChartEditorDlg.h"

#include "WindowFixture.h"
#include "app/ColorLabel.h"
#include "app/SpinButton.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using app::CChartEditorDlg;

TEST_F(Window, StartsWithItsInitialTextsAndChecks) {
    EXPECT_EQ(window->windowTitle(), "Beatwright");
    for (int id : {1005, 1006, 1007}) {
        EXPECT_EQ(Text(id), "000.0") << id;
    }
    EXPECT_EQ(Text(1010), "0.0");
    EXPECT_EQ(Text(1012), "0.00");
    EXPECT_EQ(Text(1021), "100");
    EXPECT_EQ(Text(1039), "0.0");
    EXPECT_EQ(Text(1041), "5.0");
    EXPECT_EQ(Text(1027), "1");
    EXPECT_EQ(Text(1028), "0");
    EXPECT_EQ(Text(1031), "1");
    EXPECT_EQ(Text(1033), "1");
    EXPECT_EQ(Text(1008), "Open a music file from the main menu.");
    EXPECT_EQ(Control<QComboBox>(1025)->currentText(), "BASIC");
    EXPECT_EQ(Control<QComboBox>(1026)->currentText(), "1");
    EXPECT_EQ(Control<QComboBox>(1029)->currentText(), "+1 HalfBeat");
    EXPECT_TRUE(Action(32778)->isChecked());
    EXPECT_TRUE(Action(32779)->isChecked());
    EXPECT_FALSE(Action(32780)->isChecked());
    EXPECT_EQ(player.repeat, 1000000);
    EXPECT_EQ(window->Timing().nextClickSeconds, 999.0);
    EXPECT_EQ(window->Timing().bpm, 0.01f);
    EXPECT_TRUE(window->WorkersRunning());
    for (int id : {1001, 1008, 1011, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020,
                   1022, 1023, 1024, 1030, 1032, 1034, 1035, 1036, 1040, 1042}) {
        Control(id);
    }
    // The layout's size is the start and the least, read-outs at the
    // point-size height.
    EXPECT_EQ(window->minimumSize(), window->size());
    EXPECT_GT(window->maximumSize().height(), window->size().height());
    EXPECT_EQ(app::CColorLabel::PixelHeightForPoints(16, 96), 21);
    EXPECT_EQ(app::CColorLabel::PixelHeightForPoints(35, 96), 47);
    // The read-outs' numbers change in place: every digit, '.' and ' ' of
    // their font has one advance, whatever fontconfig says of its pitch.
    for (int id : {1005, 1006, 1007}) {
        const QFontMetricsF metrics(Control<app::CColorLabel>(id)->LabelFont());
        for (const QChar c : QStringLiteral("0123456789. ")) {
            EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char('8')))
                << id << " '" << c.toLatin1() << "'";
        }
    }
}

TEST_F(Window, MenuItemsStandInOrderWithTheirTexts) {
    QStringList items;
    for (QAction* top : window->menuBar()->actions()) {
        items << top->text();
        if (top->menu()) {
            for (QAction* item : top->menu()->actions()) {
                items << "  " + item->text() + " " + item->objectName();
            }
        }
    }
    EXPECT_EQ(items.join('|').toStdString(),
              "&File|  &Open Music File 32771|  Open &Chart... 32790|  &Import DWI File 32776|"
              "  &Save 32772|  Save &As 32773|&Edit|  &Undo 32802|  &Redo 32803|   |"
              "  &Finer Snap 32804|  &Coarser Snap 32805|&Options|  Play Metronome Sound 32778|"
              "  Calibrate Timing... 32791|  Find Tempo and First Beat... 32800|&View|"
              "  &Waveform 32801|  &Chart List 32806|&Mode|"
              "  &Tap Tempo/BPM 32779|  &Step Data Input 32780|&About");
    Action(32782)->trigger();
    EXPECT_EQ(dialogs.abouts, 1);
}

TEST_F(Window, OpeningASongEstimatesLoadsAndPreparesForTapping) {
    window->OnCommand(32780); // step input checked before the song comes
    LoadSong(150.0f);
    ASSERT_EQ(player.opened.size(), 1u);
    EXPECT_EQ(player.rates.back(), 1.0);
    EXPECT_EQ(Text(1005), "150.0");
    EXPECT_EQ(Text(1010), "150.0");
    EXPECT_EQ(Text(1012), "0.00");
    EXPECT_EQ(Text(1008), "Use the controls to adjust the BPM/Gap or start tapping keys to "
                          "manually calculate the BPM/Gap.");
    EXPECT_EQ(window->CurrentMode(), CChartEditorDlg::kTapTempo);
    // The menu keeps its marks although the keyboard taps again.
    EXPECT_TRUE(Action(32780)->isChecked());
    // Anchored on the grid from song time 0: one beat of 0.4 s after 0.
    EXPECT_DOUBLE_EQ(window->Timing().nextClickSeconds, 0.4);
    EXPECT_TRUE(dialogs.openFilters.back().empty());
}

TEST_F(Window, FailedOpensLeaveEverythingAsItWas) {
    dialogs.openPaths.push_back(std::nullopt);
    window->OnCommand(32771);
    EXPECT_TRUE(player.opened.empty());

    estimator.result = {std::nullopt, "Could not open \"/x.mp3\"."};
    dialogs.openPaths.push_back("/x.mp3");
    window->OnCommand(32771);
    EXPECT_TRUE(player.opened.empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Could not open \"/x.mp3\".");

    estimator.result = {140.0f, {}};
    player.openError = "The song could not be decoded.";
    dialogs.openPaths.push_back("/y.mp3");
    window->OnCommand(32771);
    EXPECT_EQ(dialogs.messages.back(), "The song could not be decoded.");
    EXPECT_EQ(window->Timing().bpm, 0.01f);
    EXPECT_EQ(Text(1008), "Open a music file from the main menu.");
}

// Without a sound card the first song opened says so under the
// instructions, with no box to answer; later songs do not repeat it.
TEST_F(Window, SilentPlaybackIsToldOnceInTheInstructions) {
    player.silent = true;
    const QString opened = "Use the controls to adjust the BPM/Gap or start tapping keys to "
                           "manually calculate the BPM/Gap.";
    LoadSong();
    EXPECT_EQ(Text(1008), opened + "\nNo audio device: the song plays silently.");
    LoadSong();
    EXPECT_EQ(Text(1008), opened);
    EXPECT_TRUE(dialogs.messages.empty());
}

// While a text box has the keyboard, typing goes into it alone: no step and
// no tap. Enter and Escape keep their window meaning. Read-only boxes only
// show values, so keys there still enter steps.
TEST_F(Window, KeysTypedIntoTextBoxesAreTextOnly) {
    LoadSong(120.0f);
    window->OnCommand(32780);
    player.position = 1.0;
    for (int id : {1023, 1024}) {
        window->SetSteps("00000");
        auto* box = Control<QLineEdit>(id);
        box->setFocus();
        box->clear();
        for (int key : {Qt::Key_A, Qt::Key_Space, Qt::Key_B}) {
            Press(key);
        }
        Press(Qt::Key_6, Qt::KeypadModifier);
        Press(Qt::Key_Up);
        Press(Qt::Key_Left); // moves the box's cursor only
        EXPECT_EQ(box->text(), "a b6") << id;
        EXPECT_EQ(box->cursorPosition(), 3) << id;
        EXPECT_EQ(window->Steps(), "00000") << id;
    }
    // The Range Action list's edit field is typed into too.
    Control<QComboBox>(1029)->setFocus();
    Press(Qt::Key_Space);
    EXPECT_EQ(window->Steps(), "00000");

    Control(1023)->setFocus();
    Press(Qt::Key_Return);
    EXPECT_GT(player.position.load(), 1.0) << "Enter still snaps to the next slot";
    // The typing is unsaved work: the exit asks to save it.
    dialogs.saveChoices = {fakes::Dialogs::SaveChoice::kCancel};
    Press(Qt::Key_Escape);
    EXPECT_EQ(dialogs.questions.size(), 1u) << "Escape still asks to quit";

    Control(1010)->setFocus(); // the read-only BPM box
    player.position = 1.0;
    Press(Qt::Key_Up);
    EXPECT_EQ(window->Steps(), "00008");

    // In tap mode a key in the Title box is no tap either.
    window->OnCommand(32779);
    Control(1023)->setFocus();
    clock.now = 1000;
    Press(Qt::Key_T);
    clock.now = 1500;
    Press(Qt::Key_T);
    EXPECT_EQ(window->Taps().tapCount, 0);
    EXPECT_EQ(Text(1005), "000.0");
}

TEST_F(Window, LoopRestartKeepsTheFirstClickOnTheGap) {
    LoadSong(120.0f);
    Control<app::CSpinButton>(1013)->Step(30); // Gap 0.3
    const double gap = static_cast<double>(window->Timing().gapSeconds);
    player.position = 59.9;
    player.Play();
    // Events of a rewind and a start that arrive after the restart.
    auto events = player.events;
    player.events = {};
    player.events.endOfPlayback = events.endOfPlayback;
    player.events.endOfPlayback();
    events.positionChange(59.9, 0.0);
    events.playStateChange(player::PlayState::kStopped, player::PlayState::kPlaying);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->Timing().nextClickSeconds, gap);
    // A later seek anchors as usual.
    events.positionChange(0.0, 1.0);
    QCoreApplication::processEvents();
    EXPECT_NEAR(window->Timing().nextClickSeconds, gap + 1.5, 1e-9);
}

TEST_F(Window, TappingComputesTempoGapAndClick) {
    LoadSong();
    window->OnCommand(32779);
    EXPECT_EQ(Text(1008), "Press any key to begin tapping out the BPM/tempo");
    clock.now = 10000;
    player.position = 0.75;
    Press(Qt::Key_A);
    EXPECT_EQ(Text(1008), "Fine tune BPM/Gap with the controls below, then select \"Step Data "
                          "Input\" from the Mode menu to disable keypresses being interpreted "
                          "as tempo entry.");
    EXPECT_EQ(Text(1005), "000.0");
    clock.now = 10500;
    player.position = 1.25;
    Press(Qt::Key_A);
    EXPECT_EQ(Text(1005), "120.0");
    EXPECT_EQ(Text(1007), "120.0");
    EXPECT_EQ(Text(1006), "0.5");
    EXPECT_EQ(Text(1012), "0.25");
    EXPECT_DOUBLE_EQ(window->Timing().nextClickSeconds, 2.25);
    clock.now = 11100;
    Press(Qt::Key_Space);
    EXPECT_EQ(Text(1007), "100.0");
    EXPECT_EQ(Text(1005), "109.1");
    EXPECT_EQ(Text(1010), "109.1");
}

// The time before the first tap is not a beat: the estimate stands until
// the second tap measures an interval.
TEST_F(Window, FirstTapAfterOpeningStartsASeries) {
    clock.now = 5000;
    LoadSong();
    clock.now = 5600;
    Press(Qt::Key_B);
    EXPECT_EQ(Text(1005), "150.0");
    clock.now = 6100;
    Press(Qt::Key_B);
    EXPECT_EQ(Text(1005), "120.0");
}

TEST_F(Window, StepInputAddsArrowsAtThePlayingSlot) {
    LoadSong(120.0f);
    window->OnCommand(32780);
    EXPECT_EQ(Text(1008), "Use the arrow keys to enter step data into the scrolling window on "
                          "the right.  Use space key to erase step data at current location.");
    player.position = 1.0;
    Press(Qt::Key_Up);
    EXPECT_EQ(window->Steps(), "00008");
    Press(Qt::Key_Left);
    EXPECT_EQ(window->Steps(), "00007");
    Press(Qt::Key_Down);
    EXPECT_EQ(window->Steps(), "00007");
    Press(Qt::Key_Space);
    EXPECT_EQ(window->Steps(), "00000");
    // Keypad digits are arrows; the main row's digits only pad.
    player.position = 1.5;
    Press(Qt::Key_6, Qt::KeypadModifier);
    EXPECT_EQ(window->Steps(), "0000006");
    player.position = 2.0;
    Press(Qt::Key_6);
    EXPECT_EQ(window->Steps(), "000000600");
    // Alt combinations belong to the menus.
    player.position = 3.0;
    Press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(window->Steps(), "000000600");
}

TEST_F(Window, StepInputBeforeTheGapDoesNothing) {
    LoadSong(120.0f);
    window->OnCommand(32780);
    window->SetSteps("");
    for (int i = 0; i < 3; ++i) {
        Control<app::CSpinButton>(1013)->Step(1); // Gap 0.03
    }
    player.position = 0.01;
    Press(Qt::Key_Up);
    Press(Qt::Key_Q);
    EXPECT_EQ(window->Steps(), "");
}

TEST_F(Window, EnterSnapsForwardAndNeverReachesTheControls) {
    int clicks = 0;
    QObject::connect(Control<QPushButton>(1019), &QPushButton::clicked, [&] { ++clicks; });
    Press(Qt::Key_Return); // no song: nothing
    EXPECT_EQ(player.position.load(), 0.0);
    EXPECT_TRUE(window->isVisible());

    LoadSong(120.0f);
    player.position = 0.36;
    Control<app::CSpinButton>(1013)->Step(10); // Gap 0.1
    Control(1019)->setFocus();
    Press(Qt::Key_Return);
    EXPECT_NEAR(player.position.load(), 0.575, 1e-6);
    EXPECT_EQ(clicks, 0);
}

TEST_F(Window, EscapeAsksAndNoChangesNothing) {
    LoadSong(120.0f);
    window->OnCommand(32780);
    dialogs.answers = {false};
    Press(Qt::Key_Escape);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0], "Confirm Exit: Are you sure you want to quit?");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->WorkersRunning());
    EXPECT_EQ(window->CurrentMode(), CChartEditorDlg::kStepInput);
    EXPECT_EQ(player.halts, 0);

    window->close(); // the close box asks the same
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(player.halts, 1);
    EXPECT_FALSE(window->WorkersRunning());
}

TEST_F(Window, SpeedButtonsAndTheSpinsPositionQuirk) {
    Click(1020);
    EXPECT_EQ(Text(1021), "150");
    EXPECT_DOUBLE_EQ(player.rates.back(), 150 * static_cast<double>(0.01f));
    Click(1019);
    EXPECT_EQ(Text(1021), "100");
    EXPECT_EQ(player.rates.back(), 1.0);
    auto* spin = Control<app::CSpinButton>(1022);
    spin->Step(1);
    EXPECT_EQ(Text(1021), "100");
    spin->Step(1);
    EXPECT_EQ(Text(1021), "101");
    Click(1017);
    spin->Step(-1);
    EXPECT_EQ(Text(1021), "102"); // the spin kept its own position
    for (int i = 0; i < 400; ++i) {
        spin->Step(1);
    }
    EXPECT_EQ(spin->Position(), 300);
}

TEST_F(Window, TimingControlsShowTheirValues) {
    auto* bpmSpin = Control<app::CSpinButton>(1011);
    bpmSpin->Step(-1);
    EXPECT_EQ(window->Timing().bpm, 0.01f);
    EXPECT_EQ(Text(1010), "0.0");
    // The BPM spin keeps notifying past the end of its hidden 0-100 range.
    for (int i = 0; i < 1500; ++i) {
        bpmSpin->Step(1);
    }
    EXPECT_EQ(Text(1010), "150.0");
    EXPECT_EQ(Text(1005), "150.0");
    Click(1036);
    EXPECT_EQ(Text(1010), "75.0");
    Click(1035);
    EXPECT_EQ(Text(1010), "150.0");
    Click(1014);
    EXPECT_EQ(Text(1012), "0.20");
    Click(1015);
    Click(1015);
    EXPECT_EQ(Text(1012), "0.00");
    player.position = 12.345;
    Click(1040);
    EXPECT_EQ(Text(1039), "12.35");
    player.position = -1.0;
    Click(1042);
    EXPECT_EQ(Text(1041), "0.00");
}

TEST_F(Window, PlayerEventsReanchorAndLoop) {
    LoadSong(120.0f);
    Control<app::CSpinButton>(1013)->Step(10); // Gap 0.1
    const double gap = static_cast<double>(window->Timing().gapSeconds);
    EXPECT_NEAR(gap, 0.1, 1e-6);
    player.position = 5.0;
    player.Play();
    // Grid gap + k/2: the first point at or after 5.0 is gap + 5.0, then one beat.
    EXPECT_NEAR(window->Timing().nextClickSeconds, gap + 5.5, 1e-9);
    player.SetPositionSeconds(2.0);
    EXPECT_NEAR(window->Timing().nextClickSeconds, gap + 2.5, 1e-9);

    const int playsBefore = player.plays;
    player.events.endOfPlayback();
    EXPECT_EQ(player.position.load(), 0.0);
    EXPECT_EQ(window->Timing().nextClickSeconds, gap);
    EXPECT_EQ(player.plays, playsBefore + 1);
    EXPECT_EQ(player.rates.back(), 1.0);
}

TEST_F(Window, MetronomeToggleUnchecksAndReanchors) {
    LoadSong(120.0f);
    player.position = 3.2;
    window->OnCommand(32778);
    EXPECT_FALSE(Action(32778)->isChecked());
    EXPECT_FALSE(window->MetronomeOn());
    window->OnCommand(32778);
    EXPECT_TRUE(Action(32778)->isChecked());
    EXPECT_DOUBLE_EQ(window->Timing().nextClickSeconds, 4.0);
}

// The worker hands each click over ahead of its beat, with the beat's exact
// song time, once per beat, and skips beats that passed during a jump.
TEST_F(Window, MetronomeClicksOnTheBeatGridWithoutBursts) {
    LoadSong(120.0f);
    player.position = 0.0;
    player.Play();
    // Song time advances with real time, as it does when playing.
    const auto advanceTo = [&](double seconds) {
        const auto start = std::chrono::steady_clock::now();
        const double from = player.position.load();
        while (player.position.load() < seconds) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            player.position = from + elapsed.count();
        }
    };
    advanceTo(1.55);
    std::vector<double> clicks = player.Clicks();
    // A starved worker may skip a beat rather than click it late; at least
    // two of the three beats must have been handed over, each exactly.
    ASSERT_GE(clicks.size(), 2u);
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        EXPECT_EQ(std::fmod(clicks[i], 0.5), 0.0) << clicks[i];
        EXPECT_LE(clicks[i], 1.5);
        if (i > 0) {
            EXPECT_GT(clicks[i], clicks[i - 1]);
        }
    }
    // A jump far ahead without a seek event: the missed beats stay silent.
    player.position = 10.0;
    advanceTo(10.6);
    clicks = player.Clicks();
    for (double click : clicks) {
        EXPECT_TRUE(click <= 1.5 || click >= 10.0) << click;
    }
    EXPECT_EQ(clicks.back(), 10.5);
}

} // namespace

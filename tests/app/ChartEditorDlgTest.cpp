// The main window's controls, keys and modes against scripted services:
// what reaches which command and what the user sees. The rules behind the
// commands are the chart and edit layers' own tests.
#include "app/ChartEditorDlg.h"

#include "WindowFixture.h"
#include "app/ColorLabel.h"
#include "app/SpinButton.h"
#include "dwi/DwiSong.h"

#include <QMenuBar>
#include <algorithm>
#include <cmath>

namespace {

using app::CChartEditorDlg;

const QString kSongOpenedText = "Use the controls to adjust the BPM/Gap or start tapping keys to "
                                "manually calculate the BPM/Gap.";

TEST_F(Window, StartsWithItsInitialTextsAndChecks) {
    EXPECT_EQ(window->windowTitle(), "Beatwright");
    EXPECT_EQ(Texts({1005, 1006, 1007, 1010, 1012, 1021, 1039, 1041, 1027, 1028, 1031, 1033, 1025,
                     1026, 1029, 1008}),
              "000.0|000.0|000.0|0.0|0.00|100|0.0|5.0|1|0|1|1|BASIC|1|+1 HalfBeat|"
              "Open a music file from the main menu.");
    EXPECT_TRUE(Action(32778)->isChecked());
    EXPECT_TRUE(Action(32779)->isChecked());
    EXPECT_FALSE(Action(32780)->isChecked());
    EXPECT_EQ(window->Timing().nextClickSeconds, 999.0) << "no click armed";
    EXPECT_EQ(window->Timing().bpm, 0.01f);
    EXPECT_TRUE(window->WorkersRunning());
    // Read-outs at the point-size height: at 96 dpi 35 pt is 46.7 px.
    EXPECT_EQ(Control<app::CColorLabel>(1005)->LabelFont().pixelSize(), 47);
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
    EXPECT_FALSE(Action(32801)->isChecked());
    window->OnCommand(32801);
    EXPECT_TRUE(Action(32801)->isChecked());
    EXPECT_TRUE(window->WaveformShown());
}

// Failed opens leave everything as it was and say why. Without a sound
// card the first song opened says so under the instructions, with no box to
// answer; later songs do not repeat it.
TEST_F(Window, OpeningASongEstimatesLoadsAndPreparesForTapping) {
    dialogs.openPaths = {std::nullopt, "/x.mp3", "/y.mp3"};
    window->OnCommand(32771); // cancelled
    estimator.result = {std::nullopt, "Could not open \"/x.mp3\"."};
    window->OnCommand(32771);
    estimator.result = {140.0f, {}};
    player.openError = "The song could not be decoded.";
    window->OnCommand(32771);
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Could not open \"/x.mp3\".",
                                                          "The song could not be decoded."}));
    EXPECT_EQ(player.opened, std::vector<std::string>{"/y.mp3"});
    EXPECT_EQ(window->Timing().bpm, 0.01f);
    EXPECT_EQ(Text(1008), "Open a music file from the main menu.");

    player.openError.reset();
    player.silent = true;
    window->OnCommand(32780); // step input checked before the song comes
    LoadSong(150.0f);
    EXPECT_EQ(player.rates.back(), 1.0);
    EXPECT_EQ(Texts({1005, 1010, 1012, 1008}), "150.0|150.0|0.00|" + kSongOpenedText +
                                                   "\nNo audio device: the song plays silently.");
    EXPECT_EQ(window->CurrentMode(), CChartEditorDlg::kTapTempo);
    EXPECT_TRUE(Action(32780)->isChecked()) << "the menu keeps its marks";
    // Anchored on the grid from song time 0: one beat of 0.4 s after 0.
    EXPECT_DOUBLE_EQ(window->Timing().nextClickSeconds, 0.4);
    EXPECT_TRUE(dialogs.openFilters.back().empty());
    LoadSong();
    EXPECT_EQ(Text(1008), kSongOpenedText);
    EXPECT_EQ(dialogs.messages.size(), 2u);
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

TEST_F(Window, TappingComputesTempoGapAndClick) {
    LoadSong();
    window->OnCommand(32779);
    EXPECT_EQ(Text(1008), "Press any key to begin tapping out the BPM/tempo");
    const std::size_t edits = window->Editor().History().Count();
    clock.now = 10000;
    player.position = 0.75;
    Press(Qt::Key_A);
    EXPECT_EQ(Text(1008), "Fine tune BPM/Gap with the controls below, then select \"Step Data "
                          "Input\" from the Mode menu to disable keypresses being interpreted "
                          "as tempo entry.");
    EXPECT_EQ(Text(1005), "150.0") << "the tempo stands until the series has an interval";
    // 500 ms apart: 120 BPM; the press at 1.25 s folds into the first beat
    // at 0.25 s, the next click one beat after the press.
    clock.now = 10500;
    player.position = 1.25;
    Press(Qt::Key_A);
    EXPECT_EQ(Texts({1005, 1006, 1007, 1012}), "120.0|0.5|120.0|0.25");
    EXPECT_DOUBLE_EQ(window->Timing().nextClickSeconds, 2.25);
    // 600 ms: 100 BPM for this hit, 2 beats in 1.1 s overall.
    clock.now = 11100;
    Press(Qt::Key_Space);
    EXPECT_EQ(Texts({1005, 1007, 1010}), "109.1|100.0|109.1");
    EXPECT_EQ(window->Editor().History().Count(), edits + 1) << "a series of taps is one step";
}

// Fixed fault: the time between opening a song and the first tap counted as
// a beat. The estimate stands until the second tap measures an interval.
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

chart::Song OneChart(const std::string& record) {
    return dwi::ReadSong("#BPM:120;\r\n" + record + "\r\n");
}

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
    LoadSong(120.0f);
    window->OnCommand(32780);
    EXPECT_EQ(Text(1008), "Use the arrow keys to enter step data into the scrolling window on "
                          "the right.  Use space key to erase step data at current location.");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.chart) + " key " + std::to_string(c.key) + " modifiers " +
                     std::to_string(c.modifiers.toInt()));
        window->LoadDocument(OneChart(c.chart), 0, "", false);
        HoldKey(c.key, 1.0, 1.0, c.modifiers);
        if (c.column == kNone) {
            EXPECT_TRUE(Shown().notes.Empty());
        } else {
            EXPECT_EQ(Shown().notes.Size(), 1u);
            EXPECT_NE(Shown().notes.Find(96, static_cast<std::uint8_t>(c.column)), nullptr);
        }
    }
    // Space clears the row at the playing slot, other keys pad the chart to
    // it; before the Gap there is no slot and no key does anything.
    window->LoadDocument(OneChart("#SINGLE:BASIC:1:00007;"), 0, "", false);
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
    // that keeps the player just before it.
    EXPECT_NEAR(player.position.load(), 0.575, 1e-6);
    EXPECT_EQ(clicks, 0);

    window->Undo();
    EXPECT_FALSE(window->HasUnsavedChanges());
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

// Each speed and timing control, in turn, and the value the user then sees.
// The speed spin, as it always did, sets the speed its position had before
// the step.
TEST_F(Window, SpeedAndTimingControlsShowTheirValues) {
    const struct {
        const char* what;
        std::function<void()> act;
        int id;
        const char* shown;
    } steps[] = {
        {"BPM spin down at the least", Spinning(1011, -1), 1010, "0.0"},
        // It keeps notifying past the end of its hidden 0-100 range.
        {"BPM spin up 1500 times", Spinning(1011, 1, 1500), 1010, "150.0"},
        {"the read-out follows", [] {}, 1005, "150.0"},
        {"X.5", Pressing(1036), 1010, "75.0"},
        {"X2", Pressing(1035), 1010, "150.0"},
        {"Gap + half beat", Pressing(1014), 1012, "0.20"},
        {"Gap - half beat twice, through 0", Pressing(1015, 2), 1012, "-0.20"},
        {"Gap spin", Spinning(1013, 7), 1012, "-0.13"},
        {"sample start", PressingAt(1040, 12.345), 1039, "12.35"},
        {"sample end before the song", PressingAt(1042, -1.0), 1041, "0.00"},
        {"0.5X", Pressing(1017), 1021, "50"},
        {"0.75X", Pressing(1018), 1021, "75"},
        {"1.5X", Pressing(1020), 1021, "150"},
        {"1X", Pressing(1019), 1021, "100"},
        {"speed spin up", Spinning(1022, 1), 1021, "100"},
        {"speed spin up again", Spinning(1022, 1), 1021, "101"},
        {"0.5X again", Pressing(1017), 1021, "50"},
        {"speed spin down from its own position", Spinning(1022, -1), 1021, "102"},
        {"speed spin up to its end", Spinning(1022, 1, 400), 1021, "300"},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(Text(step.id), step.shown) << step.what;
    }
    EXPECT_NEAR(window->Timing().bpm, 150.01f, 1e-4f) << "0.01 and 1500 steps of 0.1";
    // 0.2 - 2 x 0.2 + 7 x 0.01 in float steps.
    EXPECT_NEAR(window->Timing().gapSeconds, -0.13f, 1e-4f);
    EXPECT_NEAR(player.rates.back(), 3.0, 1e-6) << "300 %";
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

    // The metronome's toggle: off and on again, the next click anchored.
    player.position = 3.2;
    window->OnCommand(32778);
    EXPECT_FALSE(Action(32778)->isChecked());
    EXPECT_FALSE(window->MetronomeOn());
    window->OnCommand(32778);
    EXPECT_TRUE(Action(32778)->isChecked());
    EXPECT_NEAR(window->Timing().nextClickSeconds, gap + 4.0, 1e-9);
}

// Fixed fault: the rewind and start events of a loop's restart, arriving
// after it, moved the first click off the Gap.
TEST_F(Window, LoopRestartKeepsTheFirstClickOnTheGap) {
    LoadSong(120.0f);
    Control<app::CSpinButton>(1013)->Step(30); // Gap 0.3
    const double gap = static_cast<double>(window->Timing().gapSeconds);
    player.position = 59.9;
    player.Play();
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

// The worker hands each click over ahead of its beat, with the beat's song
// time on the timing map, once per beat, and skips beats that passed during
// a jump. Constant tempo and a map with a change and a stop go different
// ways.
TEST_F(Window, MetronomeClicksOnTheBeatsWithoutBursts) {
    const struct {
        const char* song;
        bool changes;
        double untilSeconds;
        std::vector<double> beats;
    } runs[] = {
        {"120 BPM", false, 1.55, {0.0, 0.5, 1.0, 1.5}},
        // Beats 0-2 every 0.5 s, then every 0.25 s, with half a second
        // held at beat 4 (1.5 s): beat 5 at 2.25 s.
        {"240 BPM from beat 2, a 500 ms stop at beat 4",
         true,
         2.6,
         {0.0, 0.5, 1.0, 1.25, 1.5, 2.25, 2.5}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.song);
        player.Halt();
        Start();
        LoadSong(120.0f);
        if (run.changes) {
            dialogs.numbers = {240.0, 500.0};
            window->AddBpmChangeAt(96);
            window->AddStopAt(192);
        }
        player.ClearClicks();
        player.Play();
        AdvanceInRealTime(run.untilSeconds);
        std::vector<double> clicks = player.Clicks();
        // A starved worker may skip a beat rather than click it late.
        ASSERT_GE(clicks.size(), run.beats.size() - 2);
        EXPECT_TRUE(std::is_sorted(clicks.begin(), clicks.end()));
        for (double click : clicks) {
            // The map's times come from sums of beat lengths: a rounding step.
            EXPECT_TRUE(std::any_of(run.beats.begin(), run.beats.end(), [&](double beat) {
                return std::abs(click - beat) < 1e-9;
            })) << click;
        }
        // A jump far ahead without a seek event: the missed beats stay silent.
        player.position = 10.0;
        AdvanceInRealTime(10.6);
        clicks = player.Clicks();
        for (double click : clicks) {
            EXPECT_TRUE(click <= run.untilSeconds || click >= 10.0) << click;
        }
        EXPECT_NEAR(clicks.back(), 10.5, 1e-9);
    }
}

} // namespace

// The main window's menus, controls and player wiring against scripted
// services: what reaches which command and what the user then sees. The
// rules behind the commands are the chart and edit layers' own tests.
#include "WindowFixture.h"

#include <QDialog>
#include <QDockWidget>
#include <QMenuBar>
#include <chrono>
#include <thread>
#include <utility>

namespace {

TEST_F(Window, StartsWithItsTextsAndMenus) {
    EXPECT_EQ(window->windowTitle(), "Beatwright");
    EXPECT_EQ(Texts({1005, 1006, 1007, 1010, 1012, 1021, 1039, 1041, 1027, 1028, 1031, 1033, 1025,
                     1026, 1029, 1008}),
              "000.0|000.0|000.0|0.0|0.00|100|0.0|5.0|1|0|1|1|BASIC|1|+1 HalfBeat|"
              "Open a music file from the main menu.");
    EXPECT_EQ(window->Timing().nextClickSeconds, 999.0) << "no click armed";
    EXPECT_TRUE(window->WorkersRunning());
    // Read-outs at the point-size height: at 96 dpi 35 pt is 46.7 px. Their
    // numbers change in place: every digit, '.' and ' ' of their font has
    // one advance, whatever fontconfig says of its pitch.
    EXPECT_EQ(Control<app::CColorLabel>(1005)->LabelFont().pixelSize(), 47);
    for (int id : {1005, 1006, 1007}) {
        const QFontMetricsF metrics(Control<app::CColorLabel>(id)->LabelFont());
        for (const QChar c : QStringLiteral("0123456789. ")) {
            EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char('8')))
                << id << " '" << c.toLatin1() << "'";
        }
    }
    QStringList items;
    for (QAction* top : window->menuBar()->actions()) {
        items << top->text();
        for (QAction* item : top->menu() ? top->menu()->actions() : QList<QAction*>{}) {
            items << "  " + item->text() + " " + item->objectName();
        }
    }
    EXPECT_EQ(items.join('|').toStdString(),
              "&File|  &Open Music File 32771|  Open &Chart... 32790|  &Import DWI File 32776|"
              "  &Save 32772|  Save &As 32773|&Edit|  &Undo 32802|  &Redo 32803|   |"
              "  &Finer Snap 32804|  &Coarser Snap 32805|&Options|  Play Metronome Sound 32778|"
              "  Calibrate Timing... 32791|  Find Tempo and First Beat... 32800|&View|"
              "  &Waveform 32801|  &Chart List 32806|&Mode|"
              "  &Tap Tempo/BPM 32779|  &Step Data Input 32780|&About");
}

// Each menu item reaches its command and changes what it names alone: the
// marks (Tap, Step, Metronome, Waveform), mode, views, snap and About.
// The snap shortcuts are Control+Right (finer) and Control+Left.
TEST_F(Window, MenuItemsReachTheirCommands) {
    LoadSong(120.0f);
    auto* snap = window->findChild<QComboBox*>("snap");
    auto* dock = window->findChild<QDockWidget*>("charts");
    const auto state = [&] {
        std::string marks;
        for (const auto& [id, mark] :
             {std::pair{32779, 'T'}, {32780, 'S'}, {32778, 'M'}, {32801, 'W'}}) {
            marks += std::string{mark, Action(id)->isChecked() ? '+' : '-'};
        }
        return marks + " mode " + std::to_string(window->CurrentMode()) +
               std::to_string(window->MetronomeOn()) + std::to_string(window->WaveformShown()) +
               std::to_string(dock->isVisible()) + " snap " + snap->currentText().toStdString() +
               " about " + std::to_string(dialogs.abouts);
    };
    const auto shortcut = [this](int key) {
        return [=, this] { Press(key, Qt::ControlModifier); };
    };
    const struct {
        int id; // a menu item, or none
        std::function<void()> act;
        const char* state; // marks, mode, metronome, waveform and list shown
    } items[] = {
        {0, [] {}, "T+S-M+W- mode 1100 snap 8th about 0"},
        {32780, {}, "T-S+M+W- mode 2100 snap 8th about 0"},
        {32778, {}, "T-S+M-W- mode 2000 snap 8th about 0"},
        {32801, {}, "T-S+M-W+ mode 2010 snap 8th about 0"},
        {32806, {}, "T-S+M-W+ mode 2011 snap 8th about 0"},
        {32804, {}, "T-S+M-W+ mode 2011 snap 12th about 0"},
        {32805, {}, "T-S+M-W+ mode 2011 snap 8th about 0"},
        {32805, {}, "T-S+M-W+ mode 2011 snap 4th about 0"},
        {32805, {}, "T-S+M-W+ mode 2011 snap 4th about 0"},
        {0, shortcut(Qt::Key_Right), "T-S+M-W+ mode 2011 snap 8th about 0"},
        {0, shortcut(Qt::Key_Left), "T-S+M-W+ mode 2011 snap 4th about 0"},
        {32782, {}, "T-S+M-W+ mode 2011 snap 4th about 1"},
        {32779, {}, "T+S-M-W+ mode 1011 snap 4th about 1"},
        {32778, {}, "T+S-M+W+ mode 1111 snap 4th about 1"},
        {32801, {}, "T+S-M+W- mode 1101 snap 4th about 1"},
        {32806, {}, "T+S-M+W- mode 1100 snap 4th about 1"},
    };
    for (const auto& item : items) {
        SCOPED_TRACE(item.id);
        item.id ? Action(item.id)->trigger() : item.act();
        EXPECT_EQ(state(), item.state);
    }
    EXPECT_TRUE(Shown().notes.Empty()) << "the arrows of the shortcuts entered no step";
    for (int i = 0; i < 10; ++i) {
        Action(32804)->trigger();
    }
    EXPECT_EQ(snap->currentText() + "|" + QString::number(window->CellRows()), "192nd|1");
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
        {"jump % spin", Spinning(1032, 1), 1031, "2"},
        {"most jumps in a row spin", Spinning(1034, 2), 1033, "3"},
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

// The range actions' list item chooses the action, the range follows a
// shift, questions and messages are the user's. The range is in cells of
// the snap: a finer snap keeps its rows, a coarser one rounds them down.
TEST_F(Window, RangeActionsThroughTheWindow) {
    Click(1030);
    EXPECT_EQ(dialogs.messages,
              std::vector<std::string>{"Range start is greater than range end.\r\nUse the left and "
                                       "right mouse buttons to click on the\r\nstarting end ending "
                                       "beats to select a range."});
    window->SetSteps("48260");
    window->SetRangeStart(1);
    window->SetRangeEnd(2);
    const struct {
        const char* item; // typed into the list's field
        bool answer;
        const char* steps;
        const char* range;
        std::size_t questions;
    } cases[] = {
        {"+1 HalfBeat", true, "40820", "2|3", 0}, {"-1 HalfBeat", true, "48200", "1|2", 0},
        {"Clear", false, "48200", "1|2", 1},      {"Clear", true, "40000", "1|2", 2},
        {"Shuffle", true, "40000", "1|2", 2}, // names no action: nothing is done or asked
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        Control<QComboBox>(1029)->setEditText(c.item);
        dialogs.answers = {c.answer};
        Click(1030);
        EXPECT_EQ(window->Steps(), c.steps);
        EXPECT_EQ(Texts({1027, 1028}), c.range);
        EXPECT_EQ(dialogs.questions.size(), c.questions);
    }
    EXPECT_EQ(dialogs.questions.back(),
              "Confirm Erase: Are you sure you want to erase the selected range of beats?");
    window->SetRangeEnd(5);
    window->SetSnap(edit::Snap::k16th);
    EXPECT_EQ(Texts({1027, 1028}), "2|10");
    window->SetSnap(edit::Snap::k4th);
    EXPECT_EQ(Texts({1027, 1028}), "0|2") << "rows 24 to 120 round down to whole beats";
}

// Every kind of edit the window makes is one command that undoes to the
// document before it and redoes to the document after it, exactly; the
// shortcuts reach undo and redo, whose menu texts name the command. The
// caption marks unsaved work: the saved state is clean again when undo or
// redo reach it, and lost for good once an edit replaces what was undone.
TEST_F(Window, EveryControlsEditIsOneUndoStepAndTheCaptionFollowsTheSave) {
    StepMode(150.0f);
    player.position = 2.0;
    const struct {
        const char* name;
        std::function<void()> make;
    } edits[] = {
        {"step key", [&] { Press(Qt::Key_Up); }},
        {"BPM spin", Spinning(1011, 3)},
        {"title typed, one undo step for the visit",
         [&] {
             Control(1023)->setFocus();
             QTest::keyClicks(QApplication::focusWidget(), "abc");
             window->centralWidget()->setFocus(); // the box would take Control+Z itself
         }},
        {"difficulty", [&] { Control<QComboBox>(1025)->setCurrentIndex(3); }},
        {"steps replaced", [&] { window->SetSteps("8080808080"); }},
        {"randomize",
         [&] {
             window->SetRangeStart(0);
             window->SetRangeEnd(9);
             Control<QComboBox>(1029)->setCurrentIndex(3);
             Click(1030);
         }},
    };
    constexpr std::size_t kSaved = 3; // saved after the third edit
    const std::string path = TempFolder("window_undo") + "/undo.dwi";
    std::vector<chart::Song> states{window->Song()};
    for (const auto& edit : edits) {
        edit.make();
        EXPECT_FALSE(chart::SameContent(window->Song(), states.back())) << edit.name;
        EXPECT_EQ(window->Editor().History().Count(), states.size()) << edit.name;
        states.push_back(window->Song());
        if (states.size() == kSaved + 1) {
            dialogs.savePaths.push_back(path);
            Action(32772)->trigger();
            EXPECT_EQ(window->windowTitle(), "Beatwright");
        }
    }
    const auto caption = [](std::size_t state) {
        return state == kSaved ? "Beatwright" : "undo.dwi* - Beatwright";
    };
    EXPECT_EQ(Action(32802)->text() + "|" + Action(32803)->text(), "&Undo Randomize|&Redo");
    EXPECT_FALSE(Action(32803)->isEnabled());
    for (std::size_t i = std::size(edits); i-- > 0;) {
        Press(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(chart::SameContent(window->Song(), states[i])) << "undo " << edits[i].name;
        EXPECT_EQ(window->windowTitle(), caption(i)) << "undo " << edits[i].name;
    }
    EXPECT_EQ(Texts({1010, 1023, 1025}), "150.0||BASIC") << "the controls show the document";
    EXPECT_FALSE(Action(32802)->isEnabled());
    EXPECT_EQ(Action(32803)->text(), "&Redo Add Note");
    for (std::size_t i = 0; i < std::size(edits); ++i) {
        Press(i % 2 ? Qt::Key_Y : Qt::Key_Z, i % 2 ? Qt::KeyboardModifiers(Qt::ControlModifier)
                                                   : Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_TRUE(chart::SameContent(window->Song(), states[i + 1])) << "redo " << edits[i].name;
        EXPECT_EQ(window->windowTitle(), caption(i + 1)) << "redo " << edits[i].name;
    }
    EXPECT_EQ(Texts({1023, 1025}), "abc|TRICK");
    // Back at the save, an edit in place of the undone ones: undo finds the
    // saved state again. Before the save, it is gone for good.
    for (std::size_t i = 0; i < 3; ++i) {
        window->Undo();
    }
    window->SetSteps("4");
    EXPECT_EQ(window->windowTitle(), caption(0));
    window->Undo();
    EXPECT_EQ(window->windowTitle(), caption(kSaved));
    window->Undo();
    window->SetSteps("2");
    window->Undo();
    EXPECT_EQ(window->windowTitle(), caption(kSaved - 1));
    EXPECT_TRUE(window->HasUnsavedChanges());
}

// The step view's timing requests: the window asks for the value; an edit
// to 0 removes, Cancel changes nothing; each request is one undo step.
TEST_F(Window, TempoChangesAndStopsAreAskedForAddedChangedAndRemoved) {
    LoadSong(120.0f);
    dialogs.numbers = {180.0, std::nullopt, 300.0, 0.0, 150.0, 0.0, 250.0, 0.0};
    window->AddBpmChangeAt(192); // beat 4
    window->AddStopAt(96);       // cancelled
    window->AddStopAt(96);       // beat 2, 300 ms
    window->AddStopAt(144);      // 0 ms: no stop
    EXPECT_EQ(window->Song().changes, (std::vector<chart::BpmChange>{{4.0, 180.0}}));
    EXPECT_EQ(window->Song().stops, (std::vector<chart::Stop>{{2.0, 300.0}}));
    window->EditBpmChange(0);
    EXPECT_EQ(window->Song().changes, (std::vector<chart::BpmChange>{{4.0, 150.0}}));
    window->EditStop(0);
    window->EditStop(5);      // no such stop: nothing is asked
    window->EditBpmChange(5); // nor change
    window->AddStopAt(48);
    EXPECT_EQ(window->Song().stops, (std::vector<chart::Stop>{{1.0, 250.0}}));
    window->RemoveStop(0);
    window->EditBpmChange(0);
    EXPECT_TRUE(window->Song().changes.empty() && window->Song().stops.empty());
    EXPECT_EQ(dialogs.numberQuestions,
              (std::vector<std::string>{
                  "Add BPM Change: BPM at this beat:", "Add Stop: Stop length (ms):",
                  "Add Stop: Stop length (ms):", "Add Stop: Stop length (ms):",
                  "Change BPM Change: BPM (0 removes it):",
                  "Change Stop: Stop length (ms, 0 removes it):", "Add Stop: Stop length (ms):",
                  "Change BPM Change: BPM (0 removes it):"}));
    window->Undo();
    EXPECT_EQ(window->Song().changes, (std::vector<chart::BpmChange>{{4.0, 150.0}}));
    window->RemoveBpmChange(0);
    EXPECT_TRUE(window->Song().changes.empty());
}

// The next click follows plays and seeks on the grid gap + k/2 (120 BPM):
// one beat after the first grid point at or after the position. The end of
// the song loops it. Fixed fault: the rewind and start events of a loop's
// restart, arriving after it, moved the first click off the Gap.
TEST_F(Window, PlayerEventsReanchorTheClickAndLoop) {
    LoadSong(120.0f);
    Spinning(1013, 30)(); // Gap 0.3
    const double gap = static_cast<double>(window->Timing().gapSeconds);
    EXPECT_NEAR(gap, 0.3, 1e-6);
    player.position = 5.0;
    player.Play();
    EXPECT_NEAR(window->Timing().nextClickSeconds, gap + 5.5, 1e-9);
    player.SetPositionSeconds(2.0);
    EXPECT_NEAR(window->Timing().nextClickSeconds, gap + 2.5, 1e-9);

    auto events = std::exchange(player.events, {}); // the restart's events come late
    const int plays = player.plays;
    events.endOfPlayback();
    EXPECT_EQ(player.position.load(), 0.0);
    EXPECT_EQ(player.plays, plays + 1);
    EXPECT_EQ(player.rates.back(), 1.0);
    events.positionChange(59.9, 0.0);
    events.playStateChange(player::PlayState::kStopped, player::PlayState::kPlaying);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->Timing().nextClickSeconds, gap);
    events.positionChange(0.0, 1.0); // a later seek anchors as usual
    QCoreApplication::processEvents();
    EXPECT_NEAR(window->Timing().nextClickSeconds, gap + 1.5, 1e-9);
    // The metronome's toggle: off and on again, the next click anchored.
    player.position = 3.2;
    window->OnCommand(32778);
    window->OnCommand(32778);
    EXPECT_NEAR(window->Timing().nextClickSeconds, gap + 3.5, 1e-9);
}

// The worker hands each click over ahead of its beat, with the beat's song
// time on the timing map, once per beat, and skips beats that passed during
// a jump. At 120 BPM with 240 BPM from beat 2 and a 500 ms stop at beat 4,
// beats 0-2 come every 0.5 s, then every 0.25 s, with beat 5 at 2.25 s.
TEST_F(Window, MetronomeClicksOnTheBeatsWithoutBursts) {
    LoadSong(120.0f);
    dialogs.numbers = {240.0, 500.0};
    window->AddBpmChangeAt(96);
    window->AddStopAt(192);
    // Song time follows real time from the position on, as when playing.
    const auto playUntil = [this](double untilSeconds) {
        const auto start = std::chrono::steady_clock::now();
        const double from = player.position.load();
        while (player.position.load() < untilSeconds) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            player.position = from + elapsed.count();
        }
        return player.TakeClicks();
    };
    player.Play();
    const std::vector<double> beats{0.0, 0.5, 1.0, 1.25, 1.5, 2.25, 2.5};
    const std::vector<double> clicks = playUntil(2.6);
    // A starved worker may skip a beat rather than click it late; the map's
    // times come from sums of beat lengths: a rounding step.
    ASSERT_GE(clicks.size(), beats.size() - 2);
    for (std::size_t i = 0, beat = 0; i < clicks.size(); ++i, ++beat) {
        while (beat < beats.size() && clicks[i] > beats[beat] + 1e-9) {
            ++beat;
        }
        ASSERT_LT(beat, beats.size()) << clicks[i];
        EXPECT_NEAR(clicks[i], beats[beat], 1e-9);
    }
    // A jump far ahead without a seek event: the missed beats stay silent.
    player.position = 10.0;
    const std::vector<double> after = playUntil(10.6);
    ASSERT_FALSE(after.empty());
    EXPECT_GT(after.front(), 10.0 - 1e-9);
    EXPECT_NEAR(after.back(), 10.5, 1e-9);
}

// Fixed fault: Find Tempo's previews left unsaved work behind although the
// dialog had put the timing back. They are one undo step, and none then.
TEST_F(Window, AFindTempoPreviewPutBackLeavesNoUnsavedWork) {
    LoadSong(120.0f);
    Action(32800)->trigger();
    auto* dialog = window->findChild<QDialog*>("FindTempoDlg");
    ASSERT_NE(dialog, nullptr);
    window->ApplyFoundTempo(131.0f, 0.25f);
    window->ApplyFoundTempo(128.37f, 0.4567f);
    EXPECT_TRUE(window->HasUnsavedChanges());
    EXPECT_EQ(window->Editor().History().Count(), 1u);
    EXPECT_EQ(Texts({1010, 1012}), "128.4|0.46");
    // Listen plays from the Gap with the metronome on.
    window->ToggleMetronome();
    window->ListenFrom(0.4567);
    EXPECT_TRUE(window->MetronomeOn());
    EXPECT_EQ(player.position.load(), 0.4567);
    EXPECT_EQ(player.plays, 1);
    window->ApplyFoundTempo(120.0f, 0.0f);
    EXPECT_FALSE(window->HasUnsavedChanges());
    EXPECT_FALSE(window->Editor().History().CanUndo());
    EXPECT_EQ(Text(1010), "120.0");
    dialog->reject();
}

} // namespace

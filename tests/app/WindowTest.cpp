// The main window's menus, controls and player wiring against scripted
// services: what reaches which command and what the user then sees. The
// rules behind the commands are the chart and edit layers' own tests.
#include "WindowFixture.h"
#include "app/FindTempoDlg.h"
#include "view/CCustomDisplay.h"

#include <QDockWidget>
#include <QLabel>
#include <utility>

namespace {

// Each menu item (or snap shortcut: Control+Right finer, Control+Left
// coarser) reaches its command and changes what it names alone.
TEST_F(Window, MenuItemsReachTheirCommands) {
    // Fixed fault: the read-outs took a face fontconfig called fixed-pitch
    // whose digits were not. Every digit, '.' and ' ' has one advance, so
    // the numbers change in place; 35 pt at 96 dpi is 46.7 px.
    EXPECT_EQ(Control<app::CColorLabel>(1005)->LabelFont().pixelSize(), 47);
    for (int id : {1005, 1006, 1007}) {
        const QFontMetricsF metrics(Control<app::CColorLabel>(id)->LabelFont());
        for (const QChar c : QStringLiteral("0123456789. ")) {
            EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char('8')))
                << id << " '" << c.toLatin1() << "'";
        }
    }

    LoadSong(120.0f);
    auto* snap = window->findChild<QComboBox*>("snap");
    auto* dock = window->findChild<QDockWidget*>("charts");
    // The marks of Tap, Step, Metronome and Waveform; the mode; whether the
    // metronome, waveform and chart list are on; the snap; About boxes shown.
    const auto state = [&] {
        std::string marks;
        for (const int id : {32779, 32780, 32778, 32801}) {
            marks += Action(id)->isChecked() ? '+' : '-';
        }
        return marks + " " + std::to_string(window->CurrentMode()) +
               std::to_string(window->MetronomeOn()) + std::to_string(window->WaveformShown()) +
               std::to_string(dock->isVisible()) + " " + snap->currentText().toStdString() + " " +
               std::to_string(dialogs.abouts);
    };
    EXPECT_EQ(state(), "+-+- 1100 8th 0");
    const std::pair<int, const char*> items[] = {
        {32780, "-++- 2100 8th 0"}, {32778, "-+-- 2000 8th 0"},  {32801, "-+-+ 2010 8th 0"},
        {32806, "-+-+ 2011 8th 0"}, {32804, "-+-+ 2011 12th 0"}, {32805, "-+-+ 2011 8th 0"},
        {32782, "-+-+ 2011 8th 1"}, {32779, "+--+ 1011 8th 1"},
    };
    for (const auto& [id, expected] : items) {
        Action(id)->trigger();
        EXPECT_EQ(state(), expected) << id;
    }
    Press(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(state(), "+--+ 1011 4th 1");
    window->OnCommand(32780);
    Press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(state(), "-+-+ 2011 8th 1");
    EXPECT_TRUE(Shown().notes.Empty()) << "the arrows of the shortcuts entered no step";
}

// Each speed and timing control, in turn, and the value the user then sees.
// The speed spin, as it always did, sets the speed its position had before
// the step.
TEST_F(Window, SpeedAndTimingControlsShowTheirValues) {
    const std::optional<double> asIs; // the song time as it stands
    // The BPM spin down at the least, then up 1500 times: it keeps notifying
    // past the end of its hidden 0-100 range. X.5 (the read-out shows it
    // too), X2, the Gap's half beats (twice down, through 0) and spin, the
    // sample start and end (before the song: 0). 0.5X and 1X; the speed spin
    // up twice, 0.5X, the spin down (from its own position), up to its end;
    // the jump % and most jumps spins.
    const struct {
        std::function<void()> act;
        int id;
        const char* shown;
    } steps[] = {
        {Spinning(1011, -1, 1), 1010, "0.0"},    {Spinning(1011, 1, 1500), 1010, "150.0"},
        {Pressing(1036, 1, asIs), 1005, "75.0"}, {Pressing(1035, 1, asIs), 1010, "150.0"},
        {Pressing(1014, 1, asIs), 1012, "0.20"}, {Pressing(1015, 2, asIs), 1012, "-0.20"},
        {Spinning(1013, 7, 1), 1012, "-0.13"},   {Pressing(1040, 1, 12.345), 1039, "12.35"},
        {Pressing(1042, 1, -1.0), 1041, "0.00"}, {Pressing(1017, 1, asIs), 1021, "50"},
        {Pressing(1019, 1, asIs), 1021, "100"},  {Spinning(1022, 1, 1), 1021, "100"},
        {Spinning(1022, 1, 1), 1021, "101"},     {Pressing(1017, 1, asIs), 1021, "50"},
        {Spinning(1022, -1, 1), 1021, "102"},    {Spinning(1022, 1, 400), 1021, "300"},
        {Spinning(1032, 1, 1), 1031, "2"},       {Spinning(1034, 2, 1), 1033, "3"},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        steps[i].act();
        EXPECT_EQ(Text(steps[i].id), steps[i].shown) << "step " << i;
    }
    EXPECT_NEAR(window->Timing().bpm, 150.01f, 1e-4f) << "0.01 and 1500 steps of 0.1";
    // 0.2 - 2 x 0.2 + 7 x 0.01 in float steps.
    EXPECT_NEAR(window->Timing().gapSeconds, -0.13f, 1e-4f);
    EXPECT_NEAR(player.rates.back(), 3.0, 1e-6) << "300 %";
}

// The step view's timing requests: the window asks for the value; an edit
// to 0 removes, Cancel changes nothing; each request is one undo step. The
// metronome worker hands over each click with its beat's song time: at 120
// BPM every 0.5 s, beats a jump passed over left silent; with 180 BPM from
// beat 4 (2.0 s) the map's beats, beat 6 at 2.667 s and beat 28 at 10 s.
TEST_F(Window, TempoChangesAndStopsAreAskedForAndTheMetronomeFollowsThem) {
    LoadSong(120.0f);
    const auto clickNear = [this](double position, double beatSeconds) {
        const double before = player.lastClick;
        player.position = position;
        EXPECT_TRUE(QTest::qWaitFor([&] { return player.lastClick != before; }, 2000));
        EXPECT_NEAR(player.lastClick, beatSeconds, 1e-9) << position;
    };
    player.position = 0.49;
    player.Play(); // the next click one beat after the beat at 0.5 s
    clickNear(0.999, 1.0);
    clickNear(5.0, 5.0);
    dialogs.numbers = {180.0, std::nullopt, 300.0, 0.0, 150.0, 0.0, 250.0, 0.0};
    window->AddBpmChangeAt(192); // beat 4
    player.position = 1.9;
    player.Play();
    clickNear(2.665, 2.0 + 2.0 / 3);
    clickNear(10.0, 10.0);
    player.Pause();
    window->AddStopAt(96);  // cancelled
    window->AddStopAt(96);  // beat 2, 300 ms
    window->AddStopAt(144); // 0 ms: no stop
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
    EXPECT_EQ(dialogs.numberQuestions.size(), 8u) << "none for a change or stop not there";
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
    player.position = 5.0;
    player.Play();
    EXPECT_NEAR(window->Timing().nextClickSeconds, gap + 5.5, 1e-9);
    player.SetPositionSeconds(2.0);
    EXPECT_NEAR(window->Timing().nextClickSeconds, gap + 2.5, 1e-9);

    auto events = std::exchange(player.events, {}); // the restart's events come late
    events.endOfPlayback();
    EXPECT_TRUE(player.position == 0.0 && player.plays == 2 && player.rates.back() == 1.0)
        << "played again from the start at the speed's rate";
    events.positionChange(59.9, 0.0);
    events.playStateChange(player::PlayState::kStopped, player::PlayState::kPlaying);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->Timing().nextClickSeconds, gap);
}

// Fixed fault: Find Tempo's previews left unsaved work behind although the
// dialog had put the timing back. They are one undo step, and none then.
TEST_F(Window, AFindTempoPreviewPutBackLeavesNoUnsavedWork) {
    LoadSong(120.0f);
    Action(32800)->trigger();
    auto* dialog = window->findChild<app::FindTempoDlg*>("FindTempoDlg");
    ASSERT_NE(dialog, nullptr);
    window->ApplyFoundTempo(131.0f, 0.25f);
    window->ApplyFoundTempo(128.37f, 0.4567f);
    EXPECT_EQ(window->Editor().History().Count(), 1u);
    EXPECT_EQ(Texts({1010, 1012}) + "|" + window->windowTitle(),
              "128.4|0.46|song.mp3* - Beatwright");
    // Listen plays from the Gap with the metronome on.
    window->ToggleMetronome();
    window->ListenFrom(0.4567);
    EXPECT_TRUE(window->MetronomeOn());
    EXPECT_EQ(player.position.load(), 0.4567);
    EXPECT_EQ(player.plays, 1);
    window->ApplyFoundTempo(120.0f, 0.0f);
    EXPECT_FALSE(window->HasUnsavedChanges() || window->Editor().History().CanUndo());
    EXPECT_EQ(Text(1010), "120.0");
    // The song is no file: the dialog says why it found nothing.
    ASSERT_TRUE(QTest::qWaitFor([dialog] { return dialog->Finished(); }, 5000));
    EXPECT_TRUE(dialog->findChild<QLabel*>()->text().contains("song.mp3"));
    dialog->reject();
}

// The real step view, counting its paints.
class CountingView : public view::CCustomDisplay {
public:
    using CCustomDisplay::CCustomDisplay;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        CCustomDisplay::paintEvent(event);
    }
};

// Fixed fault: while paused, changes that did not bump a repaint counter
// showed only at the next tick. Now every change of what the lane shows,
// whatever its source, has its repaint queued by the time the change
// returns: one pass of the event loop paints it, with no timer involved.
// The paused refresh worker paints nothing by itself, so a source that
// forgot would fail here.
TEST_F(Window, EveryChangeWhilePausedIsPaintedAtTheNextPass) {
    CountingView* view = nullptr;
    makeStepView = [&view](QWidget* parent, view::StepViewOwner& owner) -> QWidget* {
        return view = new CountingView(&owner, parent);
    };
    Start();
    ASSERT_TRUE(QTest::qWaitFor([&view] { return view->paints > 0; }, 5000));
    StepMode(120.0f);
    player.Pause();
    const auto clickView = [&](QPoint at) {
        return [=, &view] { QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, at); };
    };
    const struct {
        const char* what;
        std::function<void()> change;
    } changes[] = {
        {"arrow clicked into the lane", clickView({30, 150})},
        {"seek button", clickView({170, 280})},
        {"arrow key",
         [&] {
             player.position = 2.0;
             Press(Qt::Key_Up);
         }},
        {"range action",
         [&] {
             window->SetRangeStart(0);
             window->SetRangeEnd(3);
             Control<QComboBox>(1029)->setCurrentIndex(0);
             Click(1030);
         }},
        {"BPM spin", Spinning(1011, 1)},
        {"seek by the player", [&] { player.SetPositionSeconds(4.0); }},
        {"tap mode resets the tempo", [&] { window->OnCommand(32779); }},
        {"playing starts", [&] { player.Play(); }},
    };
    for (const auto& change : changes) {
        QApplication::processEvents();
        const int before = view->paints;
        change.change();
        QApplication::processEvents();
        EXPECT_GT(view->paints, before) << change.what;
    }
}

} // namespace

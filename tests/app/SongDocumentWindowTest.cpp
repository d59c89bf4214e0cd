// The window on the song document: snaps, holds, every chart, undo and
// redo, and unsaved work, through the real window with fake services.
#include "FakeServices.h"
#include "QtPrinters.h"
#include "WindowFixture.h"
#include "app/SpinButton.h"
#include "dwi/DwiSong.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using app::CChartEditorDlg;

std::string TempFolder(const char* name) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder.string();
}

class SongWindow : public Window {
protected:
    // A held key: pressed with the song at one time, released at another.
    void HoldKey(int key, double pressSeconds, double releaseSeconds,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        player.position = pressSeconds;
        QTest::keyPress(target, static_cast<Qt::Key>(key), modifiers);
        player.position = releaseSeconds;
        QTest::keyRelease(target, static_cast<Qt::Key>(key), modifiers);
    }
    void StepMode(float bpm = 120.0f) {
        LoadSong(bpm);
        window->OnCommand(32780);
    }
    const chart::SongChart& Shown() { return *window->Editor().Selected(); }
    std::string Save(const std::string& path) {
        dialogs.savePaths.push_back(path);
        window->OnCommand(32773);
        return FileText(path);
    }
};

// 16th snap through its shortcut (8th, then 12th, then 16th); keys on the
// 16ths between the beats land there and the file writes them in "(..)".
TEST_F(SongWindow, SixteenthNotesEnteredLiveAreSavedAsSixteenths) {
    StepMode();
    Press(Qt::Key_Right, Qt::ControlModifier);
    Press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(window->Editor().CurrentSnap(), edit::Snap::k16th);
    EXPECT_EQ(window->findChild<QComboBox*>("snap")->currentText(), "16th")
        << "the drop-down follows";
    EXPECT_TRUE(Shown().notes.Empty()) << "the shortcut's arrow key is no step";
    // 120 BPM, no Gap: a 16th is 0.125 s.
    for (double at : {1.0, 1.125, 1.25, 1.375}) {
        HoldKey(Qt::Key_Left, at, at);
    }
    EXPECT_EQ(Shown().notes.Size(), 4u);
    EXPECT_NE(Shown().notes.Find(108, 0), nullptr) << "1.125 s is row 108";
    const std::string saved = Save(TempFolder("doc_sixteenths") + "/s.dwi");
    EXPECT_NE(saved.find("(4444)"), std::string::npos) << saved;
}

TEST_F(SongWindow, AKeyHeldLongerThanACellIsAHold) {
    StepMode();
    HoldKey(Qt::Key_Up, 1.0, 2.0); // rows 96 to 192
    EXPECT_EQ(window->Editor().History().UndoText(), "Add Hold") << "press and release: one step";
    EXPECT_EQ(window->Editor().History().Count(), 1u);
    HoldKey(Qt::Key_Down, 3.0, 3.1); // shorter than a cell (0.25 s): a tap
    const chart::Note* hold = Shown().notes.Find(96, 2);
    ASSERT_NE(hold, nullptr);
    EXPECT_EQ(hold->holdRows, 96);
    ASSERT_NE(Shown().notes.Find(288, 1), nullptr);
    EXPECT_EQ(Shown().notes.Find(288, 1)->holdRows, 0);
    const std::string saved = Save(TempFolder("doc_hold") + "/h.dwi");
    EXPECT_NE(saved.find('!'), std::string::npos) << saved;
    // Read back, the hold is the same.
    const chart::Song read = dwi::ReadSong(saved);
    ASSERT_EQ(read.charts.size(), 1u);
    ASSERT_NE(read.charts[0].notes.Find(96, 2), nullptr);
    EXPECT_EQ(read.charts[0].notes.Find(96, 2)->holdRows, 96);
}

// Every kind of edit the window makes undoes to the document before it and
// redoes to the document after it, exactly.
TEST_F(SongWindow, UndoAndRedoRestoreTheDocumentAfterEveryKindOfEdit) {
    StepMode(150.0f);
    player.position = 2.0;
    struct Edit {
        const char* name;
        std::function<void()> make;
    };
    const std::vector<Edit> edits = {
        {"step key", [&] { Press(Qt::Key_Up); }},
        {"space", [&] { Press(Qt::Key_Space); }},
        {"click on a lane", [&] { window->ToggleNote(48, 3); }},
        {"BPM spin", [&] { Control<app::CSpinButton>(1011)->Step(3); }},
        {"Gap spin", [&] { Control<app::CSpinButton>(1013)->Step(2); }},
        {"X2", [&] { Click(1035); }},
        {"Gap + half beat", [&] { Click(1014); }},
        {"sample start", [&] { Click(1040); }},
        {"sample end",
         [&] {
             player.position = 9.0;
             Click(1042);
         }},
        {"title", [&] { Control<QLineEdit>(1023)->setText("Name"); }},
        {"artist", [&] { Control<QLineEdit>(1024)->setText("Who"); }},
        {"difficulty", [&] { Control<QComboBox>(1025)->setCurrentIndex(3); }},
        {"rating", [&] { Control<QComboBox>(1026)->setCurrentIndex(6); }},
        {"BPM change",
         [&] {
             dialogs.numbers.push_back(200.0);
             window->AddBpmChangeAt(192);
         }},
        {"stop",
         [&] {
             dialogs.numbers.push_back(250.0);
             window->AddStopAt(96);
         }},
        {"steps replaced", [&] { window->SetSteps("8080808080"); }},
        {"randomize",
         [&] {
             window->SetRangeStart(0);
             window->SetRangeEnd(9);
             Control<QComboBox>(1029)->setCurrentIndex(3);
             Click(1030);
         }},
    };
    std::vector<chart::Song> states{window->Song()};
    for (const Edit& edit : edits) {
        edit.make();
        EXPECT_FALSE(chart::SameContent(window->Song(), states.back())) << edit.name;
        states.push_back(window->Song());
    }
    EXPECT_EQ(Action(32802)->text(), "&Undo Randomize");
    for (std::size_t i = edits.size(); i-- > 0;) {
        Press(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(chart::SameContent(window->Song(), states[i])) << "undo " << edits[i].name;
    }
    EXPECT_EQ(Text(1010), "150.0") << "the controls show the document";
    EXPECT_TRUE(Control<QLineEdit>(1023)->text().isEmpty());
    EXPECT_EQ(window->Editor().History().Index(), 0u);
    ASSERT_EQ(window->Editor().History().Count(), edits.size());
    for (std::size_t i = 0; i < edits.size(); ++i) {
        if (i % 2 == 0) {
            Press(Qt::Key_Y, Qt::ControlModifier);
        } else {
            Press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        }
        EXPECT_TRUE(chart::SameContent(window->Song(), states[i + 1]))
            << "redo " << edits[i].name << window->Editor().History().Index();
    }
    EXPECT_EQ(Control<QComboBox>(1026)->currentText(), "7");
    EXPECT_EQ(Control<QLineEdit>(1024)->text(), "Who");
}

// Typing into a box in one visit is one undo step.
TEST_F(SongWindow, TypingATitleIsOneUndoStep) {
    LoadSong();
    auto* title = Control<QLineEdit>(1023);
    title->setFocus();
    for (int key : {Qt::Key_A, Qt::Key_B, Qt::Key_C}) {
        Press(key);
    }
    EXPECT_EQ(window->Song().title, "abc");
    window->Undo();
    EXPECT_EQ(window->Song().title, "");
    EXPECT_EQ(title->text(), "");
}

const std::string kManyCharts =
    "#TITLE:Many;\r\n#BPM:150.000;\r\n#GAP:100;\r\n#CHANGEBPM:16=180,32=120;\r\n"
    "#FREEZE:8=500;\r\n#SINGLE:BASIC:3:08080808;\r\n#SINGLE:SMANIAC:12:(2468)8!80008<248>;\r\n"
    "#DOUBLE:HEAVY:9:8:2;\r\n";

// Import loads every chart; edits of two of them, with another selected
// between, are both saved, and the rest of the file stays as it was.
TEST_F(SongWindow, ImportEditTwoChartsAndSaveKeepsEveryChartAndTheTiming) {
    const std::string folder = TempFolder("doc_many");
    const std::string path = folder + "/many.dwi";
    std::ofstream(path, std::ios::binary) << kManyCharts;
    StepMode(150.0f);
    dialogs.answers = {false, true}; // the second single chart
    dialogs.openPaths.push_back(path);
    window->OnCommand(32776);
    const chart::Song original = dwi::ReadSong(kManyCharts);
    ASSERT_EQ(window->Song().charts.size(), 3u);
    ASSERT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(1));
    // A value outside the lists is shown, not replaced.
    EXPECT_EQ(Control<QComboBox>(1025)->currentText(), "SMANIAC");
    EXPECT_EQ(Control<QComboBox>(1026)->currentText(), "12");

    window->ToggleNote(240, 0);
    window->Editor().SelectChart(0);
    EXPECT_EQ(Control<QComboBox>(1025)->currentText(), "BASIC");
    window->ToggleNote(0, 3);
    window->Editor().SelectChart(1);
    EXPECT_NE(Shown().notes.Find(240, 0), nullptr) << "the first chart's edit stays";

    window->OnCommand(32772);
    const chart::Song saved = dwi::ReadSong(FileText(path));
    ASSERT_EQ(saved.charts.size(), 3u);
    EXPECT_EQ(saved.changes, original.changes);
    EXPECT_EQ(saved.stops, original.stops);
    EXPECT_EQ(saved.bpm, original.bpm);
    EXPECT_EQ(saved.gapSeconds, original.gapSeconds);
    EXPECT_NE(saved.charts[0].notes.Find(0, 3), nullptr);
    EXPECT_NE(saved.charts[1].notes.Find(240, 0), nullptr);
    EXPECT_EQ(saved.charts[1].difficulty, "SMANIAC");
    EXPECT_EQ(saved.charts[1].rating, 12u);
    EXPECT_TRUE(saved.charts[2].SameContent(original.charts[2]));
    // Nothing else moved: the edited charts differ from the file's only by
    // their one note each.
    EXPECT_EQ(saved.charts[0].notes.Size(), original.charts[0].notes.Size() + 1);
    EXPECT_EQ(saved.charts[1].notes.Size(), original.charts[1].notes.Size() + 1);
}

TEST_F(SongWindow, UnsavedWorkIsAskedAboutAndCancelKeepsTheProgram) {
    StepMode();
    EXPECT_EQ(window->windowTitle(), "Beatwright");
    player.position = 1.0;
    Press(Qt::Key_Up);
    EXPECT_EQ(window->windowTitle(), "song.mp3* - Beatwright");

    dialogs.saveChoices = {fakes::Dialogs::SaveChoice::kCancel};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(dialogs.questions.back(), "Save Changes: Save changes to song.mp3?");

    // Opening another song asks too; Cancel keeps the work.
    dialogs.saveChoices = {fakes::Dialogs::SaveChoice::kCancel};
    const std::size_t opened = dialogs.openFilters.size();
    window->OnCommand(32771);
    EXPECT_EQ(dialogs.openFilters.size(), opened) << "no file dialog after Cancel";
    EXPECT_FALSE(Shown().notes.Empty());

    // Save writes the work and the exit goes on.
    const std::string path = TempFolder("doc_exit") + "/exit.dwi";
    dialogs.saveChoices = {fakes::Dialogs::SaveChoice::kSave};
    dialogs.savePaths.push_back(path);
    EXPECT_TRUE(window->close());
    EXPECT_NE(FileText(path).find("#SINGLE:BASIC:1:0000800"), std::string::npos);
}

TEST_F(SongWindow, WithoutUnsavedWorkTheExitIsConfirmedAsBefore) {
    StepMode();
    player.position = 1.0;
    Press(Qt::Key_Up);
    window->Undo(); // back at the clean state
    EXPECT_FALSE(window->HasUnsavedChanges());
    dialogs.answers = {false};
    EXPECT_FALSE(window->close());
    EXPECT_EQ(dialogs.questions.back(), "Confirm Exit: Are you sure you want to quit?");
}

// The range is in cells of the snap: a finer snap keeps its rows.
TEST_F(SongWindow, TheRangeKeepsItsRowsWhenTheSnapChanges) {
    LoadSong();
    window->SetRangeStart(2);
    window->SetRangeEnd(5);
    window->SetSnap(edit::Snap::k16th);
    EXPECT_EQ(Text(1027), "4");
    EXPECT_EQ(Text(1028), "10");
    window->SetSnap(edit::Snap::k4th);
    EXPECT_EQ(Text(1027), "1");
    EXPECT_EQ(Text(1028), "2") << "rows 48 to 120 round down to whole beats";
}

TEST_F(SongWindow, SecondPadKeysEnterDoubleChartsColumns) {
    const std::string path = TempFolder("doc_double") + "/d.dwi";
    std::ofstream(path, std::ios::binary) << "#BPM:120;\r\n#DOUBLE:HEAVY:9:0:0;\r\n";
    StepMode();
    dialogs.openPaths.push_back(path);
    window->OnCommand(32776);
    ASSERT_EQ(Shown().style, chart::ChartStyle::Double);
    HoldKey(Qt::Key_Left, 1.0, 1.0);
    HoldKey(Qt::Key_6, 1.0, 1.0, Qt::KeypadModifier);
    EXPECT_NE(Shown().notes.Find(96, 0), nullptr) << "arrows: the first pad";
    EXPECT_NE(Shown().notes.Find(96, 7), nullptr) << "keypad: the second pad";
}

} // namespace

namespace {

// Across a tempo change and a stop the metronome clicks on the timing
// map's beats, each handed over exactly.
TEST_F(SongWindow, MetronomeClicksOnEveryBeatAcrossChangesAndStops) {
    LoadSong(120.0f);
    dialogs.numbers = {240.0, 500.0};
    window->AddBpmChangeAt(96); // beat 2
    window->AddStopAt(192);     // beat 4
    ASSERT_EQ(window->Song().changes.size(), 1u);
    ASSERT_EQ(window->Song().stops.size(), 1u);
    // Beats 0-2 every 0.5 s, then every 0.25 s, with half a second held at
    // beat 4 (1.5 s): beat 5 at 2.25 s.
    const std::vector<double> beats = {0.0, 0.5, 1.0, 1.25, 1.5, 2.25, 2.5};
    player.position = 0.0;
    player.Play();
    const auto start = std::chrono::steady_clock::now();
    while (player.position.load() < 2.6) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        player.position = elapsed.count();
    }
    const std::vector<double> clicks = player.Clicks();
    // A starved worker may skip a beat rather than click it late.
    ASSERT_GE(clicks.size(), beats.size() - 2);
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        // The map's times come from sums of beat lengths: a rounding step.
        const bool onABeat = std::any_of(beats.begin(), beats.end(), [&](double beat) {
            return std::abs(clicks[i] - beat) < 1e-9;
        });
        EXPECT_TRUE(onABeat) << clicks[i];
        if (i > 0) {
            EXPECT_GT(clicks[i], clicks[i - 1]);
        }
    }
}

} // namespace

namespace {

TEST_F(SongWindow, TheStepViewTakesTheHeightTheWindowGains) {
    const QSize start = window->size();
    const int viewHeight = window->StepView()->height();
    window->resize(start.width() + 50, start.height() + 120);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->StepView()->height(), viewHeight + 120);
    window->resize(start.width() - 40, start.height() - 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), start) << "the layout's size is the least";
    EXPECT_EQ(window->StepView()->height(), viewHeight);
}

} // namespace

namespace {

// The step view's timing requests: the window asks for the value; an edit
// to 0 removes, Cancel changes nothing.
TEST_F(SongWindow, TempoChangesAndStopsAreAskedForAddedChangedAndRemoved) {
    LoadSong(120.0f);
    dialogs.numbers = {180.0, std::nullopt, 300.0};
    window->AddBpmChangeAt(192); // beat 4
    window->AddStopAt(96);       // cancelled
    window->AddStopAt(96);       // beat 2, 300 ms
    EXPECT_EQ(dialogs.numberQuestions.front(), "Add BPM Change: BPM at this beat:");
    ASSERT_EQ(window->Song().changes.size(), 1u);
    EXPECT_EQ(window->Song().changes[0], (chart::BpmChange{4.0, 180.0}));
    ASSERT_EQ(window->Song().stops.size(), 1u);
    EXPECT_EQ(window->Song().stops[0], (chart::Stop{2.0, 300.0}));

    dialogs.numbers = {150.0, 0.0};
    window->EditBpmChange(0);
    EXPECT_EQ(window->Song().changes[0].bpm, 150.0);
    window->EditStop(0);
    EXPECT_TRUE(window->Song().stops.empty());
    window->RemoveBpmChange(0);
    EXPECT_TRUE(window->Song().changes.empty());
    window->EditStop(5); // no such stop: nothing is asked
    EXPECT_EQ(dialogs.numberQuestions.size(), 5u);
    window->Undo();
    EXPECT_EQ(window->Song().changes.size(), 1u) << "each request is one undo step";
}

} // namespace

namespace {

// Find Tempo's previews are one undo step, and none once the dialog has
// put the timing back as it was.
TEST_F(SongWindow, AFindTempoPreviewPutBackLeavesNoUnsavedWork) {
    LoadSong(120.0f);
    window->OnCommand(32800);
    auto* dialog = window->findChild<QDialog*>("FindTempoDlg");
    ASSERT_NE(dialog, nullptr);
    window->ApplyFoundTempo(131.0f, 0.25f);
    window->ApplyFoundTempo(133.0f, 0.5f);
    EXPECT_TRUE(window->HasUnsavedChanges());
    EXPECT_EQ(window->Editor().History().Count(), 1u);
    window->ApplyFoundTempo(120.0f, 0.0f);
    EXPECT_FALSE(window->HasUnsavedChanges());
    EXPECT_FALSE(window->Editor().History().CanUndo());
    EXPECT_EQ(Text(1010), "120.0");
    dialog->reject();
}

} // namespace

namespace {

// A key held while another window takes the keyboard is let go there: the
// hold ends, and the key enters arrows again afterwards.
TEST_F(SongWindow, AHeldKeyEndsWhenTheWindowLosesTheKeyboard) {
    StepMode();
    player.position = 1.0;
    QTest::keyPress(QApplication::focusWidget(), Qt::Key_Up);
    player.position = 1.5;
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    const chart::Note* hold = Shown().notes.Find(96, 2);
    ASSERT_NE(hold, nullptr);
    EXPECT_EQ(hold->holdRows, 48) << "from 1.0 s to 1.5 s";
    other.close();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    HoldKey(Qt::Key_Up, 3.0, 3.0);
    EXPECT_NE(Shown().notes.Find(288, 2), nullptr);
}

} // namespace

// The window's parts on their own: heavy work off the window thread, the
// player control, the Find Tempo dialog on synthesized songs, the .dwi file
// dialogs and the command line's .dwi tools.
#include "TestSignals.h"
#include "WindowFixture.h"
#include "app/BackgroundWork.h"
#include "app/DwiTools.h"
#include "app/FindTempoDlg.h"
#include "app/MediaPlayerControl.h"
#include "app/PleaseWaitDlg.h"
#include "app/QtServices.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QPointer>
#include <QSignalSpy>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <cmath>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;
using app::BackgroundWork;

// The work runs on a worker while the window thread runs its events: the
// progress window (sampled there, as a user would see it) shows only for a
// long wait, steps aside while the worker asks something on the window
// thread, and goes when the work ends. Exceptions reach the caller of Run,
// also one thrown on the window thread for the worker, and the object runs
// again afterwards.
TEST(BackgroundWork, RunsOnAWorkerAndShowsProgressOnlyForLongWaits) {
    QWidget window;
    window.show();
    BackgroundWork work(&window, QStringLiteral("Reading DWI file..."));
    const auto progressShown = [&] {
        const auto* progress = window.findChild<app::CPleaseWaitDlg*>();
        return progress && progress->isVisible() &&
               progress->ProgressText() == "Reading DWI file...";
    };
    std::atomic<int> shown{0}; // samples that saw the progress window
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] { shown += progressShown() ? 1 : 0; });
    sample.start(2);
    work.Run([] {});
    QApplication::processEvents();
    EXPECT_EQ(shown, 0) << "a short wait shows no window";
    // Waits on the worker for samples only the window thread can take; the
    // deadline only stops a broken build from hanging the suite.
    const auto seen = [&](int samples) {
        for (int i = 0; i < 10000 && shown < samples; ++i) {
            std::this_thread::sleep_for(1ms);
        }
        return shown >= samples;
    };
    const auto started = std::chrono::steady_clock::now();
    std::thread::id askedOn;
    std::string story;
    work.Run([&] {
        story += seen(1) ? "shown" : "not shown";
        EXPECT_GE(std::chrono::steady_clock::now() - started, BackgroundWork::kShowDelayMs * 1ms);
        story += work.OnWindowThread([&] {
            askedOn = std::this_thread::get_id();
            return progressShown() ? ", still shown" : ", hidden";
        });
        story += seen(shown + 1) ? ", shown again" : "";
    });
    EXPECT_EQ(story, "shown, hidden, shown again");
    EXPECT_EQ(askedOn, std::this_thread::get_id());
    EXPECT_FALSE(progressShown()) << "gone when the work ends";
    EXPECT_EQ(work.OnWindowThread([] { return 7; }), 7) << "at once from the window thread";

    EXPECT_THROW(work.Run([] { throw std::runtime_error("in the work"); }), std::runtime_error);
    EXPECT_THROW(work.Run([&] { work.OnWindowThread([] { throw std::length_error("asked"); }); }),
                 std::length_error);
    bool ran = false;
    work.Run([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(MediaPlayerControl, TimeTextIsMinutesAndSecondsOrHours) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0:00"},       {59.999, "0:59"}, // a second shows once it has passed
        {61.4, "1:01"},      {600.0, "10:00"}, {3599.5, "59:59"},
        {3725.0, "1:02:05"}, {-3.0, "0:00"},   {std::nan(""), "0:00"}};
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(app::MediaPlayerControl::TimeText(seconds), text) << seconds;
    }
}

// Nothing to play: all off. With a song, the buttons play, pause and stop
// back to the start; a click on the groove seeks there, a drag once, on
// release (a refresh leaves a dragged bar alone). No part takes the
// keyboard, even when clicked: Space or an arrow sent to it changes nothing.
TEST(MediaPlayerControl, ButtonsAndSeekBarDriveThePlayerAndLeaveTheKeyboard) {
    fakes::Player player;
    app::MediaPlayerControl control(player);
    auto* playPause = control.findChild<QToolButton*>("playPause");
    auto* bar = control.findChild<QSlider*>("seekBar");
    EXPECT_FALSE(playPause->isEnabled() || bar->isEnabled());
    EXPECT_EQ(control.TimeLabelText(), "0:00 / 0:00");
    player.fileName = "song.mp3";
    player.duration = 125.0;
    player.position = 42.5;
    control.resize(400, 30);
    control.show();
    control.Refresh();
    EXPECT_EQ(control.TimeLabelText() + " " + QString::number(bar->value()), "0:42 / 2:05 42500");
    for (QWidget* part : control.findChildren<QWidget*>()) {
        EXPECT_EQ(part->focusPolicy(), Qt::NoFocus) << part->objectName().toStdString();
    }
    QTest::mouseClick(playPause, Qt::LeftButton);
    QTest::keyClick(&control, Qt::Key_Space);
    QTest::keyClick(&control, Qt::Key_Right);
    EXPECT_EQ(player.State(), player::PlayState::kPlaying);
    EXPECT_TRUE(player.seeks.empty());
    QTest::mouseClick(playPause, Qt::LeftButton);
    EXPECT_EQ(player.State(), player::PlayState::kPaused);
    QTest::mouseClick(control.findChild<QToolButton*>("stop"), Qt::LeftButton);
    EXPECT_EQ(control.TimeLabelText() + " " + QString::number(player.halts), "0:00 / 2:05 1");
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() * 3 / 4, bar->height() / 2));
    ASSERT_EQ(player.seeks.size(), 1U);
    // The handle's width keeps the groove a little shorter than the bar.
    EXPECT_NEAR(player.seeks[0], 125.0 * 0.75, 125.0 * 0.05);
    bar->setSliderDown(true);
    bar->setSliderPosition(20000);
    control.Refresh();
    EXPECT_EQ(bar->sliderPosition(), 20000);
    bar->setSliderDown(false);
    EXPECT_EQ(player.seeks, (std::vector<double>{player.seeks[0], 20.0}));
}

constexpr int kRate = 22050;

// A mono WAV of decaying 60 Hz thumps at `bpm` from `firstBeat` on.
// From changeAt (song time) on, the thumps come at laterBpm.
std::string WriteThumps(const std::string& name, double bpm, double firstBeat, double seconds,
                        double laterBpm = 0.0, double changeAt = 1e9) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * kRate), 0);
    for (double beat = firstBeat; beat < seconds;
         beat += 60.0 / (beat + 1e-9 >= changeAt ? laterBpm : bpm)) {
        const auto start = static_cast<std::size_t>(std::ceil(beat * kRate));
        for (std::size_t i = 0; i < kRate / 5 && start + i < samples.size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            samples[start + i] = static_cast<std::int16_t>(20000 * std::exp(-t / 0.05) *
                                                           std::sin(2 * M_PI * 60 * t));
        }
    }
    // A folder per song: ctest runs the tests that write them side by side.
    const std::string path = TempFolder("thumps_" + name) + "/" + name;
    testsignals::WriteWav(path, {.channels = 1, .sampleRate = kRate}, samples);
    return path;
}

// What the dialog asked of the window.
struct Calls {
    std::vector<std::pair<float, float>> timings;
    std::vector<double> listens;
    int stops = 0;
    app::FindTempoHooks Hooks() {
        return {[this](float bpm, float gap) { timings.emplace_back(bpm, gap); },
                [this](double from) { listens.push_back(from); }, [this] { ++stops; }};
    }
};

// Listen tries the chosen candidate; Close puts the timing back and stops
// the song, Apply keeps the candidate. Clean thumps at 120 BPM from 0.25 s:
// the fit lands on the grid (0.05 BPM and 5 ms are the analysis's goals).
TEST(FindTempoDlg, ListenTriesACandidateThenCloseUndoesItAndApplyKeepsOne) {
    const std::string song = WriteThumps("thumps_120.wav", 120, 0.25, 12);
    for (const char* last : {"Close", "Apply"}) {
        SCOPED_TRACE(last);
        Calls calls;
        auto* dialog = new app::FindTempoDlg(song, 99.0f, 0.5f, calls.Hooks());
        QPointer<app::FindTempoDlg> alive(dialog);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitFor([dialog] { return dialog->Finished(); }, 20000));
        ASSERT_GE(dialog->Candidates().size(), 2U);
        const audio::TempoCandidate best = dialog->Candidates()[0];
        const audio::TempoCandidate second = dialog->Candidates()[1];
        EXPECT_NEAR(best.bpm, 120.0, 0.05);
        EXPECT_NEAR(best.gapSeconds, 0.25, 0.005);
        ButtonOf(*dialog, "Listen")->click();
        EXPECT_EQ(calls.listens, std::vector<double>{best.gapSeconds});
        dialog->SelectCandidate(1);
        ButtonOf(*dialog, last)->click();
        const auto timing = [](const audio::TempoCandidate& c) {
            return std::pair{static_cast<float>(c.bpm), static_cast<float>(c.gapSeconds)};
        };
        const bool close = std::string(last) == "Close";
        EXPECT_EQ(calls.timings,
                  (std::vector<std::pair<float, float>>{timing(best), close ? std::pair{99.0f, 0.5f}
                                                                            : timing(second)}));
        EXPECT_EQ(calls.stops, close ? 1 : 0);
        EXPECT_TRUE(QTest::qWaitFor([&alive] { return alive.isNull(); }, 1000))
            << "the dialog deletes itself when closed";
    }
}

// A song that steps from 120 to 150 BPM on its beat 30 (15.25 s): the map
// is the first row, named by its start and change, and Apply sets it whole.
TEST(FindTempoDlg, OffersATimingMapFirstForASongThatChangesTempoAndAppliesIt) {
    const std::string song = WriteThumps("thumps_120_150.wav", 120, 0.25, 30, 150, 15.25);
    Calls calls;
    std::vector<audio::TimingMapFit> maps;
    app::FindTempoHooks hooks = calls.Hooks();
    hooks.setTimingMap = [&maps](const audio::TimingMapFit& map) { maps.push_back(map); };
    auto* dialog = new app::FindTempoDlg(song, 99.0f, 0.5f, hooks);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitFor([dialog] { return dialog->Finished(); }, 30000));
    ASSERT_TRUE(dialog->OfferedMap().has_value());
    const auto* list = dialog->findChild<QTreeWidget*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->topLevelItem(0)->text(0).toStdString(), "120.00 + 1 change");
    dialog->SelectCandidate(0);
    ButtonOf(*dialog, "Apply")->click();
    ASSERT_EQ(maps.size(), 1U);
    EXPECT_NEAR(maps[0].bpm, 120.0, 0.05);
    EXPECT_NEAR(maps[0].gapSeconds, 0.25, 0.002);
    ASSERT_EQ(maps[0].changes.size(), 1U);
    EXPECT_NEAR(maps[0].changes[0].beat, 30.0, 1e-9);
    EXPECT_NEAR(maps[0].changes[0].bpm, 150.0, 0.05);
}

// Fixed faults: the .dwi dialogs listed only lower-case extensions, and
// saved a bare name without ".dwi". "*.dwi" lists charts whatever the case
// of their extension, and nothing else; a name typed without an extension
// is saved with ".dwi", one with an extension keeps it. (Qt looks for a
// folder of the typed name in the working directory, where the tests run
// beside the source's "chart" folder: no folder has these names.)
TEST(FileDialogs, DwiFilesOfEveryCaseAreListedAndSavedWithTheirExtension) {
    const QString folder = QString::fromStdString(TempFolder("dialog_filter"));
    for (const char* name : {"a.dwi", "b.DWI", "c.Dwi", "d.txt"}) {
        WriteFile(folder.toStdString(), name, "#BPM:120;\n");
    }
    for (const auto mode : {QFileDialog::AcceptOpen, QFileDialog::AcceptSave}) {
        QFileDialog dialog;
        dialog.setAcceptMode(mode);
        app::SetUpFileDialog(dialog, "DWI Files (*.dwi)", {});
        auto* model = dialog.findChild<QFileSystemModel*>();
        auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_TRUE(model && list) << "not Qt's own file dialog";
        QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
        dialog.setDirectory(folder);
        dialog.show();
        EXPECT_TRUE(loaded.count() > 0 || loaded.wait(5000));
        QTest::qWait(50); // the filter is applied as the model's rows settle
        QStringList names;
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
            names << list->model()->index(row, 0, list->rootIndex()).data().toString();
        }
        names.sort();
        EXPECT_EQ(names, (QStringList{"a.dwi", "b.DWI", "c.Dwi"})) << mode;
    }
    for (const char* typed : {"new-chart", "new-chart.DWI", "my.chart.dwi"}) {
        QFileDialog dialog;
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        app::SetUpFileDialog(dialog, "DWI Files (*.dwi)", "dwi");
        dialog.setDirectory(folder);
        dialog.selectFile(QString::fromLatin1(typed));
        QSignalSpy chosen(&dialog, &QFileDialog::fileSelected);
        dialog.show();
        QMetaObject::invokeMethod(&dialog, "accept"); // what the Save button does
        ASSERT_EQ(chosen.count(), 1) << typed;
        EXPECT_EQ(chosen.at(0).at(0).toString(),
                  folder + "/" + typed + (std::string(typed) == "new-chart" ? ".dwi" : ""));
    }
}

TEST(DwiTools, InfoReportsEveryChartWithItsTimingAndCopyKeepsTheBytes) {
    const std::string dir = TempFolder("dwitools");
    const std::string file = "#TITLE:Song;\n#ARTIST:Me;\n#BPM:120;\n#GAP:500;\n"
                             "#CHANGEBPM:16=240;\n#FREEZE:32=1000;\n"
                             "#SINGLE:BASIC:3:8!8000800<248>;\n#DOUBLE:SMANIAC:12:8:0002;\n";
    const std::string in = WriteFile(dir, "in.dwi", file);

    std::FILE* out = std::fopen((dir + "/out.json").c_str(), "w");
    std::FILE* err = std::fopen((dir + "/err.txt").c_str(), "w");
    EXPECT_FALSE(app::PrintDwiInfo({in, dir + "/missing.dwi"}, out, err));
    EXPECT_TRUE(app::CopyDwi(in, dir + "/copy.dwi", err));
    std::fclose(out);
    std::fclose(err);
    EXPECT_EQ(FileText(dir + "/err.txt"),
              "Could not read \"" + dir + "/missing.dwi\":\r\nNo such file or directory\n");
    // Worked by hand. The change and the stop stand at beats 16/4 and 32/4.
    // SINGLE: a hold from beat 0 (the 8 at slot 4 ends it), a three-arrow
    // jump at slot 7: beat 3.5, 0.5 s + 3.5 beats of 0.5 s. DOUBLE: up on
    // the first pad at slot 0, down on the second at slot 3. Each has two
    // steps in the 4 beats (2 s) from beat 0: 1 step/s.
    nlohmann::json expected = nlohmann::json::parse(R"({
        "file": "", "title": "Song", "artist": "Me", "bpm": 120, "gap_ms": 500,
        "changes": [[4, 240]], "stops": [[8, 1000]],
        "charts": [{"style": "SINGLE", "difficulty": "BASIC", "rating": 3, "taps": 3,
                    "holds": 1, "jumps": 1, "hands": 1, "last_beat": 3.5,
                    "last_note_seconds": 2.25, "peak_nps": 1.0},
                   {"style": "DOUBLE", "difficulty": "SMANIAC", "rating": 12, "taps": 2,
                    "holds": 0, "jumps": 0, "hands": 0, "last_beat": 1.5,
                    "last_note_seconds": 1.25, "peak_nps": 1.0}]})");
    expected["file"] = in;
    EXPECT_EQ(nlohmann::json::parse(FileText(dir + "/out.json")), expected);
    EXPECT_EQ(FileText(dir + "/copy.dwi"), file);
}

TEST(DwiTools, InfoCountsNoteKindsAndEachChartsOwnTiming) {
    using chart::Note, chart::NoteKind;
    chart::Song song;
    song.format = chart::SongFormat::Ssc;
    song.bpm = 128.3f;
    song.gapSeconds = -0.012f;
    song.delays = {{4.0, 250.0}};
    song.warps = {{8.0, 2.0}};
    chart::SongChart hard;
    for (const Note& note :
         {Note{0, 0}, Note{0, 1, 48, NoteKind::Roll}, Note{48, 2, 0, NoteKind::Mine},
          Note{96, 0, 0, NoteKind::Fake}, Note{96, 3, 0, NoteKind::Lift}, Note{144, 2, 24}}) {
        hard.notes.AppendSorted(note);
    }
    chart::SongChart own;
    own.notes.AppendSorted({48, 0});
    own.timing = chart::ChartTiming{60.0f, 0.0f, {}, {}, {}, {}};
    chart::SongChart pump;
    pump.stepsType = "pump-single";
    pump.notes = chart::NoteData(5);
    pump.notes.AppendSorted({0, 4});
    song.charts = {hard, own};
    song.otherCharts = {pump};

    const std::string dir = TempFolder("info");
    std::FILE* out = std::fopen((dir + "/out.json").c_str(), "w");
    std::FILE* err = std::fopen((dir + "/err.txt").c_str(), "w");
    EXPECT_FALSE(app::PrintInfo({"a.ssc", "b.sm"}, out, err, [&song](const std::string& path) {
        return path == "a.ssc" ? dwi::SongFile{song, "", {}}
                               : dwi::SongFile{{}, "Could not read " + path, {}};
    }));
    std::fclose(out), std::fclose(err);
    EXPECT_EQ(FileText(dir + "/err.txt"), "Could not read b.sm\n");
    const auto info = nlohmann::ordered_json::parse(FileText(dir + "/out.json"));
    std::string keys;
    for (const auto& item : info.items()) {
        keys += item.key() + " ";
    }
    EXPECT_EQ(keys, "file title artist bpm gap_ms changes stops delays warps charts ");
    // Worked by hand. Row 0: a tap and a roll start, a jump; row 96: the
    // fake is no step, so the lift stands alone. The hold ends at row 168,
    // beat 3.5. The second chart's tap at beat 1 sounds at 1 s of its 60 BPM.
    const auto expected = nlohmann::ordered_json::parse(R"({
        "bpm": 128.3, "gap_ms": -12, "delays": [[4, 0.25]], "warps": [[8, 2]], "charts": [
        {"style": "SINGLE", "taps": 1, "holds": 1, "rolls": 1, "mines": 1, "lifts": 1,
         "fakes": 1, "jumps": 1, "last_beat": 3.5},
        {"taps": 1, "last_note_seconds": 1.0, "bpm": 60, "gap_ms": 0, "changes": [],
         "stops": [], "delays": [], "warps": []},
        {"style": "pump-single", "taps": 1, "holds": 0}]})")
                              .flatten();
    ASSERT_EQ(info["charts"].size(), 3U);
    const auto flat = info.flatten();
    for (const auto& item : expected.items()) {
        EXPECT_EQ(flat.value(item.key(), nlohmann::ordered_json("absent")), item.value())
            << item.key();
    }
}

} // namespace

// Fixed fault: a file with no steady beat and no map read the best of an
// empty candidate list.
TEST(DwiTools, FindTimingSaysAFileHasNoBeatAndGoesOn) {
    const std::string dir = TempFolder("findtiming");
    // 1 s of silence, 8 kHz mono 16-bit.
    using namespace std::string_literals;
    std::string wav = "RIFF....WAVEfmt ....\1\0\1\0........\2\0\x10\0data...."s;
    const auto put = [&wav](std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i) {
            wav[at + i] = static_cast<char>(value >> (8 * i));
        }
    };
    put(4, 36 + 16000), put(16, 16), put(24, 8000), put(28, 16000), put(40, 16000);
    wav.resize(44 + 16000, '\0');
    const std::string silent = WriteFile(dir, "silent.wav", wav);
    std::FILE* out = std::fopen((dir + "/out.json").c_str(), "w");
    std::FILE* err = std::fopen((dir + "/err.txt").c_str(), "w");
    EXPECT_FALSE(app::PrintTimingMaps({silent}, out, err, 1));
    std::fclose(out);
    std::fclose(err);
    EXPECT_EQ(FileText(dir + "/out.json") + "|" + FileText(dir + "/err.txt"),
              "|" + silent + ": No steady beat found\n");
}

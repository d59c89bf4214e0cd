// Opening songs, saving, importing and opening charts through the window,
// and the settings and recent files that persist: the window's dialogs,
// messages and what it shows. The file format's own rules are the dwi
// layer's tests.
#include "WindowFixture.h"
#include "app/RecentSongsMenu.h"
#include "dwi/DwiSong.h"

#include <QDir>
#include <QTimer>

namespace {

using Choice = fakes::Dialogs::SaveChoice;

// A failed open says why and leaves everything as it was. A song opened
// brings the estimate, speed 100 % and tap mode (the menu keeps its marks).
// Fixed fault: without a sound card the song played silently unannounced;
// the first song says so under the instructions, later ones do not.
TEST_F(Window, OpeningASongEstimatesAndPreparesForTapping) {
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
    EXPECT_EQ(Texts({1005, 1008}), "000.0|Open a music file from the main menu.");

    player.openError.reset();
    player.silent = true;
    window->OnCommand(32780);
    const QString opened = "Use the controls to adjust the BPM/Gap or start tapping keys to "
                           "manually calculate the BPM/Gap.";
    for (const QString& told : {opened + "\nNo audio device: the song plays silently.", opened}) {
        LoadSong(150.0f);
        EXPECT_EQ(Texts({1005, 1010, 1012, 1008}), "150.0|150.0|0.00|" + told);
        EXPECT_EQ(player.rates.back(), 1.0);
        EXPECT_EQ(window->CurrentMode(), app::CChartEditorDlg::kTapTempo);
        EXPECT_TRUE(Action(32780)->isChecked());
    }
}

// The first save asks for a name, later ones do not; Save As always asks.
// The chart covers the 1 s song (two beats at 120 BPM) and two half-beats
// more.
TEST_F(Window, SaveAsksOnceThenWritesTheChartCoveringTheSong) {
    const std::string path = TempFolder("window_save") + "/chart.dwi";
    LoadSong(120.0f);
    player.duration = 1.0;
    Control<QLineEdit>(1023)->setText(QString::fromUtf8("Caf\xC3\xA9"));
    Control<QComboBox>(1025)->setCurrentIndex(5);
    Control<QComboBox>(1026)->setCurrentIndex(8);
    window->SetSteps("8");
    dialogs.savePaths = {path, std::nullopt};
    for (const int command : {32772, 32772, 32773}) {
        Action(command)->trigger();
        window->SetSteps("82");
    }
    EXPECT_EQ(dialogs.saveSuffixes, (std::vector<std::string>{"dwi", "dwi"}));
    EXPECT_EQ(dialogs.filters.back(), "DWI Files (*.dwi)");
    EXPECT_EQ(window->DwiFileName(), path);
    EXPECT_EQ(window->windowTitle(), "Beatwright");
    EXPECT_EQ(FileText(path),
              "#STATUS:NEW\r\n#TITLE:Caf\xC3\xA9;\r\n#ARTIST:;\r\n#BPM:120.000000;\r\n"
              "#GAP:0.000;\r\n\r\n#SAMPLESTART:0.00000;\r\n#SAMPLELENGTH:5.00000;\r\n"
              "#SINGLE:MANIAC:9:820000;\r\n");
}

// What each refused or failed command tells the user; the document and its
// file name stay as they were. With unsaved work, Cancel in the question
// before another song or chart keeps it without a file dialog.
TEST_F(Window, RefusedAndFailedCommandsSayWhy) {
    const struct {
        bool withSong;
        int command;
        std::optional<std::string> path;
        std::string message;
    } cases[] = {
        {false, 32772, std::nullopt, "You must first load a music file."},
        {false, 32776, std::nullopt, "First load your song file, then import the DWI data."},
        {false, 32800, std::nullopt, "Open a music file first."},
        {false, 32791, std::nullopt, "The click track cannot be played."},
        {true, 32776, "/tmp/chart.txt", "File does not have a DWI extension."},
        {true, 32776, "/tmp/chart.dwi.bak", "File does not have a DWI extension."},
        {true, 32776, "/tmp/charts.dwi/chart", "File does not have a DWI extension."},
        {true, 32776, "/no/such/chart.DWI",
         "Could not read \"/no/such/chart.DWI\":\r\nNo such file or directory"},
        {true, 32773, "/no/such/folder/chart.dwi",
         "The chart could not be saved to \"/no/such/folder/chart.dwi\":\r\nNo such file or "
         "directory\r\nThe file on disk was not changed."},
        {true, 32790, "/no/such/chart.dwi",
         "Could not read \"/no/such/chart.dwi\":\r\nNo such file or directory"},
        {true, 32771, "/no/matter.mp3", ""},
        {true, 32790, "/no/matter.dwi", ""},
        {true, 32776, "/no/matter.dwi", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.command) + " " + c.path.value_or("(no dialog)"));
        dialogs.messages.clear();
        dialogs.openPaths.clear(); // the paths a refusal left unasked
        if (c.withSong && player.FileName().empty()) {
            LoadSong();
            window->SetSteps("48");
            // Discard before the imports and Open Chart, Cancel in the last rows.
            dialogs.saveChoices = {5, Choice::kDiscard};
            dialogs.saveChoices.insert(dialogs.saveChoices.end(), 3, Choice::kCancel);
        }
        dialogs.openPaths = {c.path};
        dialogs.savePaths = {c.path};
        Action(c.command)->trigger();
        EXPECT_EQ(dialogs.messages,
                  c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
        EXPECT_EQ(window->DwiFileName() + window->Steps(), c.withSong ? "48" : "");
    }
    // One dialog to open the song, then the imports', Save As' and Open Chart's.
    EXPECT_EQ(dialogs.filters.size(), 7u) << "no file dialog after Cancel";
}

// Import asks which chart to show and brings every chart in, showing values
// outside the lists as they are. Saved without an edit, the file is written
// back byte for byte; an edit of the shown chart goes to its record.
TEST_F(Window, ImportThenSaveKeepsEveryChartTheTimingAndUnknownRecords) {
    const std::string original =
        "#TITLE:Pack Song;\r\n#ARTIST:Someone;\r\n#GENRE:Trance;\r\n#BPM:150.000;\r\n"
        "#GAP:-120;\r\n#CHANGEBPM:64=300;\r\n#FREEZE:32.5=250;\r\n#SAMPLESTART:30.5;\r\n"
        "#SAMPLELENGTH:12;\r\n#SINGLE:BASIC:3:\r\n08080808\r\n;\r\n"
        "#SINGLE:SMANIAC:12:\r\n(2468)8!80008<248>\r\n;\r\n#DOUBLE:HEAVY:9:\r\n8:\r\n2;\r\n";
    const std::string path = WriteFile(TempFolder("window_keep"), "pack.dwi", original);
    LoadSong(120.0f);
    Import(path, {false, true}); // the second single chart
    EXPECT_EQ(dialogs.questions.size(), 2u);
    ASSERT_EQ(window->Song().charts.size(), 3u);
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(1));
    EXPECT_EQ(Texts({1023, 1010, 1039, 1041, 1012, 1025, 1026}),
              "Pack Song|150.0|30.50|42.50|-0.12|SMANIAC|12");
    EXPECT_EQ(window->CurrentMode(), app::CChartEditorDlg::kStepInput);
    EXPECT_EQ(window->DwiFileName(), path);
    Action(32772)->trigger();
    EXPECT_EQ(FileText(path), original);

    window->ToggleNote(240, 0);
    Action(32772)->trigger();
    const chart::Song saved = dwi::ReadSong(FileText(path));
    ASSERT_EQ(saved.charts.size(), 3u);
    EXPECT_EQ(saved.charts[1].notes.Size(), dwi::ReadSong(original).charts[1].notes.Size() + 1);
    EXPECT_NE(saved.charts[1].notes.Find(240, 0), nullptr);
}

// Open Chart finds the song the chart names (as Windows wrote the path),
// loads every chart and the timing, and saves it back unchanged. Without a
// song beside it, the user is asked for one; Cancel changes nothing.
TEST_F(Window, OpenChartFindsItsSongAndLoadsEverythingThenSavesItBackUnchanged) {
    const std::string folder = TempFolder("window_open_chart");
    WriteFile(folder, "x.mp3", "song");
    const std::string original =
        "#TITLE:Open Me;\r\n#BPM:140.000;\r\n#GAP:250;\r\n#FILE:.\\Songs\\X.MP3;\r\n"
        "#DOUBLE:HEAVY:9:8:2;\r\n#SINGLE:MANIAC:7:\r\n0804(22)0;\r\n";
    const std::string path = WriteFile(folder, "chart.dwi", original);
    estimator.result = {128.0f, {}};
    dialogs.openPaths.push_back(path);
    Action(32790)->trigger();
    EXPECT_EQ(player.FileName(), folder + "/x.mp3");
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(1)) << "the single";
    EXPECT_EQ(window->Steps(), "080420"); // the 16th between slots 4 and 5 has no slot
    EXPECT_TRUE(dialogs.messages.empty()) << "16ths are kept and shown: nothing to warn about";
    EXPECT_EQ(Texts({1010, 1012, 1023, 1025}), "140.0|0.25|Open Me|MANIAC");
    Action(32772)->trigger();
    EXPECT_EQ(FileText(path), original);

    const std::string alone = WriteFile(TempFolder("window_open_alone"), "a.dwi", "#BPM:90;\r\n");
    dialogs.openPaths = {std::nullopt};
    EXPECT_FALSE(window->OpenChartFile(alone));
    EXPECT_EQ(window->DwiFileName(), path);
}

// A large hostile file (empty records, 16 MiB) is read on a worker while
// the window's timers keep running, and the window takes what was read.
// Made on the window thread, the import would let no tick through (the
// scripted dialogs answer without an event loop of their own).
TEST_F(Window, ImportOfAHugeHostileFileKeepsTheWindowThreadRunning) {
    std::string text = "#BPM:140;\n#SINGLE:BASIC:3:8;\n";
    for (int i = 0; i < (1 << 23); ++i) {
        text += "\n#";
    }
    const std::string path = WriteFile(TempFolder("huge_import"), "hostile.dwi", text);
    LoadSong();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    Import(path);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(QString::fromStdString(window->Steps()) + "|" + Text(1010), "8|140.0");
}

// Speed, metronome, snap and the recent files come back in the next run.
// Recent Files lists songs and charts, newest first; a chart reopens with
// its song; an entry that no longer opens leaves the list. At most eight
// are kept; values a hand-edited file holds out of range fall back.
TEST_F(Window, SettingsAndRecentFilesSurviveARestart) {
    UseSettings();
    const std::string folder = TempFolder("window_recent");
    const QString song = QString::fromStdString(WriteFile(folder, "x.ogg", ""));
    const QString chart = QString::fromStdString(
        WriteFile(folder, "chart.dwi", "#BPM:140;\n#SINGLE:BASIC:3:0808;\n"));
    LoadSong(120.0f, "/songs/first.mp3");
    ASSERT_TRUE(window->OpenChartFile(chart.toStdString()));
    Click(1017); // 0.5X
    window->OnCommand(app::kCmdToggleMetronome);
    window->SetSnap(edit::Snap::k16th);
    window->close();
    EXPECT_TRUE(settings->FilePath().startsWith(configDir->path() + "/beatwright/"));

    Start();
    EXPECT_EQ(Text(1021) + "|" + QString::number(window->SongSpeed()), "50|50");
    EXPECT_FALSE(window->MetronomeOn() || Action(app::kCmdToggleMetronome)->isChecked());
    EXPECT_EQ(window->Editor().CurrentSnap(), edit::Snap::k16th);
    auto* recent = window->findChild<app::RecentSongsMenu*>();
    const auto entries = [recent] {
        QStringList paths;
        for (QAction* action : recent->actions()) {
            paths << action->data().toString();
        }
        return paths.join('|');
    };
    EXPECT_EQ(entries(), chart + "|" + song + "|/songs/first.mp3");
    recent->actions()[2]->trigger();
    EXPECT_EQ(entries(), "/songs/first.mp3|" + chart + "|" + song);
    recent->actions()[1]->trigger();
    EXPECT_EQ(window->DwiFileName() + "|" + player.opened.back() + "|" + window->Steps(),
              chart.toStdString() + "|" + song.toStdString() + "|0808");
    player.openError = "gone";
    recent->actions()[2]->trigger();
    EXPECT_EQ(entries(), chart + "|" + song);

    for (int i = 0; i < 10; ++i) {
        settings->AddRecentSong(QStringLiteral("/s/%1.mp3").arg(i));
    }
    settings->AddRecentSong("/s/5.mp3");
    EXPECT_EQ(settings->RecentSongs().join(' '),
              "/s/5.mp3 /s/9.mp3 /s/8.mp3 /s/7.mp3 /s/6.mp3 /s/4.mp3 /s/3.mp3 /s/2.mp3");
    settings->SetLastFolder("open-dwi", "/charts");
    EXPECT_EQ(settings->LastFolder("open-dwi") + "|" + settings->LastFolder("save-dwi"),
              "/charts|");
    settings->SetValue("player/songSpeedPercent", 5000);
    settings->SetValue("timing/inputOffsetMs", "soon");
    EXPECT_EQ(settings->SongSpeedPercent(), 100);
    EXPECT_EQ(settings->InputOffsetMs(), 0.0);
}

} // namespace

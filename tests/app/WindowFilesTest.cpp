// Saving, importing and opening charts through the window: its dialogs,
// messages and what it shows. The file format's own rules are the dwi
// layer's tests.
#include "WindowFixture.h"
#include "app/SpinButton.h"
#include "dwi/DwiSong.h"

namespace {

using app::CChartEditorDlg;

TEST_F(Window, SaveAsksOnceThenWritesAndImportReadsItBack) {
    const std::string path = TempFolder("window_save") + "/chart.dwi";
    LoadSong(120.0f);
    player.duration = 1.0;
    Control<QLineEdit>(1023)->setText(QString::fromUtf8("Caf\xC3\xA9"));
    Control<QComboBox>(1025)->setCurrentIndex(5);
    Control<QComboBox>(1026)->setCurrentIndex(8);
    window->SetSteps("8");
    dialogs.savePaths.push_back(path);
    window->OnCommand(32772);
    EXPECT_EQ(dialogs.saveSuffixes, std::vector<std::string>{"dwi"});
    EXPECT_EQ(dialogs.openFilters.back(), "DWI Files (*.dwi)");
    EXPECT_EQ(window->DwiFileName(), path);
    EXPECT_EQ(window->windowTitle(), "Beatwright");
    window->SetSteps("82");
    EXPECT_EQ(window->windowTitle(), "chart.dwi* - Beatwright");
    window->OnCommand(32772); // no dialog the second time
    EXPECT_EQ(dialogs.saveSuffixes.size(), 1u);
    // The chart covers the 1 s song (two beats at 120 BPM) and two
    // half-beats more.
    EXPECT_EQ(FileText(path),
              "#STATUS:NEW\r\n#TITLE:Caf\xC3\xA9;\r\n#ARTIST:;\r\n#BPM:120.000000;\r\n"
              "#GAP:0.000;\r\n\r\n#SAMPLESTART:0.00000;\r\n#SAMPLELENGTH:5.00000;\r\n"
              "#SINGLE:MANIAC:9:820000;\r\n");

    // Change everything, then import the file back: the controls show it.
    window->SetSteps("4");
    Control<QLineEdit>(1023)->clear();
    Control<QComboBox>(1025)->setCurrentIndex(0);
    Control<QComboBox>(1026)->setCurrentIndex(0);
    dialogs.saveChoices = {fakes::Dialogs::SaveChoice::kDiscard};
    Import(path);
    EXPECT_EQ(window->Steps(), "820000");
    EXPECT_EQ(Texts({1023, 1025, 1026, 1010}), QString::fromUtf8("Caf\xC3\xA9|MANIAC|9|120.0"));
    EXPECT_EQ(window->CurrentMode(), CChartEditorDlg::kStepInput);
    EXPECT_TRUE(Action(32780)->isChecked());
    EXPECT_EQ(window->DwiFileName(), path);
}

// What each refused or failed file command tells the user; the document
// and its file name stay as they were.
TEST_F(Window, RefusedAndFailedFileCommandsSayWhy) {
    const struct {
        bool withSong;
        int command;
        std::optional<std::string> path;
        std::string message;
    } cases[] = {
        {false, 32772, std::nullopt, "You must first load a music file."},
        {false, 32776, std::nullopt, "First load your song file, then import the DWI data."},
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.command) + " " + c.path.value_or("(no dialog)"));
        dialogs.messages.clear();
        if (c.withSong && player.FileName().empty()) {
            LoadSong();
            window->SetSteps("48");
        }
        dialogs.openPaths.push_back(c.path);
        dialogs.savePaths.push_back(c.path);
        window->OnCommand(c.command);
        dialogs.openPaths.clear();
        dialogs.savePaths.clear();
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{c.message});
        EXPECT_TRUE(window->DwiFileName().empty());
        EXPECT_EQ(window->Steps(), c.withSong ? "48" : "");
    }
}

// The window's side of the range actions: the list's item chooses the
// action, the range follows a shift, questions and messages are the user's.
TEST_F(Window, RangeActionsThroughTheWindow) {
    Click(1030);
    EXPECT_EQ(dialogs.messages.back(),
              "Range start is greater than range end.\r\nUse the left and right mouse buttons "
              "to click on the\r\nstarting end ending beats to select a range.");
    window->SetSteps("48260");
    window->SetRangeStart(1);
    window->SetRangeEnd(2);
    Click(1030);
    EXPECT_EQ(window->Steps(), "40820");
    EXPECT_EQ(Texts({1027, 1028}), "2|3");
    Control<QComboBox>(1029)->setCurrentIndex(1);
    Click(1030);
    EXPECT_EQ(window->Steps(), "48200");
    EXPECT_EQ(Text(1027), "1");

    Control<QComboBox>(1029)->setCurrentIndex(2);
    dialogs.answers = {false};
    Click(1030);
    EXPECT_EQ(dialogs.questions.back(),
              "Confirm Erase: Are you sure you want to erase the selected range of beats?");
    EXPECT_EQ(window->Steps(), "48200");
    Click(1030);
    EXPECT_EQ(window->Steps(), "40000");

    // Text typed into the list that names no action selects nothing.
    Control<QComboBox>(1029)->setEditText("Shuffle");
    const auto asked = dialogs.questions.size();
    Click(1030);
    EXPECT_EQ(dialogs.questions.size(), asked);

    Spinning(1032, 1)();
    Spinning(1034, 2)();
    EXPECT_EQ(Texts({1031, 1033}), "2|3");
}

// Import asks which chart to show and brings every chart in. Saved without
// an edit, the file is written back byte for byte; an edit of the shown
// chart rewrites its record alone.
TEST_F(Window, ImportThenSaveKeepsEveryChartTheTimingAndUnknownRecords) {
    const std::string original =
        "#TITLE:Pack Song;\r\n#ARTIST:Someone;\r\n#GENRE:Trance;\r\n#BPM:150.000;\r\n"
        "#GAP:-120;\r\n#CHANGEBPM:64=300;\r\n#FREEZE:32.5=250;\r\n#SAMPLESTART:30.5;\r\n"
        "#SAMPLELENGTH:12;\r\n#SINGLE:BASIC:3:\r\n08080808\r\n;\r\n"
        "#SINGLE:SMANIAC:12:\r\n(2468)8!80008<248>\r\n;\r\n#DOUBLE:HEAVY:9:\r\n8:\r\n2;\r\n";
    const std::string path = WriteFile(TempFolder("window_keep"), "pack.dwi", original);
    LoadSong(120.0f);
    Import(path, {false, true}); // the second single chart
    ASSERT_EQ(window->Song().charts.size(), 3u);
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(1));
    EXPECT_EQ(dialogs.questions.size(), 2u);
    // A value outside the lists is shown, not replaced.
    EXPECT_EQ(Texts({1039, 1041, 1012, 1025, 1026}), "30.50|42.50|-0.12|SMANIAC|12");
    window->OnCommand(32772);
    EXPECT_EQ(FileText(path), original);

    // The edit goes to the chart shown; the file's own charts and records
    // stay as the edit layer's tests check.
    window->ToggleNote(240, 0);
    window->OnCommand(32772);
    const chart::Song saved = dwi::ReadSong(FileText(path));
    ASSERT_EQ(saved.charts.size(), 3u);
    EXPECT_EQ(saved.charts[1].notes.Size(), dwi::ReadSong(original).charts[1].notes.Size() + 1);
    EXPECT_NE(saved.charts[1].notes.Find(240, 0), nullptr);
}

// Open Chart finds the song the chart names (as Windows wrote the path),
// loads every chart and the timing, and saves it back unchanged.
TEST_F(Window, OpenChartFindsItsSongAndLoadsEverythingThenSavesItBackUnchanged) {
    const std::string folder = TempFolder("window_open_chart");
    WriteFile(folder, "x.mp3", "song");
    const std::string original =
        "#TITLE:Open Me;\r\n#BPM:140.000;\r\n#GAP:250;\r\n#FILE:.\\Songs\\X.MP3;\r\n"
        "#DOUBLE:HEAVY:9:8:2;\r\n#SINGLE:MANIAC:7:\r\n0804(22)0;\r\n";
    const std::string path = WriteFile(folder, "chart.dwi", original);
    estimator.result = {128.0f, {}};
    dialogs.openPaths.push_back(path);
    window->OnCommand(32790);
    EXPECT_EQ(player.FileName(), folder + "/x.mp3");
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(1)) << "the single";
    EXPECT_EQ(window->Steps(), "080420"); // the 16th between slots 4 and 5 has no slot
    EXPECT_TRUE(dialogs.messages.empty()) << "16ths are kept and shown: nothing to warn about";
    EXPECT_EQ(Texts({1010, 1012, 1023, 1025}), "140.0|0.25|Open Me|MANIAC");
    EXPECT_EQ(window->DwiFileName(), path);
    window->OnCommand(32772);
    EXPECT_EQ(FileText(path), original);

}

} // namespace

#include "WindowFixture.h"
#include "app/ChartEditorDlg.h"
#include "app/SpinButton.h"

#include <QComboBox>
#include <QLineEdit>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using app::CChartEditorDlg;

TEST_F(Window, SaveAsksOnceThenWritesAndImportReadsItBack) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "window_save";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string path = (folder / "chart.dwi").string();

    window->OnCommand(32772);
    EXPECT_EQ(dialogs.messages.back(), "You must first load a music file.");
    window->OnCommand(32776);
    EXPECT_EQ(dialogs.messages.back(), "First load your song file, then import the DWI data.");

    LoadSong(120.0f);
    player.duration = 1.0;
    Control<QLineEdit>(1023)->setText(QString::fromUtf8("Caf\xC3\xA9"));
    Control<QComboBox>(1025)->setCurrentIndex(5);
    Control<QComboBox>(1026)->setCurrentIndex(8);
    window->SetSteps("8");
    dialogs.savePaths.push_back(path);
    window->OnCommand(32772);
    EXPECT_EQ(dialogs.saveSuffixes.back(), "dwi");
    EXPECT_EQ(window->DwiFileName(), path);
    window->SetSteps("82");
    window->OnCommand(32772); // no dialog the second time
    EXPECT_EQ(dialogs.saveSuffixes.size(), 1u);
    EXPECT_EQ(FileText(path),
              "#STATUS:NEW\r\n#TITLE:Caf\xC3\xA9;\r\n#ARTIST:;\r\n#BPM:120.000000;\r\n"
              "#GAP:0.000;\r\n\r\n#SAMPLESTART:0.00000;\r\n#SAMPLELENGTH:5.00000;\r\n"
              "#SINGLE:MANIAC:9:820000;\r\n");

    // Change everything, then import the file back.
    window->SetSteps("4");
    Control<QLineEdit>(1023)->clear();
    Control<QComboBox>(1025)->setCurrentIndex(0);
    Control<QComboBox>(1026)->setCurrentIndex(0);
    dialogs.openPaths.push_back(path);
    window->OnCommand(32776);
    EXPECT_EQ(window->Steps(), "820000");
    EXPECT_EQ(Control<QLineEdit>(1023)->text(), QString::fromUtf8("Caf\xC3\xA9"));
    EXPECT_EQ(Control<QComboBox>(1025)->currentText(), "MANIAC");
    EXPECT_EQ(Control<QComboBox>(1026)->currentText(), "9");
    EXPECT_EQ(window->CurrentMode(), CChartEditorDlg::kStepInput);
    EXPECT_TRUE(Action(32780)->isChecked());
    EXPECT_EQ(Text(1010), "120.0");
    EXPECT_EQ(window->DwiFileName(), path);
}

TEST_F(Window, ImportRefusesOtherExtensionsAndUnreadableFiles) {
    LoadSong();
    window->SetSteps("48");
    dialogs.openPaths.push_back("/tmp/chart.txt");
    window->OnCommand(32776);
    EXPECT_EQ(dialogs.messages.back(), "File does not have a DWI extension.");
    dialogs.openPaths.push_back("/no/such/chart.DWI");
    window->OnCommand(32776);
    EXPECT_NE(dialogs.messages.back().find("chart.DWI"), std::string::npos);
    EXPECT_EQ(window->Steps(), "48");
    EXPECT_TRUE(window->DwiFileName().empty());
}

TEST_F(Window, FailedSaveKeepsTheOldNameAndSaysWhy) {
    LoadSong();
    dialogs.savePaths.push_back("/no/such/folder/chart.dwi");
    window->OnCommand(32773);
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_NE(dialogs.messages.back().find("/no/such/folder/chart.dwi"), std::string::npos);
    EXPECT_TRUE(window->DwiFileName().empty());
}

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
    EXPECT_EQ(Text(1027), "2");
    EXPECT_EQ(Text(1028), "3");

    Control<QComboBox>(1029)->setCurrentIndex(2);
    dialogs.answers = {false};
    Click(1030);
    EXPECT_EQ(dialogs.questions.back(),
              "Confirm Erase: Are you sure you want to erase the selected range of beats?");
    EXPECT_EQ(window->Steps(), "40820");
    Click(1030);
    EXPECT_EQ(window->Steps(), "40000");

    // Text typed into the list that names no action selects nothing.
    Control<QComboBox>(1029)->setEditText("Shuffle");
    const auto asked = dialogs.questions.size();
    Click(1030);
    EXPECT_EQ(dialogs.questions.size(), asked);

    auto* jumps = Control<app::CSpinButton>(1032);
    jumps->Step(1);
    EXPECT_EQ(Text(1031), "2");
}

TEST_F(Window, ImportThenSaveKeepsEveryChartTheTimingAndUnknownRecords) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "window_keep";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string path = (folder / "pack.dwi").string();
    const std::string original =
        "#TITLE:Pack Song;\r\n#ARTIST:Someone;\r\n#GENRE:Trance;\r\n#BPM:150.000;\r\n"
        "#GAP:-120;\r\n#CHANGEBPM:64=300;\r\n#FREEZE:32.5=250;\r\n#SAMPLESTART:30.5;\r\n"
        "#SAMPLELENGTH:12;\r\n#SINGLE:BASIC:3:\r\n08080808\r\n;\r\n"
        "#SINGLE:SMANIAC:12:\r\n(2468)8!80008<248>\r\n;\r\n#DOUBLE:HEAVY:9:\r\n8:\r\n2;\r\n";
    std::ofstream(path, std::ios::binary) << original;

    LoadSong(120.0f);
    dialogs.answers = {false, true}; // the second single chart
    dialogs.openPaths.push_back(path);
    window->OnCommand(32776);
    EXPECT_EQ(Text(1039), "30.50");
    window->OnCommand(32772); // save, no edit
    EXPECT_EQ(FileText(path), original);

    // An edit of the shown chart rewrites that record alone.
    chart::StepChart steps = window->Steps();
    steps[0] = '0';
    window->SetSteps(steps);
    window->OnCommand(32772);
    const std::string edited = FileText(path);
    EXPECT_NE(edited, original);
    for (const char* kept :
         {"#GENRE:Trance;\r\n", "#CHANGEBPM:64=300;\r\n", "#FREEZE:32.5=250;\r\n",
          "#SAMPLESTART:30.5;\r\n", "#SINGLE:BASIC:3:\r\n08080808\r\n;\r\n",
          "#DOUBLE:HEAVY:9:\r\n8:\r\n2;\r\n", "#SINGLE:SMANIAC:12:\r\n"}) {
        EXPECT_NE(edited.find(kept), std::string::npos) << kept;
    }
}

TEST_F(Window, OpenChartFindsItsSongAndLoadsEverythingThenSavesItBackUnchanged) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "window_open_chart";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "x.mp3") << "song";
    const std::string path = (folder / "chart.dwi").string();
    const std::string original =
        "#TITLE:Open Me;\r\n#BPM:140.000;\r\n#GAP:250;\r\n#FILE:.\\Songs\\X.MP3;\r\n"
        "#DOUBLE:HEAVY:9:8:2;\r\n#SINGLE:MANIAC:7:\r\n0804(22)0;\r\n";
    std::ofstream(path, std::ios::binary) << original;
    estimator.result = {128.0f, {}};
    player.duration = 10.0;
    ASSERT_TRUE(window->OpenChartFile(path));
    EXPECT_EQ(player.FileName(), (folder / "x.mp3").string());
    EXPECT_EQ(window->Steps(), "080420"); // the 16th between slots 4 and 5 has no slot
    // The 16ths are kept and shown: nothing to warn about.
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(Text(1010), "140.0");
    EXPECT_EQ(Text(1012), "0.25");
    EXPECT_EQ(Text(1023), "Open Me");
    EXPECT_EQ(Control<QComboBox>(1025)->currentText(), "MANIAC");
    EXPECT_EQ(window->DwiFileName(), path);
    window->OnCommand(32772);
    EXPECT_EQ(FileText(path), original);

    // A chart that cannot be read changes nothing and says why.
    EXPECT_FALSE(window->OpenChartFile((folder / "missing.dwi").string()));
    EXPECT_NE(dialogs.messages.back().find("missing.dwi"), std::string::npos);
    EXPECT_EQ(window->DwiFileName(), path);
}

} // namespace

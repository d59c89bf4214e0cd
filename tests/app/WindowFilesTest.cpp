// Opening songs, saving, importing and opening charts through the window,
// the settings and recent files that persist, and the copies of unsaved
// work set aside for a crash: the window's dialogs, messages and what it
// shows. The file format's own rules are the dwi layer's tests.
#include "WindowFixture.h"
#include "app/CrashRecovery.h"
#include "app/RecentSongsMenu.h"

namespace {

using Choice = fakes::Dialogs::SaveChoice;

// A song opened brings the estimate and tap mode (the menu keeps its
// marks). Fixed fault: without a sound card the song played silently
// unannounced; the first song says so under the instructions, later ones
// do not.
TEST_F(Window, OpeningASongEstimatesAndPreparesForTapping) {
    player.silent = true;
    window->OnCommand(32780);
    const QString opened = "Use the controls to adjust the BPM/Gap or start tapping keys to "
                           "manually calculate the BPM/Gap.";
    for (const QString& told : {opened + "\nNo audio device: the song plays silently.", opened}) {
        LoadSong(150.0f);
        EXPECT_EQ(Texts({1005, 1010, 1012, 1008}), "150.0|150.0|0.00|" + told);
        EXPECT_TRUE(window->CurrentMode() == app::CChartEditorDlg::kTapTempo &&
                    Action(32780)->isChecked());
    }
}

// What each refused or failed command (a menu item, or Do it!) tells the
// user; the document and its file name stay as they were. With unsaved
// work, Cancel in the question before another song or chart keeps it
// without a file dialog.
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
        {false, 1030, std::nullopt, // Do it! with the range as it starts, 1 to 0
         "Range start is greater than range end.\r\nUse the left and right mouse buttons to "
         "click on the\r\nstarting end ending beats to select a range."},
        {true, 32776, "/tmp/chart.txt", "File does not have a DWI extension."},
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
            dialogs.saveChoices = {3, Choice::kDiscard};
            dialogs.saveChoices.insert(dialogs.saveChoices.end(), 3, Choice::kCancel);
        }
        dialogs.openPaths = {c.path};
        dialogs.savePaths = {c.path};
        c.command < 32000 ? Click(c.command) : Action(c.command)->trigger();
        EXPECT_EQ(dialogs.messages,
                  c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
        EXPECT_EQ(window->DwiFileName() + window->Steps(), c.withSong ? "48" : "");
    }
    // One dialog to open the song, then the imports', Save As' and Open Chart's.
    EXPECT_EQ(dialogs.filters.size(), 5u) << "no file dialog after Cancel";
    EXPECT_EQ(dialogs.saveSuffixes, std::vector<std::string>{"dwi"}) << "Save As adds .dwi";
}

// Speed, metronome, snap and the recent files come back in the next run.
// Recent Files lists songs and charts, newest first; a chart reopens with
// its song (the one music file in its folder); an entry that no longer
// opens leaves the list.
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
}

// Copies of unsaved work set aside while the window runs, offered back by
// the next run after a crash.
namespace fs = std::filesystem;

// Process ids no system hands out, so no copy counts as a running program's.
constexpr std::int64_t kCrashedPid = 999999998;
constexpr std::int64_t kNextPid = 999999999;

std::string CopyPath(const std::string& folder, std::int64_t pid, const char* extension) {
    return folder + "/recovery-" + std::to_string(pid) + extension;
}
bool CopyHolds(const std::string& folder, const std::string& record) {
    return FileText(CopyPath(folder, kCrashedPid, ".dwi")).find(record) != std::string::npos;
}

// Each change is copied on a worker; a save removes the copy. The copy a
// crashed run left is offered by the next, which takes it over as its own.
TEST_F(Window, UnsavedWorkIsCopiedAsideAndOfferedAfterACrash) {
    const std::string folder = TempFolder("window_recovery");
    const std::string info = CopyPath(folder, kCrashedPid, ".info");
    std::thread::id writer;
    {
        app::CrashRecovery recovery(*window, edit::RecoveryStore(folder, kCrashedPid),
                                    [&writer] { writer = std::this_thread::get_id(); });
        LoadSong(120.0f);
        window->SetSteps("0408");
        recovery.Check();
        recovery.Wait();
        EXPECT_NE(writer, std::this_thread::get_id());
        EXPECT_TRUE(CopyHolds(folder, "#SINGLE:BASIC:1:0408"));
        dialogs.savePaths.push_back(folder + "/saved.dwi");
        window->OnCommand(app::kCmdSave);
        recovery.Check();
        EXPECT_FALSE(fs::exists(info)) << "saved: the copy goes";
        window->SetSteps("0448");
        recovery.Check();
        recovery.Wait();
    } // the program dies without Finish
    Start();
    app::CrashRecovery next(*window, edit::RecoveryStore(folder, kNextPid));
    dialogs.questions.clear();
    ASSERT_TRUE(next.OfferLeftCopies(dialogs));
    EXPECT_EQ(dialogs.questions,
              std::vector<std::string>{"Beatwright: Beatwright was not closed properly. Restore "
                                       "the unsaved chart saved.dwi for song.mp3?"});
    EXPECT_EQ(window->windowTitle().toStdString() + " " + window->DwiFileName() + " " +
                  window->Steps(),
              "saved.dwi* - Beatwright " + folder + "/saved.dwi 0448");
    EXPECT_FALSE(fs::exists(info)) << "taken over as the new program's own copy";
    next.Wait();
    EXPECT_TRUE(fs::exists(CopyPath(folder, kNextPid, ".info")));
    next.Finish();
    EXPECT_FALSE(fs::exists(CopyPath(folder, kNextPid, ".info")));
}

// Fixed fault: once the write moved to a worker, a failed write was not
// tried again until the document changed once more.
TEST_F(Window, AFailedRecoveryWriteIsTriedAgainWithoutANewChange) {
    const std::string folder = TempFolder("window_recovery_failed") + "/store";
    // A file where the folder should be: no copy can be written there.
    WriteFile(fs::path(folder).parent_path().string(), "store", "in the way");
    app::CrashRecovery recovery(*window, edit::RecoveryStore(folder, kCrashedPid));
    LoadSong(120.0f);
    window->SetSteps("0408");
    recovery.Check();
    recovery.Wait();
    ASSERT_FALSE(fs::is_directory(folder));
    fs::remove(folder);
    recovery.Check();
    recovery.Wait();
    EXPECT_TRUE(CopyHolds(folder, "#SINGLE:BASIC:1:0408"));
    recovery.Finish();
}

} // namespace

// Copies of unsaved work set aside while the window runs, and offered back
// by the next run after a crash.
#include "app/CrashRecovery.h"

#include "WindowFixture.h"

#include <future>

namespace {

namespace fs = std::filesystem;

// Process ids no system hands out, so no copy counts as a running program's.
constexpr std::int64_t kCrashedPid = 999999998;
constexpr std::int64_t kNextPid = 999999999;

std::string CopyPath(const std::string& folder, std::int64_t pid, const char* extension) {
    return folder + "/recovery-" + std::to_string(pid) + extension;
}
bool CopyHolds(const std::string& folder, std::int64_t pid, const std::string& record) {
    return FileText(CopyPath(folder, pid, ".dwi")).find(record) != std::string::npos;
}

TEST_F(Window, UnsavedWorkIsCopiedAsideAndACrashedCopyIsOffered) {
    const std::string folder = TempFolder("window_recovery");
    const std::string info = CopyPath(folder, kCrashedPid, ".info");
    {
        app::CrashRecovery recovery(*window, edit::RecoveryStore(folder, kCrashedPid));
        LoadSong(120.0f);
        recovery.Check();
        EXPECT_FALSE(fs::exists(info)) << "nothing changed since the song opened";
        window->SetSteps("0408");
        recovery.Check();
        recovery.Wait();
        EXPECT_TRUE(CopyHolds(folder, kCrashedPid, "#SINGLE:BASIC:1:0408"));
        dialogs.savePaths.push_back(folder + "/saved.dwi");
        window->OnCommand(app::kCmdSave);
        recovery.Check();
        EXPECT_FALSE(fs::exists(info)) << "saved: the copy goes";
        // Changed again, then the program dies without Finish.
        window->SetSteps("0428");
        recovery.Check();
        recovery.Wait();
        ASSERT_TRUE(fs::exists(info));
    }
    Start();
    app::CrashRecovery next(*window, edit::RecoveryStore(folder, kNextPid));
    dialogs.questions.clear();
    ASSERT_TRUE(next.OfferLeftCopies(dialogs));
    EXPECT_EQ(dialogs.questions,
              std::vector<std::string>{"Beatwright: Beatwright was not closed properly. Restore "
                                       "the unsaved chart saved.dwi for song.mp3?"});
    EXPECT_EQ(window->Steps(), "0428");
    EXPECT_EQ(window->DwiFileName(), folder + "/saved.dwi");
    EXPECT_EQ(window->windowTitle(), "saved.dwi* - Beatwright");
    EXPECT_FALSE(fs::exists(info)) << "taken over as the new program's own copy";
    next.Wait();
    EXPECT_TRUE(fs::exists(CopyPath(folder, kNextPid, ".info")));
    next.Finish();
    EXPECT_FALSE(fs::exists(CopyPath(folder, kNextPid, ".info")));

    // A copy the user declines is deleted, and nothing is opened.
    edit::RecoveryStore crashed(folder, kCrashedPid);
    edit::RecoveryInfo other;
    other.songPath = "/songs/other.ogg";
    ASSERT_FALSE(crashed.Write(other, "#SINGLE:BASIC:1:8;"));
    dialogs.answers = {false};
    EXPECT_FALSE(app::CrashRecovery(*window, edit::RecoveryStore(folder, kNextPid))
                     .OfferLeftCopies(dialogs));
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_FALSE(crashed.HasCopy());
    EXPECT_EQ(player.opened.back(), "/songs/song.mp3");
}

// Holds the recovery's writes in flight on request, and says on which
// thread they ran.
struct HeldWrites {
    std::function<void()> Hook() {
        return [this] {
            writer = std::this_thread::get_id();
            if (hold) {
                entered.set_value();
                released.get_future().wait();
            }
        };
    }
    std::atomic<bool> hold = false;
    std::promise<void> entered, released;
    std::thread::id writer;
};

TEST_F(Window, RecoveryCopiesAreWrittenOffTheWindowThreadAndASaveDropsOneInFlight) {
    const std::string folder = TempFolder("window_recovery_worker");
    HeldWrites writes;
    app::CrashRecovery recovery(*window, edit::RecoveryStore(folder, kCrashedPid), writes.Hook());
    LoadSong(120.0f);
    window->SetSteps("0408");
    recovery.Check();
    recovery.Wait();
    EXPECT_NE(writes.writer, std::this_thread::get_id());
    ASSERT_TRUE(CopyHolds(folder, kCrashedPid, "#SINGLE:BASIC:1:0408"));

    // A newer document is held between its text and its write: the window
    // thread is back while the older copy is still the one on disk.
    writes.hold = true;
    window->SetSteps("0428");
    recovery.Check();
    writes.entered.get_future().wait();
    EXPECT_TRUE(recovery.Writing());
    EXPECT_TRUE(CopyHolds(folder, kCrashedPid, "#SINGLE:BASIC:1:0408"));

    // Saved meanwhile: neither the older copy nor the held one may stay.
    dialogs.savePaths.push_back(folder + "/saved.dwi");
    window->OnCommand(app::kCmdSave);
    ASSERT_FALSE(window->HasUnsavedChanges());
    recovery.Check();
    writes.released.set_value();
    recovery.Wait();
    EXPECT_FALSE(recovery.Writing());
    EXPECT_FALSE(fs::exists(CopyPath(folder, kCrashedPid, ".dwi")));
    EXPECT_FALSE(fs::exists(CopyPath(folder, kCrashedPid, ".info")));

    // The next change is copied again.
    writes.hold = false;
    window->SetSteps("0488");
    recovery.Check();
    recovery.Wait();
    EXPECT_TRUE(CopyHolds(folder, kCrashedPid, "#SINGLE:BASIC:1:0488"));
    recovery.Finish();
    EXPECT_FALSE(fs::exists(CopyPath(folder, kCrashedPid, ".dwi")));
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
    EXPECT_TRUE(CopyHolds(folder, kCrashedPid, "#SINGLE:BASIC:1:0408"));
    recovery.Finish();
}

} // namespace

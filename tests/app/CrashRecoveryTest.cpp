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
bool CopyHolds(const std::string& folder, const std::string& record) {
    return FileText(CopyPath(folder, kCrashedPid, ".dwi")).find(record) != std::string::npos;
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

// Each change is copied on a worker; a save removes the copy, also one whose
// write is in flight (the window thread is back meanwhile). The copy a
// crashed run left is offered by the next, which takes it over as its own.
TEST_F(Window, UnsavedWorkIsCopiedAsideOffTheWindowThreadAndOfferedAfterACrash) {
    const std::string folder = TempFolder("window_recovery");
    const std::string info = CopyPath(folder, kCrashedPid, ".info");
    const auto save = [this, &folder] {
        dialogs.savePaths.push_back(folder + "/saved.dwi");
        window->OnCommand(app::kCmdSave);
    };
    HeldWrites writes;
    {
        app::CrashRecovery recovery(*window, edit::RecoveryStore(folder, kCrashedPid),
                                    writes.Hook());
        LoadSong(120.0f);
        recovery.Check();
        EXPECT_FALSE(fs::exists(info)) << "nothing changed since the song opened";
        for (const char* steps : {"0408", "0428", "0488"}) {
            writes.hold = std::string(steps) == "0428";
            window->SetSteps(steps);
            recovery.Check();
            if (writes.hold) {
                writes.entered.get_future().wait();
                EXPECT_TRUE(recovery.Writing() && CopyHolds(folder, "#SINGLE:BASIC:1:0408"));
                save();
                recovery.Check();
                writes.released.set_value();
            }
            recovery.Wait();
            EXPECT_NE(writes.writer, std::this_thread::get_id());
            EXPECT_EQ(fs::exists(info), !writes.hold) << steps;
            EXPECT_EQ(CopyHolds(folder, std::string("#SINGLE:BASIC:1:") + steps), !writes.hold);
        }
        save();
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
    EXPECT_EQ(window->Steps(), "0448");
    EXPECT_EQ(window->DwiFileName(), folder + "/saved.dwi");
    EXPECT_EQ(window->windowTitle(), "saved.dwi* - Beatwright");
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

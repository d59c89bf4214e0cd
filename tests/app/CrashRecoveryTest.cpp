#include "app/CrashRecovery.h"

#include "WindowFixture.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using app::CChartEditorDlg;

TEST_F(Window, UnsavedWorkIsCopiedAsideAndACrashedCopyIsOffered) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "window_recovery";
    fs::remove_all(folder);
    // Process ids no system hands out, so neither copy counts as running.
    constexpr std::int64_t kCrashedPid = 999999998;
    const fs::path copy = folder / "recovery-999999998.info";
    {
        app::CrashRecovery recovery(*window, edit::RecoveryStore(folder.string(), kCrashedPid));
        LoadSong(120.0f);
        recovery.Check();
        EXPECT_FALSE(fs::exists(copy)); // nothing changed since the song opened
        window->SetSteps("0408");
        recovery.Check();
        recovery.Wait();
        ASSERT_TRUE(fs::exists(copy));
        EXPECT_NE(
            FileText((folder / "recovery-999999998.dwi").string()).find("#SINGLE:BASIC:1:0408"),
            std::string::npos);
        // Saved: the copy goes.
        dialogs.savePaths.push_back((folder / "saved.dwi").string());
        window->OnCommand(32772);
        recovery.Check();
        EXPECT_FALSE(fs::exists(copy));
        // Changed again, then the program dies without Finish.
        window->SetSteps("0428");
        recovery.Check();
        recovery.Wait();
        ASSERT_TRUE(fs::exists(copy));
    }
    window.reset();
    window = std::make_unique<CChartEditorDlg>(
        CChartEditorDlg::Services{player, player, dialogs, clock, estimator, {}, {}, nullptr, {}});
    app::CrashRecovery next(*window, edit::RecoveryStore(folder.string(), 999999999));
    dialogs.answers = {true};
    const std::size_t asked = dialogs.questions.size();
    ASSERT_TRUE(next.OfferLeftCopies(dialogs));
    ASSERT_EQ(dialogs.questions.size(), asked + 1);
    EXPECT_EQ(dialogs.questions.back(),
              "Beatwright: Beatwright was not closed properly. Restore the unsaved chart for "
              "song.mp3?");
    EXPECT_EQ(window->Steps(), "0428");
    EXPECT_EQ(window->DwiFileName(), (folder / "saved.dwi").string());
    EXPECT_TRUE(window->HasUnsavedChanges());
    EXPECT_FALSE(fs::exists(copy)); // taken over as the new program's own copy
    next.Wait();
    EXPECT_TRUE(fs::exists(folder / "recovery-999999999.info"));
    next.Finish();
    EXPECT_FALSE(fs::exists(folder / "recovery-999999999.info"));
}

TEST_F(Window, ADeclinedCopyIsDeleted) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "window_recovery_declined";
    fs::remove_all(folder);
    edit::RecoveryStore crashed(folder.string(), 999999997);
    edit::RecoveryInfo info;
    info.songPath = "/songs/other.ogg";
    ASSERT_FALSE(crashed.Write(info, "#SINGLE:BASIC:1:8;"));
    app::CrashRecovery recovery(*window, edit::RecoveryStore(folder.string(), 999999996));
    dialogs.answers = {false};
    EXPECT_FALSE(recovery.OfferLeftCopies(dialogs));
    EXPECT_FALSE(crashed.HasCopy());
    EXPECT_TRUE(player.FileName().empty());
}

// Holds the recovery's writes in flight on request, and says on which
// thread they ran.
class HeldWrites {
public:
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
    std::promise<void> entered;
    std::promise<void> released;
    std::thread::id writer;
};

TEST_F(Window, RecoveryCopiesAreWrittenOffTheWindowThreadAndASaveDropsOneInFlight) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "window_recovery_worker";
    fs::remove_all(folder);
    const std::string copy = (folder / "recovery-999999995.dwi").string();
    HeldWrites writes;
    app::CrashRecovery recovery(*window, edit::RecoveryStore(folder.string(), 999999995),
                                writes.Hook());
    LoadSong(120.0f);
    window->SetSteps("0408");
    recovery.Check();
    recovery.Wait();
    EXPECT_NE(writes.writer, std::this_thread::get_id());
    ASSERT_NE(FileText(copy).find("#SINGLE:BASIC:1:0408"), std::string::npos);

    // A newer document is held between its text and its write: the window
    // thread is back while the older copy is still the one on disk.
    writes.hold = true;
    window->SetSteps("0428");
    recovery.Check();
    writes.entered.get_future().wait();
    EXPECT_TRUE(recovery.Writing());
    EXPECT_NE(FileText(copy).find("#SINGLE:BASIC:1:0408"), std::string::npos);

    // Saved meanwhile: neither the older copy nor the held one may stay.
    dialogs.savePaths.push_back((folder / "saved.dwi").string());
    window->OnCommand(32772);
    ASSERT_FALSE(window->HasUnsavedChanges());
    recovery.Check();
    writes.released.set_value();
    recovery.Wait();
    EXPECT_FALSE(recovery.Writing());
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_FALSE(fs::exists(folder / "recovery-999999995.info"));

    // The next change is copied again.
    writes.hold = false;
    window->SetSteps("0488");
    recovery.Check();
    recovery.Wait();
    EXPECT_NE(FileText(copy).find("#SINGLE:BASIC:1:0488"), std::string::npos);
    recovery.Finish();
    EXPECT_FALSE(fs::exists(copy));
}

} // namespace

namespace {

TEST_F(Window, AFailedRecoveryWriteIsTriedAgainWithoutANewChange) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "window_recovery_failed";
    fs::remove_all(folder);
    // A file where the folder should be: no copy can be written there.
    std::ofstream(folder.string()) << "in the way";
    app::CrashRecovery recovery(*window, edit::RecoveryStore(folder.string(), 999999994));
    LoadSong(120.0f);
    window->SetSteps("0408");
    recovery.Check();
    recovery.Wait();
    ASSERT_FALSE(fs::is_directory(folder));
    fs::remove(folder);
    recovery.Check();
    recovery.Wait();
    EXPECT_NE(FileText((folder / "recovery-999999994.dwi").string()).find("#SINGLE:BASIC:1:0408"),
              std::string::npos);
    recovery.Finish();
}

} // namespace

#include "edit/Recovery.h"

#include "dwi/DwiSong.h"
#include "dwi/DwiWriter.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// Paths with line breaks, backslashes and "=" survive; the info must be
// ours and name a song; a chart that is no number is none. The copy is what
// a save of the window's values writes (a preview ending before it starts
// lasts 5 s).
TEST(Recovery, InfoSurvivesItsTextWhateverThePaths) {
    const edit::RecoveryInfo info{"/music/odd\nname\\with=signs\r.ogg\\", "/charts/a b.dwi", 3,
                                  true};
    const auto parsed = edit::ParseRecoveryInfo(edit::FormatRecoveryInfo(info));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(std::tuple(parsed->songPath, parsed->dwiPath, parsed->shownChart, parsed->imported),
              std::tuple(info.songPath, info.dwiPath, info.shownChart, true));
    EXPECT_FALSE(edit::ParseRecoveryInfo("song=/x.ogg\n"));
    EXPECT_FALSE(edit::ParseRecoveryInfo("beatwright-recovery 1\ndwi=/x.dwi\n"));
    const auto noChart = edit::ParseRecoveryInfo("beatwright-recovery 1\nsong=s\nchart=2x\n");
    ASSERT_TRUE(noChart);
    EXPECT_EQ(std::tuple(noChart->songPath, noChart->shownChart, noChart->imported),
              std::tuple("s", std::nullopt, false));
    EXPECT_EQ(dwi::WriteSong(
                  edit::SongFromWindow({"T", "", "MANIAC", 4, 140.0f, 0.5f, 20.0f, 10.0f, "08B0"})),
              dwi::FormatDwi("T", "", 140.0f, 0.5f, 20.0f, 5.0f, "MANIAC", 4, "08B0"));
}

// A copy whose program is not running was left by a crash; one whose info
// never got written is no copy.
TEST(Recovery, CopiesOfStoppedProgramsAreFoundAndRemoved) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "recovery_store";
    fs::remove_all(folder);
    edit::RecoveryStore crashed(folder.string(), 111), running(folder.string(), 222),
        self(folder.string(), 333);
    const edit::RecoveryInfo info{"/music/song.ogg", "", {}, false};
    ASSERT_FALSE(crashed.Write(info, "#TITLE:crashed;"));
    ASSERT_FALSE(running.Write(info, "#TITLE:running;"));
    ASSERT_FALSE(self.Write(info, "#TITLE:self;"));
    std::ofstream(folder / "recovery-444.dwi") << "a copy whose info never got written";
    const auto isRunning = [](std::int64_t pid) { return pid == 222; };
    const auto left = self.FindLeft(isRunning);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(std::tuple(left[0].pid, left[0].document, left[0].info.songPath),
              std::tuple(111, "#TITLE:crashed;", "/music/song.ogg"));
    self.RemoveLeft(111);
    self.Remove();
    EXPECT_EQ(std::tuple(self.FindLeft(isRunning).size(), fs::exists(folder / "recovery-111.dwi"),
                         self.HasCopy(), running.HasCopy()),
              std::tuple(0u, false, false, true));
}

// $XDG_STATE_HOME when it is an absolute path, else ~/.local/state; the
// variables are put back as they were.
TEST(Recovery, FolderFollowsTheXdgStateHome) {
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : {"HOME", "XDG_STATE_HOME"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    std::vector<std::string> folders;
    for (const auto& [state, home] : {std::pair{"/state", "/"}, {"state", "/"}, {"state", ""}}) {
        ::setenv("XDG_STATE_HOME", state, 1);
        ::setenv("HOME", home, 1);
        folders.push_back(edit::DefaultRecoveryFolder());
    }
    for (const auto& [name, value] : saved) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    EXPECT_EQ(folders, (std::vector<std::string>{"/state/beatwright", "/.local/state/beatwright",
                                                 "/tmp/.local/state/beatwright"}));
}

} // namespace

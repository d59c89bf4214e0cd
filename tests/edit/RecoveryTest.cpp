#include "edit/Recovery.h"

#include "dwi/DwiSong.h"
#include "dwi/DwiWriter.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

TEST(Recovery, InfoSurvivesItsTextWhateverThePaths) {
    edit::RecoveryInfo info;
    info.songPath = "/music/odd\nname\\with=signs\r.ogg\\";
    info.dwiPath = "/charts/a b.dwi";
    info.imported = true;
    info.shownChart = 3;
    const auto parsed = edit::ParseRecoveryInfo(edit::FormatRecoveryInfo(info));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->songPath, info.songPath);
    EXPECT_EQ(parsed->dwiPath, info.dwiPath);
    EXPECT_TRUE(parsed->imported);
    EXPECT_EQ(parsed->shownChart, 3u);
    EXPECT_FALSE(edit::ParseRecoveryInfo("song=/x.ogg\n"));                       // not ours
    EXPECT_FALSE(edit::ParseRecoveryInfo("beatwright-recovery 1\ndwi=/x.dwi\n")); // no song
    const auto noChart = edit::ParseRecoveryInfo("beatwright-recovery 1\nsong=s\nchart=2x\n");
    ASSERT_TRUE(noChart);
    EXPECT_EQ(noChart->shownChart, std::nullopt);
    EXPECT_FALSE(noChart->imported);
}

TEST(Recovery, AWindowSongIsWrittenAsASaveWouldWriteIt) {
    edit::WindowValues values;
    values.title = "T";
    values.difficulty = "MANIAC";
    values.rating = 4;
    values.bpm = 140.0f;
    values.gapSeconds = 0.5f;
    values.sampleStartSeconds = 20.0f;
    values.sampleEndSeconds = 10.0f; // before the start: 5 s, as a save writes it
    values.steps = "08B0";
    EXPECT_EQ(dwi::WriteSong(edit::SongFromWindow(values)),
              dwi::FormatDwi("T", "", 140.0f, 0.5f, 20.0f, 5.0f, "MANIAC", 4, "08B0"));
}

TEST(Recovery, CopiesOfStoppedProgramsAreFoundAndRemoved) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "recovery_store";
    fs::remove_all(folder);
    edit::RecoveryStore crashed(folder.string(), 111);
    edit::RecoveryStore running(folder.string(), 222);
    edit::RecoveryStore self(folder.string(), 333);
    edit::RecoveryInfo info;
    info.songPath = "/music/song.ogg";
    ASSERT_FALSE(crashed.Write(info, "#TITLE:crashed;"));
    ASSERT_FALSE(running.Write(info, "#TITLE:running;"));
    ASSERT_FALSE(self.Write(info, "#TITLE:self;"));
    std::ofstream(folder / "recovery-444.dwi") << "a copy whose info never got written";

    const auto isRunning = [](std::int64_t pid) { return pid == 222; };
    const auto left = self.FindLeft(isRunning);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].pid, 111);
    EXPECT_EQ(left[0].document, "#TITLE:crashed;");
    EXPECT_EQ(left[0].info.songPath, "/music/song.ogg");
    self.RemoveLeft(111);
    EXPECT_TRUE(self.FindLeft(isRunning).empty());
    EXPECT_FALSE(fs::exists(folder / "recovery-111.dwi"));
    EXPECT_TRUE(self.HasCopy());
    self.Remove();
    EXPECT_FALSE(self.HasCopy());
    EXPECT_TRUE(running.HasCopy());
}

// $XDG_STATE_HOME when it is an absolute path, else ~/.local/state.
TEST(Recovery, FolderFollowsTheXdgStateHome) {
    const auto saved = [](const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    };
    const auto home = saved("HOME");
    const auto state = saved("XDG_STATE_HOME");
    ::setenv("XDG_STATE_HOME", "/state", 1);
    EXPECT_EQ(edit::DefaultRecoveryFolder(), "/state/beatwright");
    ::setenv("XDG_STATE_HOME", "state", 1);
    ::setenv("HOME", "/", 1);
    EXPECT_EQ(edit::DefaultRecoveryFolder(), "/.local/state/beatwright");
    ::setenv("HOME", "", 1);
    EXPECT_EQ(edit::DefaultRecoveryFolder(), "/tmp/.local/state/beatwright");
    restore("HOME", home);
    restore("XDG_STATE_HOME", state);
}

} // namespace

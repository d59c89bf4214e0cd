#include "edit/ChartSong.h"

#include "dwi/DwiSong.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

class SongFolder : public testing::Test {
protected:
    void SetUp() override {
        root = fs::path(BEATWRIGHT_TEST_TMP) / "song_folder" /
               testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root);
        fs::create_directories(root);
    }
    std::string Touch(const fs::path& relative) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative) << "x";
        return (root / relative).string();
    }
    std::optional<std::string> Find(const std::optional<std::string>& fileRecord) {
        return edit::FindSongForChart((root / "chart.dwi").string(), fileRecord).songPath;
    }
    fs::path root;
};

TEST_F(SongFolder, TheFileRecordIsReadAsWindowsWroteIt) {
    const std::string song = Touch("Songs/Mix/Song.MP3");
    Touch("other.ogg");
    EXPECT_EQ(Find(".\\\\songs\\\\MIX\\\\song.mp3"), song);
    EXPECT_EQ(Find("Songs/Mix/Song.MP3"), song);
}

TEST_F(SongFolder, AGamePathFindsItsFileNameBesideTheChart) {
    const std::string song = Touch("x.mp3");
    Touch("banner.png");
    EXPECT_EQ(Find(".\\\\Songs\\\\X.MP3"), song);
}

TEST_F(SongFolder, WithoutAUsableRecordTheOneMusicFileOfTheFolderIsTaken) {
    const std::string song = Touch("track.OGG");
    Touch("cover.jpg");
    EXPECT_EQ(Find(std::nullopt), song);
    EXPECT_EQ(Find("missing.mp3"), song);
    Touch("second.wav");
    EXPECT_EQ(Find(std::nullopt), std::nullopt); // two candidates: the user picks
    EXPECT_EQ(edit::FindSongForChart((root / "chart.dwi").string(), std::nullopt).folder,
              fs::absolute(root).string());
}

TEST(SlotsOfChart, EighthsAreSlotsAndAnythingMoreIsFlagged) {
    bool lossy = true;
    const chart::Song plain = dwi::ReadSong("#SINGLE:B:1:08B0;");
    EXPECT_EQ(edit::SlotsOfChart(plain.charts.at(0), lossy), "08B0");
    EXPECT_FALSE(lossy);
    for (const char* text :
         {"#SINGLE:B:1:8!808;", "#SINGLE:B:1:(88)8;", "#SINGLE:B:1:<248>;", "#DOUBLE:B:1:8:8;"}) {
        lossy = false;
        const chart::Song song = dwi::ReadSong(text);
        edit::SlotsOfChart(song.charts.at(0), lossy);
        EXPECT_TRUE(lossy) << text;
    }
}

} // namespace

#include "edit/ChartSong.h"

#include "dwi/DwiSong.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

fs::path SongFolder(const std::string& name, std::initializer_list<const char*> files) {
    const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "song_folder" / name;
    fs::remove_all(folder);
    for (const char* file : files) {
        fs::create_directories((folder / file).parent_path());
        std::ofstream(folder / file) << "x";
    }
    return folder;
}

// The chart lies in the folder with one music file (x.mp3) and the song in
// Songs/Mix. "\" separates folders, every part matches in any case, "." and
// empty parts are skipped; failing that the record's file name beside the
// chart, then the folder's one music file.
TEST(FindSongForChart, FileRecordAsWindowsWroteItThenTheFolder) {
    const fs::path folder =
        SongFolder("game", {"chart.dwi", "Songs/Mix/Azure.MP3", "x.mp3", "banner.png"});
    const std::string song = (folder / "Songs/Mix/Azure.MP3").string();
    const std::string beside = (folder / "x.mp3").string();
    struct Case {
        std::optional<std::string> record;
        std::string found;
    };
    for (const Case& c :
         {Case{"Songs/Mix/Azure.MP3", song}, Case{".\\songs\\MIX\\aZURE.mp3", song},
          Case{"  Songs\\\\Mix\\Azure.MP3 \r\n", song},
          Case{"..\\game\\Songs\\Mix\\Azure.MP3", song}, Case{".\\Songs\\X.MP3", beside},
          Case{"banner.png", (folder / "banner.png").string()}, Case{"missing.mp3", beside},
          Case{"Songs\\Mix", beside}, Case{"Songs\\Other\\Azure.MP3", beside}, Case{" \t", beside},
          Case{"./", beside}, Case{std::nullopt, beside}}) {
        const edit::SongSearch search =
            edit::FindSongForChart((folder / "chart.dwi").string(), c.record);
        EXPECT_EQ(search.songPath, c.found) << c.record.value_or("(none)");
        EXPECT_EQ(search.folder, folder.string());
    }
}

TEST(FindSongForChart, AnExactNameWinsAndTwoMusicFilesLeaveTheChoiceToTheUser) {
    const fs::path folder =
        SongFolder("two", {"chart.dwi", "song.ogg", "SONG.ogg", "b.WAV", "c.mp3/"});
    const auto find = [&](const std::optional<std::string>& record) {
        return edit::FindSongForChart((folder / "chart.dwi").string(), record).songPath;
    };
    EXPECT_EQ(find("SONG.ogg"), (folder / "SONG.ogg").string());
    EXPECT_EQ(find("song.ogg"), (folder / "song.ogg").string());
    EXPECT_EQ(find("none.ogg"), std::nullopt);
    fs::remove(folder / "song.ogg");
    fs::remove(folder / "SONG.ogg");
    EXPECT_EQ(find(std::nullopt), (folder / "b.WAV").string()); // a folder named c.mp3 is none
}

TEST(SlotsOfChart, EighthsAreSlotsAndAnythingMoreIsFlagged) {
    bool lossy = true;
    EXPECT_EQ(edit::SlotsOfChart(dwi::ReadSong("#SINGLE:B:1:08B00;").charts.at(0), lossy), "08B00");
    EXPECT_FALSE(lossy);
    for (const char* text : {"#SINGLE:B:1:8!808;", "#SINGLE:B:1:(88)8;", "#SINGLE:B:1:<248>;",
                             "#DOUBLE:B:1:8:8;", "#SOLO:B:1:C;"}) {
        lossy = false;
        edit::SlotsOfChart(dwi::ReadSong(text).charts.at(0), lossy);
        EXPECT_TRUE(lossy) << text;
    }
    // Three arrows leave their slot empty.
    EXPECT_EQ(edit::SlotsOfChart(dwi::ReadSong("#SINGLE:B:1:8<246>;").charts.at(0), lossy), "80");
}

} // namespace

#include "edit/ChartSong.h"

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

// The chart lies in the folder with one music file (x.MP3; a folder named
// c.ogg is none) and the song in Songs/Mix. "\" separates folders, every
// part matches in any case, "." and empty parts are skipped, ".." goes up;
// failing that the record's file name beside the chart (a regular file, not
// a folder), then the folder's one music file. An exact name wins over one
// in another case; with two music files the user chooses.
TEST(FindSongForChart, FileRecordAsWindowsWroteItThenTheFolder) {
    const fs::path folder =
        SongFolder("game", {"chart.dwi", "Songs/Mix/Azure.MP3", "x.MP3", "banner.png", "c.ogg/"});
    const std::string song = (folder / "Songs/Mix/Azure.MP3").string();
    const std::string beside = (folder / "x.MP3").string();
    // clang-format off
    const std::pair<std::optional<std::string>, std::string> kCases[] = {
        {"Songs/Mix/Azure.MP3", song}, {".\\songs\\MIX\\aZURE.mp3", song},
        {"  Songs\\\\Mix\\Azure.MP3 \r\n", song}, {"..\\game\\Songs\\Mix\\Azure.MP3", song},
        {".\\Songs\\X.MP3", beside}, {"banner.png", (folder / "banner.png").string()},
        {"missing.mp3", beside}, {"Songs\\Mix", beside}, {"SONGS", beside},
        {"Songs\\Other\\Azure.MP3", beside}, {"banner.png\\x", beside}, {" \t", beside},
        {"./", beside}, {std::nullopt, beside}};
    // clang-format on
    for (const auto& [record, found] : kCases) {
        const edit::SongSearch search =
            edit::FindSongForChart((folder / "chart.dwi").string(), record);
        EXPECT_EQ(search.songPath, found) << record.value_or("(none)");
        EXPECT_EQ(search.folder, folder.string());
    }
    const fs::path two = SongFolder("two", {"chart.dwi", "song.ogg", "SONG.ogg"});
    const auto find = [&two](const std::optional<std::string>& record) {
        return edit::FindSongForChart((two / "chart.dwi").string(), record).songPath;
    };
    EXPECT_EQ(find("SONG.ogg"), (two / "SONG.ogg").string());
    EXPECT_EQ(find("song.ogg"), (two / "song.ogg").string());
    EXPECT_EQ(find("none.ogg"), std::nullopt);
}

} // namespace

#include "edit/ImportedSong.h"

#include "dwi/DwiSong.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

const std::string kFile = "#TITLE:Song;\r\n#BPM:150.000;\r\n#GAP:-120;\r\n#CHANGEBPM:64=300;\r\n"
                          "#SAMPLESTART:30.00000;\r\n#SAMPLELENGTH:12.00000;\r\n"
                          "#SINGLE:BASIC:3:\r\n0808\r\n;\r\n"
                          "#SINGLE:SMANIAC:12:\r\n(8888)8!80008;\r\n"
                          "#DOUBLE:HEAVY:9:\r\n8:\r\n2;\r\n";

// The window's values right after importing the SMANIAC chart: the lists
// cannot show "SMANIAC" or 12, so they still show what they showed.
edit::WindowValues AfterImport(const chart::Song& song) {
    edit::WindowValues values;
    values.title = song.title;
    values.difficulty = "BASIC";
    values.bpm = song.bpm;
    values.gapSeconds = song.gapSeconds;
    values.sampleStartSeconds = song.sampleStartSeconds;
    values.sampleEndSeconds = song.sampleStartSeconds + song.sampleLengthSeconds;
    values.steps = "8888808000800"; // the flattened chart the window shows
    return values;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// Each window value changed alone: the file comes back with that record
// (re)written and nothing else touched. The save pads the chart, which is
// no change.
TEST(ImportedSong, OnlyWhatTheUserChangedGoesIntoTheFile) {
    const chart::Song song = dwi::ReadSong(kFile);
    const std::string kShown = "#SINGLE:SMANIAC:12:\r\n(8888)8!80008;";
    struct Case {
        std::function<void(edit::WindowValues&)> change;
        std::string from;
        std::string to;
    };
    for (const Case& c : {
             Case{[](auto& v) { v.steps += "000000"; }, "", ""},
             Case{[](auto& v) { v.title = "Renamed"; }, "#TITLE:Song;", "#TITLE:Renamed;"},
             Case{[](auto& v) { v.artist = "Me"; }, "#SINGLE:B", "#ARTIST:Me;\r\n#SINGLE:B"},
             Case{[](auto& v) { v.bpm = 151.0f; }, "#BPM:150.000;", "#BPM:151.000000;"},
             Case{[](auto& v) { v.gapSeconds = 0.5f; }, "#GAP:-120;", "#GAP:500.000;"},
             Case{[](auto& v) { v.sampleEndSeconds = 40.0f; }, "LENGTH:12.", "LENGTH:10."},
             Case{[](auto& v) { v.sampleStartSeconds = 34.0f; }, "30.00000;\r\n#SAMPLELENGTH:12.",
                  "34.00000;\r\n#SAMPLELENGTH:8."},
             Case{[](auto& v) { v.sampleStartSeconds = 43.0f; }, "30.00000;\r\n#SAMPLELENGTH:12.",
                  "43.00000;\r\n#SAMPLELENGTH:5."},
             Case{[](auto& v) { v.rating = 5; }, kShown, "#SINGLE:SMANIAC:5:\r\n(8888)8!80008;"},
             Case{[](auto& v) { v.difficulty = "HARD"; }, kShown,
                  "#SINGLE:HARD:12:\r\n(8888)8!80008;"},
             Case{[](auto& v) { v.steps[0] = '0'; }, kShown,
                  "#SINGLE:SMANIAC:12:\r\n08888080\r\n00800;"},
         }) {
        edit::ImportedSong imported;
        const edit::WindowValues values = AfterImport(song);
        imported.Start(song, edit::FindOfferedChart(song, 1, "SMANIAC", 12), values);
        edit::WindowValues now = values;
        c.change(now);
        const std::string written = dwi::WriteSong(imported.SongToSave(now));
        EXPECT_EQ(written, c.from.empty() ? kFile : Replaced(kFile, c.from, c.to));
        // After the save the file holds the edit; a second save changes nothing.
        imported.Saved(dwi::ReadSong(written), now);
        EXPECT_EQ(dwi::WriteSong(imported.SongToSave(now)), written);
    }
}

TEST(ImportedSong, AChartTheFileDidNotHaveIsAddedNotSwapped) {
    const chart::Song song = dwi::ReadSong(kFile);
    edit::WindowValues values = AfterImport(song);
    values.steps = "0400"; // the user's own chart; every offered chart declined
    // No chart shown, or an index the document does not have.
    for (const std::optional<std::size_t> shown : {std::optional<std::size_t>(), {3}}) {
        edit::ImportedSong imported;
        imported.Start(song, shown, values);
        const chart::Song saved = imported.SongToSave(values);
        ASSERT_EQ(saved.charts.size(), 4u);
        EXPECT_EQ(saved.charts[3].notes.Notes(), (std::vector<chart::Note>{{24, 0, 0}}));
        EXPECT_EQ(saved.charts[3].difficulty, "BASIC");
        imported.Saved(dwi::ReadSong(dwi::WriteSong(saved)), values);
        EXPECT_EQ(imported.ShownChart(), 3u);
        EXPECT_EQ(imported.SongToSave(values).charts.size(), 4u);
    }
}

TEST(ImportedSong, TheOfferedChartIsFoundByOrderOrElseByDifficultyAndRating) {
    const chart::Song song = dwi::ReadSong(kFile);
    EXPECT_EQ(edit::FindOfferedChart(song, 1, "SMANIAC", 12), 1u);
    EXPECT_EQ(edit::FindOfferedChart(song, 0, "SMANIAC", 12), 1u);
    EXPECT_EQ(edit::FindOfferedChart(song, 1, "BASIC", 3), 0u);
    EXPECT_EQ(edit::FindOfferedChart(song, 0, "BASIC", 4), std::nullopt);
    EXPECT_EQ(edit::FindOfferedChart(song, 2, "HEAVY", 9), std::nullopt); // not a single chart
}

TEST(ImportedSong, SlotsBecomeRowsAndEmptyBytesCountAsNothing) {
    const chart::SongChart chart = edit::ChartFromSteps("1x0B8");
    EXPECT_EQ(chart.notes.Notes(),
              (std::vector<chart::Note>{{0, 0, 0}, {0, 1, 0}, {72, 0, 0}, {72, 3, 0}, {96, 2, 0}}));
    EXPECT_EQ(chart.lengthRows, 120);
    EXPECT_TRUE(edit::SameSteps("80x", "8"));
    EXPECT_FALSE(edit::SameSteps("80", "08"));
    EXPECT_FALSE(edit::SameSteps("8", "80A"));
}

} // namespace

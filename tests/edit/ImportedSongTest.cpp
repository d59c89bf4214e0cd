#include "edit/ImportedSong.h"

#include "dwi/DwiSong.h"

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
    values.rating = 1;
    values.bpm = song.bpm;
    values.gapSeconds = song.gapSeconds;
    values.sampleStartSeconds = song.sampleStartSeconds;
    values.sampleEndSeconds = song.sampleStartSeconds + song.sampleLengthSeconds;
    values.steps = "8888808000800"; // the flattened chart the window shows
    return values;
}

TEST(ImportedSong, SavingWithoutAnEditWritesTheFileBackUnchanged) {
    edit::ImportedSong imported;
    const chart::Song song = dwi::ReadSong(kFile);
    const auto shown = edit::FindOfferedChart(song, 1, "SMANIAC", 12);
    ASSERT_EQ(shown, 1u);
    const edit::WindowValues values = AfterImport(song);
    imported.Start(song, shown, values);
    edit::WindowValues padded = values;
    padded.steps += "000000"; // the save pads the chart to cover the song
    EXPECT_EQ(dwi::WriteSong(imported.SongToSave(padded)), kFile);
}

TEST(ImportedSong, OnlyWhatTheUserChangedGoesIntoTheFile) {
    edit::ImportedSong imported;
    const chart::Song song = dwi::ReadSong(kFile);
    const edit::WindowValues values = AfterImport(song);
    imported.Start(song, 1u, values);

    edit::WindowValues now = values;
    now.title = "Renamed";
    now.steps[1] = '0';
    now.rating = 5;
    const chart::Song saved = imported.SongToSave(now);
    EXPECT_EQ(saved.title, "Renamed");
    EXPECT_EQ(saved.bpm, 150.0f);
    EXPECT_EQ(saved.changes.size(), 1u);
    EXPECT_EQ(saved.sampleLengthSeconds, 12.0f);
    ASSERT_EQ(saved.charts.size(), 3u);
    EXPECT_EQ(saved.charts[1].difficulty, "SMANIAC"); // the list never showed it
    EXPECT_EQ(saved.charts[1].rating, 5u);
    EXPECT_EQ(saved.charts[1].notes.Size(), 6u); // the edited slots, as the window holds them
    EXPECT_TRUE(saved.charts[0].SameContent(song.charts[0]));
    EXPECT_TRUE(saved.charts[2].SameContent(song.charts[2]));
    const std::string written = dwi::WriteSong(saved);
    EXPECT_NE(written.find("#SINGLE:BASIC:3:\r\n0808\r\n;\r\n"), std::string::npos);
    EXPECT_NE(written.find("#DOUBLE:HEAVY:9:\r\n8:\r\n2;\r\n"), std::string::npos);

    // After the save the file holds the edit; a second save changes nothing.
    imported.Saved(dwi::ReadSong(written), now);
    EXPECT_EQ(dwi::WriteSong(imported.SongToSave(now)), written);
}

TEST(ImportedSong, AChartTheFileDidNotHaveIsAddedNotSwapped) {
    edit::ImportedSong imported;
    const chart::Song song = dwi::ReadSong(kFile);
    edit::WindowValues values = AfterImport(song);
    values.steps = "0400"; // the user's own chart; every offered chart declined
    imported.Start(song, std::nullopt, values);
    const chart::Song saved = imported.SongToSave(values);
    ASSERT_EQ(saved.charts.size(), 4u);
    EXPECT_EQ(saved.charts[3].notes.Notes(), (std::vector<chart::Note>{{24, 0, 0}}));
    imported.Saved(dwi::ReadSong(dwi::WriteSong(saved)), values);
    EXPECT_EQ(imported.ShownChart(), 3u);
    EXPECT_EQ(imported.SongToSave(values).charts.size(), 4u);
}

TEST(ImportedSong, SlotsBecomeRowsAndEmptyBytesCountAsNothing) {
    const chart::SongChart chart = edit::ChartFromSteps("1x0B");
    EXPECT_EQ(chart.notes.Notes(),
              (std::vector<chart::Note>{{0, 0, 0}, {0, 1, 0}, {72, 0, 0}, {72, 3, 0}}));
    EXPECT_EQ(chart.lengthRows, 96);
    EXPECT_TRUE(edit::SameSteps("80x", "8"));
    EXPECT_FALSE(edit::SameSteps("80", "08"));
}

} // namespace

// The names the window proposes and the message for a missing song.
#include "edit/ChartSong.h"

#include <gtest/gtest.h>

namespace {

TEST(ChartPaths, SaveAsProposesTheChartsFileElseTheTitleElseTheSong) {
    struct Case {
        const char* chart;
        const char* title;
        const char* song;
        const char* proposed;
    };
    const Case cases[] = {
        {"/c/HOLIDAY.dwi", "Holiday", "/m/h.ogg", "/c/HOLIDAY.dwi"},
        {"", "Holiday", "/m/h.ogg", "/m/Holiday.dwi"},
        {"", "AC/DC: Live?", "/m/h.ogg", "/m/AC_DC_ Live_.dwi"},
        {"", "a\\b*c\"d<e>f|g", "/m/h.ogg", "/m/a_b_c_d_e_f_g.dwi"},
        {"", " . ", "/m/h.ogg", "/m/h.dwi"},
        {"", "", "/m/song.v2.mp3", "/m/song.v2.dwi"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(edit::ProposedChartPath(c.chart, c.title, c.song), c.proposed);
    }
}

TEST(ChartPaths, AMissingSongIsNamedWithItsFolder) {
    const std::string kChoose = " Choose it, or Cancel to edit the chart without sound.";
    EXPECT_EQ(edit::MissingSongMessage(std::string(".\\Songs\\Holiday\\X.ogg"), "/p/h"),
              "The song 'X.ogg' named by the chart was not found in /p/h." + kChoose);
    EXPECT_EQ(edit::MissingSongMessage(std::nullopt, "/p/h"),
              "The chart names no song, and no single song was found in /p/h." + kChoose);
    EXPECT_EQ(edit::MissingSongMessage(std::string(""), ""),
              "The chart names no song, and no single song was found in its folder." + kChoose);
}

TEST(ChartPaths, AStandInForAMissingSongRunsPastTheChartWithRoomToWrite) {
    chart::Song song;
    song.bpm = 120.0f; // half a second a beat; 32 beats of room are 16 s
    song.charts.resize(2);
    EXPECT_DOUBLE_EQ(edit::StandInSeconds(song), 30.0) << "at least half a minute";
    song.charts[1].lengthRows = 100 * chart::kRowsPerBeat;
    EXPECT_DOUBLE_EQ(edit::StandInSeconds(song), 66.0);
    song.charts[0].notes.Set({200 * chart::kRowsPerBeat, 0, 10 * chart::kRowsPerBeat});
    song.gapSeconds = 2.0f;
    song.stops.push_back({1.0, 500.0});
    // The row after the hold's tail, 32 beats on; the Gap and the stop.
    EXPECT_DOUBLE_EQ(edit::StandInSeconds(song), 2.0 + 0.5 + (242.0 + 1.0 / 48) * 0.5);
    song.bpm = 0.0f;
    EXPECT_DOUBLE_EQ(edit::StandInSeconds(song), 30.0) << "no tempo";
}

} // namespace

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

} // namespace

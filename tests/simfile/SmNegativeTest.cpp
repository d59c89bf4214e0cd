#include "simfile/Convert.h"
#include "simfile/SmSong.h"
#include "simfile/SongFiles.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using chart::SongFormat;

// Times worked by hand the way the games run a .sm file: a stretch of
// negative tempo or a negative stop takes time back, and the beats until it
// is made up again are skipped (a warp). 120 BPM is 0.5 s a beat.
TEST(SmNegative, NegativeTempoAndStopsReadAsTheGamesPlayThem) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<chart::Warp> warps;
        std::vector<std::pair<double, double>> beatSeconds;
    };
    const std::string chart =
        "#NOTES:dance-single::Easy:1::\r\n1000\r\n0000\r\n0000\r\n0000\r\n;\r\n";
    const Case cases[] = {
        // Beat 4 at 0.5 + 2 s; 4..5 at -60 takes back 1 s, which 240 BPM
        // (0.25 s a beat) makes up by beat 9; 240 holds from beat 4.
        {"negative tempo",
         "#OFFSET:-0.5;\r\n#BPMS:0=120,4=-60,5=240;\r\n" + chart,
         {{4.0, 5.0}},
         {{3.0, 2.0}, {4.0, 2.5}, {6.0, 2.5}, {9.0, 2.5}, {10.0, 2.75}, {13.0, 3.5}}},
        // The 0.5 s taken back at beat 2 is one beat at 120.
        {"negative stop",
         "#BPMS:0=120;\r\n#STOPS:2=-0.5,6=1;\r\n" + chart,
         {{2.0, 1.0}},
         {{2.0, 1.0}, {2.5, 1.0}, {3.0, 1.0}, {4.0, 1.5}, {7.0, 4.0}}},
        // Back 0.5 s at 2, 0.25 s made up by 2.5, where the 0.75 s stop
        // leaves 0.5 s of it held: beat 3 at 1 + 0.5 + 0.25.
        {"stop makes up a negative one",
         "#BPMS:0=120;\r\n#FREEZES:2=-0.5,2.5=0.75;\r\n" + chart,
         {{2.0, 0.5}},
         {{2.5, 1.0}, {3.0, 1.75}, {4.0, 2.25}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> leftOut;
        chart::Song song = sm::ReadSong(c.text, SongFormat::Sm, &leftOut);
        EXPECT_TRUE(leftOut.empty()) << (leftOut.empty() ? "" : leftOut.front());
        EXPECT_EQ(song.warps, c.warps);
        const chart::TimingMap timing = song.Timing();
        for (const auto& [beat, seconds] : c.beatSeconds) {
            EXPECT_NEAR(timing.SecondsAt(beat), seconds, 1e-9) << "beat " << beat;
        }
        EXPECT_EQ(sm::WriteSong(song), c.text);
        // As .ssc the warps are written out and read back the same.
        const chart::Song ssc = sm::ConvertSong(song, SongFormat::Ssc);
        EXPECT_TRUE(chart::SameContent(ssc, sm::ReadSong(sm::WriteSong(ssc), SongFormat::Ssc)));
        // A stop added: tempos and stops come back; .sm keeps the warps only
        // where the file's own records still say them.
        song.stops.push_back({12.0, 250.0});
        const chart::Song again = sm::ReadSong(sm::WriteSong(song), SongFormat::Sm);
        EXPECT_EQ(again.changes, song.changes);
        EXPECT_EQ(again.stops, song.stops);
        EXPECT_TRUE(again.warps.empty() || again.warps == song.warps);
    }
}

// A save that would write the timing anew warns of the warps it drops.
TEST(SmNegative, ASaveThatCannotKeepTheWarpsSaysSo) {
    chart::Song song = sm::ReadSong("#OFFSET:0;#BPMS:0=120,4=-60,5=240;", SongFormat::Sm);
    ASSERT_EQ(song.warps.size(), 1U);
    EXPECT_TRUE(sm::SaveLosses(song).empty());
    song.changes.push_back({20.0, 150.0});
    EXPECT_EQ(sm::SaveLosses(song), std::vector<std::string>{"1 warp"});
    song.format = SongFormat::Ssc;
    EXPECT_TRUE(sm::SaveLosses(song).empty());
}

} // namespace

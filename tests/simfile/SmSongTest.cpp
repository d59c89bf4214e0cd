#include "simfile/SmSong.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

using chart::SongFormat;

const char kSm[] = "// written by hand\r\n#TITLE:Esc\\:aped\\;;\r\n#artist:Someone;\r\n"
                   "#OFFSET:-0.25;\r\n#BPMS:0=120;\r\n\r\n#BANNER:b.png;\r\n"
                   "#NOTES:\r\n     dance-single:\r\n     :\r\n     Easy:\r\n     3:\r\n"
                   "     0,0,0,0,0:\r\n1000\r\n0100\r\n0010\r\n0001\r\n;\r\n"
                   "#NOTES:\r\n     pump-single:\r\n     x:\r\n     Hard:\r\n     9:\r\n"
                   "     :\r\n10000\r\n00000\r\n00000\r\n00001\r\n;\r\n";

const char kSsc[] = "#VERSION:0.83;\n#TITLE:T;\n#OFFSET:0;\n#BPMS:0=150;\n#WARPS:;\n"
                    "#NOTEDATA:;\n#CHARTNAME:mine;\n#STEPSTYPE:dance-double;\n"
                    "#DIFFICULTY:Hard;\n#METER:9;\n#BPMS:0=75;\n#OFFSET:0.1;\n"
                    "#NOTES:\n10000001\n00000000\n00000000\n00000000\n;\n"
                    "#NOTEDATA:;\n#STEPSTYPE:dance-single;\n#DIFFICULTY:Easy;\n#METER:2;\n"
                    "#NOTES:\n1000\n0000\n0000\n0000\n;\n";

TEST(SmSong, ForeignFilesComeBackByteForByte) {
    struct Case {
        const char* name;
        SongFormat flavor;
        std::string text;
        std::size_t charts;
        std::size_t otherCharts;
    };
    const Case cases[] = {
        {"sm, CRLF, comments, escapes, pump", SongFormat::Sm, kSm, 1, 1},
        {"ssc, per-chart timing", SongFormat::Ssc, kSsc, 2, 0},
        {"LF, lower case, unknown tags, no ';'", SongFormat::Sm,
         "\n\n#title:a\n#X-UNKNOWN:1:2;  // c\n#notes:dance-solo:::1::\n100000\n;\n#bpms:0=9\n", 1,
         0},
        {"ssc block without #NOTES stays text", SongFormat::Ssc,
         "#NOTEDATA:;\n#STEPSTYPE:dance-single;\n#NOTEDATA:;\n#METER:1;\n#NOTES:\n1000\n;", 0, 1},
        {"damaged", SongFormat::Ssc, "#\n#:;#NOTES:\\", 0, 0},
        {"no records", SongFormat::Sm, "just text\n", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const chart::Song song = sm::ReadSong(c.text, c.flavor);
        EXPECT_EQ(song.charts.size(), c.charts);
        EXPECT_EQ(song.otherCharts.size(), c.otherCharts);
        EXPECT_EQ(sm::WriteSong(song), c.text);
    }
    const chart::Song sm = sm::ReadSong(kSm, SongFormat::Sm);
    EXPECT_EQ(sm.title, "Esc:aped;");
    EXPECT_EQ(sm.otherCharts.at(0).notes.Columns(), 5);
}

TEST(SmSong, AChangedChartIsRewrittenInPlaceAndADeletedOneGoes) {
    chart::Song sm = sm::ReadSong(kSm, SongFormat::Sm);
    sm.charts.at(0).notes.Set({144, 0, 0, chart::NoteKind::Mine});
    std::string expected = kSm;
    expected.replace(expected.find("0001\r\n"), 6, "M001\r\n");
    EXPECT_EQ(sm::WriteSong(sm), expected);

    chart::Song ssc = sm::ReadSong(kSsc, SongFormat::Ssc);
    ssc.charts.at(0).notes.Set({48, 7, 48, chart::NoteKind::Roll});
    ssc.charts.at(0).timing->stops.push_back({1.0, 500.0});
    ssc.charts.erase(ssc.charts.begin() + 1);
    ssc.title = "New:";
    std::string expectedSsc = kSsc;
    expectedSsc.erase(expectedSsc.find("#NOTEDATA:;\n#STEPSTYPE:dance-single"));
    expectedSsc.replace(expectedSsc.find("#TITLE:T;"), 9, "#TITLE:New\\:;");
    const std::string notes = "#NOTES:\n10000001\n00000000\n00000000\n";
    expectedSsc.replace(expectedSsc.find(notes), notes.size(),
                        "#STOPS:1=0.5;\n#NOTES:\n10000001\n00000004\n00000003\n");
    EXPECT_EQ(sm::WriteSong(ssc), expectedSsc);
}

TEST(SmSong, TimingIsReadExactly) {
    std::vector<std::string> leftOut;
    const chart::Song song =
        sm::ReadSong("#OFFSET:-0.5;#BPMS:4=60,0=120,8=-60;#STOPS:2=1.5;#DELAYS:1=0.25;#WARPS:6=2;"
                     "#FREEZES:3=0.125;#SAMPLESTART:12.5;",
                     SongFormat::Ssc, &leftOut);
    EXPECT_EQ(song.gapSeconds, 0.5f);
    EXPECT_EQ(song.bpm, 120.0f);
    EXPECT_EQ(song.changes, (std::vector<chart::BpmChange>{{4.0, 60.0}}));
    EXPECT_EQ(song.stops, (std::vector<chart::Stop>{{3.0, 125.0}})); // the later tag wins
    EXPECT_EQ(song.delays, (std::vector<chart::Delay>{{1.0, 250.0}}));
    EXPECT_EQ(song.warps, (std::vector<chart::Warp>{{6.0, 2.0}}));
    EXPECT_EQ(song.sampleStartSeconds, 12.5f);
    ASSERT_EQ(leftOut.size(), 1u);
    EXPECT_NE(leftOut[0].find("8=-60"), std::string::npos);
    // Beat 5: 0.5 s offset + 4 beats at 120 (2 s) + the delay at beat 1
    // (0.25 s) + the stop at beat 3 (0.125 s) + 1 beat at 60 (1 s).
    EXPECT_NEAR(song.Timing().SecondsAt(5.0), 3.875, 1e-9);
    // Before 0.7 a warp gave its end beat; a first tempo after beat 0 holds
    // from beat 0.
    const chart::Song old = sm::ReadSong("#VERSION:0.6;#WARPS:6=8;#BPMS:4=90;", SongFormat::Ssc);
    EXPECT_EQ(old.warps, (std::vector<chart::Warp>{{6.0, 2.0}}));
    EXPECT_EQ(old.bpm, 90.0f);
    // .sm has no delays or warps: kept as text.
    EXPECT_TRUE(sm::ReadSong("#DELAYS:1=1;#WARPS:1=1;", SongFormat::Sm).delays.empty());
}

chart::SongChart RandomChart(std::mt19937& random, std::string stepsType, std::uint8_t columns,
                             bool ownTiming) {
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    chart::SongChart chart;
    chart.stepsType = std::move(stepsType);
    chart.style = columns == 8 ? chart::ChartStyle::Double : chart::ChartStyle::Single;
    chart.difficulty = pick(2) ? "Hard" : "Edit";
    chart.description = pick(2) ? "" : "by: me; //";
    chart.rating = static_cast<std::uint32_t>(pick(20));
    chart.radarValues = "0.5,0.25";
    chart.notes = chart::NoteData(columns);
    static const int kSteps[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 48, 64, 96};
    for (std::int32_t row = 0; row < 192 * 8; row += kSteps[pick(12)]) {
        const auto kind = static_cast<chart::NoteKind>(pick(6));
        const bool hold =
            kind == chart::NoteKind::Roll || (kind == chart::NoteKind::Normal && pick(3) == 0);
        chart.notes.Set({row, static_cast<std::uint8_t>(pick(columns)), hold ? 1 + pick(300) : 0,
                         kind, static_cast<std::uint16_t>(pick(3) == 0 ? pick(1000) : 0)});
    }
    chart.lengthRows = 192 * (10 + pick(3));
    if (ownTiming) {
        chart.timing = chart::ChartTiming{97.5f, -0.125f, {{3.0, 200.0}}, {{1.0, 62.5}}, {}, {}};
    }
    return chart;
}

TEST(SmSong, RandomSongsWrittenReadBackMeanTheSame) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const bool ssc = round % 2 == 0;
        chart::Song song;
        song.format = ssc ? SongFormat::Ssc : SongFormat::Sm;
        song.lineEnd = round % 3 == 0 ? "\n" : "\r\n";
        song.title = "A:b;c\\d#e//f";
        song.artist = "x";
        song.bpm = std::uniform_real_distribution<float>(30.0f, 400.0f)(random);
        song.gapSeconds = std::uniform_real_distribution<float>(-2.0f, 2.0f)(random);
        song.changes = {{2.5, std::uniform_real_distribution<double>(1.0, 999.0)(random)}};
        song.stops = {{1.0 / 3.0, std::uniform_real_distribution<double>(0.0, 9000.0)(random)}};
        if (ssc) {
            song.delays = {{4.0, 12.345}};
            song.warps = {{8.0, 0.1}};
        }
        song.sampleStartSeconds = 7.1f;
        song.charts.push_back(RandomChart(random, "dance-single", 4, ssc));
        song.charts.push_back(RandomChart(random, "dance-double", 8, false));
        song.otherCharts.push_back(RandomChart(random, "pump-single", 5, false));
        const std::string written = sm::WriteSong(song);
        chart::Song read = sm::ReadSong(written, song.format);
        EXPECT_TRUE(chart::SameContent(song, read));
        // The song read, edited, written and read again.
        read.charts.at(1).notes.Set({192 * 9, 0, 96, chart::NoteKind::Roll});
        read.charts.at(0).rating += 1;
        read.otherCharts.clear();
        read.stops.clear();
        EXPECT_TRUE(chart::SameContent(read, sm::ReadSong(sm::WriteSong(read), song.format)));
    }
}

} // namespace

// Damaged and foreign files: values the editor cannot work with are left
// out and named, files of another kind are refused, and nothing of the text
// is lost on the way back.
#include "dwi/DwiSong.h"

#include <gtest/gtest.h>

namespace {

using Changes = std::vector<chart::BpmChange>;
using Stops = std::vector<chart::Stop>;

TEST(DamagedChart, UnusableTimingIsLeftOutNamedAndWrittenBackAsItWas) {
    const std::string kBpm = " (a BPM must lie between 0.01 and 10000)";
    const std::string kGap = " (a Gap must lie within 3600000 ms of the song's start)";
    const std::string kStop = " (a stop must last from 0 to 3600000 ms)";
    const std::string kBefore = " (its beat lies before the first beat)";
    struct Case {
        std::string text;
        float bpm; // 0.01 is the song's own when no BPM is taken
        float gapSeconds;
        Changes changes;
        Stops stops;
        std::vector<std::string> leftOut;
    };
    const Case cases[] = {
        {"#BPM:0;", 0.01f, 0, {}, {}, {"#BPM:0" + kBpm}},
        {"#BPM:-128;", 0.01f, 0, {}, {}, {"#BPM:-128" + kBpm}},
        {"#BPM:0.009;", 0.01f, 0, {}, {}, {"#BPM:0.009" + kBpm}},
        {"#BPM:0.01;", 0.01f, 0, {}, {}, {}},
        {"#BPM:10000;", 10000, 0, {}, {}, {}},
        {"#BPM:10000.01;", 0.01f, 0, {}, {}, {"#BPM:10000.01" + kBpm}},
        {"#BPM:140;#BPM:0;", 140, 0, {}, {}, {"#BPM:0" + kBpm}},
        {"#GAP:1e20;", 0.01f, 0, {}, {}, {"#GAP:1e20" + kGap}},
        {"#GAP:-3600000;", 0.01f, -3600, {}, {}, {}},
        {"#GAP:3600000.5;", 0.01f, 0, {}, {}, {"#GAP:3600000.5" + kGap}},
        {"#GAP:-12;", 0.01f, -0.012f, {}, {}, {}},
        {"#CHANGEBPM:4=150,8=0,-4=120,12=10001;",
         0.01f,
         0,
         {{1, 150}},
         {},
         {"#CHANGEBPM item 8=0" + kBpm, "#CHANGEBPM item -4=120" + kBefore,
          "#CHANGEBPM item 12=10001" + kBpm}},
        {"#FREEZE:4=-10,8=500,0=0,-1=5,16=3600001;",
         0.01f,
         0,
         {},
         {{2, 500}, {0, 0}},
         {"#FREEZE item 4=-10" + kStop, "#FREEZE item -1=5" + kBefore,
          "#FREEZE item 16=3600001" + kStop}},
        {"#BPM:" + std::string(50, '0') + ";",
         0.01f,
         0,
         {},
         {},
         {"#BPM:" + std::string(40, '0') + "..." + kBpm}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string file = "#TITLE:t;\r\n" + c.text + "\r\n#SINGLE:BASIC:3:0800;\r\n";
        std::vector<std::string> leftOut;
        const chart::Song song = dwi::ReadSong(file, &leftOut);
        EXPECT_FLOAT_EQ(song.bpm, c.bpm);
        EXPECT_FLOAT_EQ(song.gapSeconds, c.gapSeconds);
        EXPECT_EQ(song.changes, c.changes);
        EXPECT_EQ(song.stops, c.stops);
        EXPECT_EQ(leftOut, c.leftOut);
        EXPECT_TRUE(dwi::HoldsDwiRecords(song));
        EXPECT_EQ(dwi::WriteSong(song), file) << "left out is not lost";
    }
}

TEST(DamagedChart, AFileWithNoRecordOfTheFormatIsRefused) {
    std::string noise;
    unsigned state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        noise += static_cast<char>(state >> 16);
    }
    struct Case {
        std::string text;
        bool isDwi;
    };
    const Case cases[] = {
        {"", false},
        {noise, false},
        {"#FOO:1;\n#BAR:2;", false},
        {"[Song]\nTitle=x\n", false},
        {"#foo:1;#genre:Pop;", true}, // a kept record of the format, after a foreign one
        {"#bpm:0;", true},            // unusable, but of the format
        {"#SINGLE:BASIC:1:;", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 30));
        EXPECT_EQ(dwi::HoldsDwiRecords(dwi::ReadSong(c.text)), c.isDwi);
    }
}

TEST(DamagedChart, TheMessageNamesTheFileAndListsAtMostTenValues) {
    EXPECT_EQ(dwi::LeftOutMessage("/s/a.dwi", {}), "");
    EXPECT_EQ(dwi::LeftOutMessage("/s/a.dwi", {"#BPM:0 (x)"}),
              "\"/s/a.dwi\" holds values the editor cannot work with. They are left out, and "
              "kept in the file as they stand:\r\n#BPM:0 (x)");
    const std::vector<std::string> many(12, "v");
    const std::string message = dwi::LeftOutMessage("a.dwi", many);
    EXPECT_EQ(message.substr(message.find("\r\n")),
              "\r\nv\r\nv\r\nv\r\nv\r\nv\r\nv\r\nv\r\nv\r\nv\r\nv\r\nand 2 more.");
}

} // namespace

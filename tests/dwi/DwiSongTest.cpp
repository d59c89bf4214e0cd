#include "dwi/DwiSong.h"

#include "dwi/DwiNumbers.h"
#include "dwi/DwiSteps.h"
#include "dwi/DwiWriter.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using chart::ChartStyle;
using chart::Note;
using chart::Song;
using chart::SongChart;

// Columns of a single pad: 0 Left, 1 Down, 2 Up, 3 Right. Worked by hand
// from the notation (48 rows a beat; 8ths, 16ths, 24ths, 64ths, 192nds).
TEST(ReadPadSteps, GivesTheNotesAndLength) {
    struct Case {
        const char* text;
        std::vector<Note> notes;
        std::int32_t lengthRows;
    };
    for (const Case& c : {
             Case{"0824", {{24, 2, 0}, {48, 1, 0}, {72, 0, 0}}, 96},
             Case{"1B", {{0, 0, 0}, {0, 1, 0}, {24, 0, 0}, {24, 3, 0}}, 48},
             Case{"(8080)2", {{0, 2, 0}, {24, 2, 0}, {48, 1, 0}}, 72},
             Case{"[800800]", {{0, 2, 0}, {24, 2, 0}}, 48},
             Case{"{8008}", {{0, 2, 0}, {9, 2, 0}}, 12}, Case{"`84'", {{0, 2, 0}, {1, 0, 0}}, 2},
             // Brackets do not nest: any closing one returns to 8ths; an
             // unclosed one runs to the end.
             Case{"([88]8)8", {{0, 2, 0}, {8, 2, 0}, {16, 2, 0}, {40, 2, 0}}, 64},
             Case{"(8888", {{0, 2, 0}, {12, 2, 0}, {24, 2, 0}, {36, 2, 0}}, 48},
             Case{"<248>0", {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}}, 48},
             Case{"0<B A>", {{24, 0, 0}, {24, 1, 0}, {24, 2, 0}, {24, 3, 0}}, 48},
             Case{"8!800008", {{0, 2, 120}}, 144},
             Case{"8!8(0000)\r\n00000000\r\n(8)", {{0, 2, 264}}, 276},
             Case{"B!60006", {{0, 0, 0}, {0, 3, 96}}, 120},
             Case{"<8!82!2>0A", {{0, 1, 48}, {0, 2, 48}}, 72},
             // The note that ends a hold is no tap, a later one is; a hold
             // that never ends is a tap.
             Case{"8!8088", {{0, 2, 48}, {72, 2, 0}}, 96}, Case{"8!8000", {{0, 2, 0}}, 96},
             Case{"8!200", {{0, 1, 0}, {0, 2, 0}}, 72}, Case{"8!", {{0, 2, 0}}, 24},
             Case{"8 \r\n8x8", {{0, 2, 0}, {24, 2, 0}, {48, 2, 0}}, 72},
             Case{"585", {{24, 2, 0}}, 72}, // 5 is an empty step
             Case{"C8", {{24, 2, 0}}, 48},  // a solo panel has no column in SINGLE
         }) {
        chart::NoteData notes(4);
        EXPECT_EQ(dwi::ReadPadSteps(c.text, ChartStyle::Single, 0, notes), c.lengthRows) << c.text;
        EXPECT_EQ(notes.Notes(), c.notes) << c.text;
    }
}

TEST(ReadSong, ReadsEveryStyleAndRecordTheWayGameReadersDo) {
    const std::string file = "\xEF\xBB\xBF// written by hand\n"
                             "#title:Caf\xE9;\n"
                             "#ARTIST:A: B;\n"
                             "#BPM:150;\n"
                             "#GAP:-120;\n"
                             "#CHANGEBPM:256=300,6.5=75,bad,=1;\n"
                             "#FREEZE:128=500.5;\n"
                             "#GENRE:Trance\n" // missing ';' ends at the next record
                             "#SINGLE:BASIC:3:88;\n"
                             "#DOUBLE:MANIAC:12:8 // left pad\n:2;\n"
                             "#COUPLE:ANOTHER:5:4:6;\n"
                             "#SOLO:SMANIAC:9:CDEFGHIJKLM;\n"
                             "#SINGLE:BROKEN;\n";
    const Song song = dwi::ReadSong(file);
    EXPECT_EQ(song.title, "Caf\xC3\xA9");
    EXPECT_EQ(song.artist, "A: B");
    EXPECT_EQ(song.bpm, 150.0f);
    EXPECT_EQ(song.gapSeconds, -0.12f);
    EXPECT_EQ(song.changes, (std::vector<chart::BpmChange>{{64.0, 300.0}, {1.625, 75.0}}));
    EXPECT_EQ(song.stops, (std::vector<chart::Stop>{{32.0, 500.5}}));
    EXPECT_EQ(song.lineEnd, "\n");
    ASSERT_EQ(song.charts.size(), 4u);
    EXPECT_EQ(song.charts[0].notes.Size(), 2u);
    EXPECT_EQ(song.charts[1].style, ChartStyle::Double);
    EXPECT_EQ(song.charts[1].rating, 12u);
    EXPECT_EQ(song.charts[1].notes.Notes(), (std::vector<Note>{{0, 2, 0}, {0, 5, 0}}));
    EXPECT_EQ(song.charts[2].notes.Notes(), (std::vector<Note>{{0, 0, 0}, {0, 7, 0}}));
    EXPECT_EQ(song.charts[3].style, ChartStyle::Solo);
    EXPECT_EQ(song.charts[3].notes.Size(), 20u);            // C and D one panel, E-M two each
    EXPECT_EQ(song.charts[3].notes.Find(0, 1)->column, 1);  // C: up-left
    EXPECT_EQ(song.charts[3].notes.Find(24, 4)->column, 4); // D: up-right
    // The missing ';' did not swallow the chart after it; the broken chart
    // record is kept as it stands.
    ASSERT_EQ(song.records.size(), 12u);
    EXPECT_EQ(song.records[6].text, "#GENRE:Trance");
    EXPECT_FALSE(song.records[6].terminated);
    EXPECT_FALSE(song.records[11].interpreted);
    EXPECT_EQ(song.leadingText, "\xEF\xBB\xBF// written by hand\n");
    EXPECT_EQ(song.records[0].trailing, "\n");
    // Records the song keeps as text, and the numbers as the file writes them.
    EXPECT_EQ(dwi::KeptRecordValue(song, "GENRE"), "Trance");
    EXPECT_EQ(dwi::KeptRecordValue(song, "BPM"), std::nullopt);
    EXPECT_EQ(dwi::RecordNumber(song, "GAP"), -120.0);
    EXPECT_EQ(dwi::RecordNumber(song, "GENRE"), std::nullopt);
}

// Files as other tools write them: every one must come back byte for byte.
const char* const kFixtures[] = {
    "#TITLE:Plain;\r\n#ARTIST:X;\r\n#BPM:128.000;\r\n#GAP:500;\r\n#SINGLE:BASIC:3:\r\n"
    "00080008(2424)0000\r\n8!80008000<246>[080808]\r\n;\r\n",
    "#STATUS:NEW\r\n#TITLE:;\r\n#ARTIST:;\r\n#BPM:0.010000;\r\n#GAP:0.000;\r\n\r\n"
    "#SAMPLESTART:0.00000;\r\n#SAMPLELENGTH:5.00000;\r\n#SINGLE:BASIC:1:000;\r\n",
    "  leading junk\n#bpm:140\n#FREEZE:4=100\n// trailing comment\n#double:HEAVY:7:88:22",
    "#TITLE:no end\n#GAP:-1.5e2;;;#SINGLE:a:b:c:d:e;\n\n\n#:;#;##",
    "#SINGLE:BASIC:1:`8!8'0(0)[0]{0}8;\r\n#SOLO:X:1:<CDM>!K0000K;\r\n#FILE:.\\Songs\\X.MP3;",
    "", // an empty file stays empty
    "no records at all\n",
};

TEST(WriteSong, FilesReadAndWrittenWithoutAnEditComeBackByteForByte) {
    for (const char* fixture : kFixtures) {
        EXPECT_EQ(dwi::WriteSong(dwi::ReadSong(fixture)), fixture);
    }
    EXPECT_EQ(dwi::KeptRecordValue(dwi::ReadSong(kFixtures[4]), "FILE"), ".\\Songs\\X.MP3");
}

TEST(WriteSong, AnEditRewritesOnlyItsRecordInPlace) {
    const std::string file = "#TITLE:Old;\r\n#BPM:128.000;\r\n#GENRE:Pop;\r\n"
                             "#SINGLE:BASIC:3:\r\n0808\r\n;\r\n#SINGLE:MANIAC:8:\r\n(8888);\r\n";
    Song song = dwi::ReadSong(file);
    song.title = "New";
    song.charts[1].notes.Set({96, 0, 24}); // a hold in the second chart
    song.changes.push_back({8.0, 64.0});
    EXPECT_EQ(dwi::WriteSong(song), "#TITLE:New;\r\n#BPM:128.000;\r\n#GENRE:Pop;\r\n"
                                    "#CHANGEBPM:32=64;\r\n"
                                    "#SINGLE:BASIC:3:\r\n0808\r\n;\r\n"
                                    "#SINGLE:MANIAC:8:\r\n(8888)004!44;\r\n");
    // A new chart goes after the last one; a deleted chart takes its line along.
    song = dwi::ReadSong(file);
    SongChart added;
    added.style = ChartStyle::Double;
    added.notes = chart::NoteData(8);
    added.notes.Set({0, 6, 0});
    added.lengthRows = 24;
    song.charts.erase(song.charts.begin());
    song.charts.push_back(added);
    EXPECT_EQ(dwi::WriteSong(song), "#TITLE:Old;\r\n#BPM:128.000;\r\n#GENRE:Pop;\r\n"
                                    "#SINGLE:MANIAC:8:\r\n(8888);\r\n"
                                    "#DOUBLE:BASIC:1:\r\n0:\r\n8;\r\n");
}

TEST(WriteSong, ANewSongIsWrittenAsTheOneChartLayoutWhenThatCanHoldIt) {
    Song song;
    song.title = "T";
    song.artist = "A";
    song.bpm = 128.5f;
    song.gapSeconds = 0.001f;
    song.sampleStartSeconds = 10.0f;
    song.sampleLengthSeconds = 7.5f;
    song.charts = dwi::ReadSong("#SINGLE:MANIAC:7:0802B0000;").charts;
    EXPECT_EQ(dwi::WriteSong(song),
              dwi::FormatDwi("T", "A", 128.5f, 0.001f, 10.0f, 7.5f, "MANIAC", 7, "0802B0000"));
    // Finer notes and holds need the full notation, one measure a line.
    song.charts[0].notes.Set({36, 2, 0});
    song.charts[0].notes.Set({192, 0, 48});
    song.charts[0].lengthRows = 264;
    const std::string written = dwi::WriteSong(song);
    EXPECT_NE(written.find("#SINGLE:MANIAC:7:\r\n0(88)02B000\r\n4!404;\r\n"), std::string::npos)
        << written;
}

TEST(WriteSong, ChoosesTheCoarsestBracketForEachHalfBeat) {
    SongChart chart;
    const std::vector<Note> notes{{0, 0, 0},   {36, 1, 0},  {56, 2, 0},  {96, 3, 0}, {97, 0, 0},
                                  {144, 0, 0}, {144, 1, 0}, {144, 2, 0}, {168, 3, 0}};
    for (const Note& note : notes) {
        chart.notes.Set(note);
    }
    chart.lengthRows = 192;
    EXPECT_EQ(dwi::WritePadSteps(chart, 0, "\n"),
              "4(02)[080]0`64" + std::string(22, '0') + "'0<18>6");
}

// Random documents: every construct, every style, values as the file keeps
// them (BPM to 6 decimals, Gap to a microsecond).
Song RandomSong(std::mt19937& random) {
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    Song song;
    song.title = pick(2) ? "Title " + std::to_string(pick(1000)) : "Caf\xC3\xA9 :";
    song.artist = pick(2) ? std::string() : "Art:ist";
    song.bpm =
        static_cast<float>(dwi::ParseDouble(dwi::FormatFixed(20.0 + pick(40000) / 97.0, 3, 6)));
    song.gapSeconds =
        static_cast<float>(dwi::ParseDouble(dwi::FormatFixed(pick(20000) - 5000.0, 5, 3)) * 0.001);
    for (int i = pick(4); i > 0; --i) {
        song.changes.push_back({pick(4000) / 16.0, 60.0 + pick(3000) / 10.0});
    }
    for (int i = pick(3); i > 0; --i) {
        song.stops.push_back({pick(4000) / 8.0, pick(20000) / 4.0});
    }
    static constexpr ChartStyle kStyles[] = {ChartStyle::Single, ChartStyle::Double,
                                             ChartStyle::Couple, ChartStyle::Solo};
    static constexpr std::int32_t kSteps[] = {24, 12, 8, 3, 1, 6};
    for (int c = pick(5); c >= 0; --c) {
        SongChart chart;
        chart.style = kStyles[pick(4)];
        chart.difficulty = pick(2) ? "BASIC" : "SMANIAC";
        chart.rating = static_cast<std::uint32_t>(pick(100));
        chart.notes = chart::NoteData(chart::ColumnsOf(chart.style));
        const std::int32_t step = kSteps[pick(6)];
        for (int n = pick(200); n > 0; --n) {
            const std::int32_t row = pick(400) * step;
            const auto column = static_cast<std::uint8_t>(pick(chart::ColumnsOf(chart.style)));
            chart.notes.Set({row, column, pick(4) == 0 ? (1 + pick(20)) * step : 0});
        }
        chart.lengthRows = std::max(chart.notes.EndRow() + pick(3) * 24, pick(2) * 96);
        song.charts.push_back(std::move(chart));
    }
    return song;
}

TEST(WriteSong, WriteThenReadGivesTheSameDocumentForRandomSongs) {
    std::mt19937 random(20261207);
    for (int i = 0; i < 1500; ++i) {
        const Song song = RandomSong(random);
        const std::string written = dwi::WriteSong(song);
        const Song read = dwi::ReadSong(written);
        ASSERT_TRUE(chart::SameContent(song, read)) << "song " << i << ":\n" << written;
        // And a file we read is written back unchanged.
        ASSERT_EQ(dwi::WriteSong(read), written) << "song " << i;
    }
}

TEST(WriteSong, EditsOfAReadSongSurviveWriteThenRead) {
    std::mt19937 random(7);
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    for (int i = 0; i < 500; ++i) {
        const Song original = RandomSong(random);
        const std::string file =
            "#GENRE:Pop;\n// comment\n" + dwi::WriteSong(original) + "#BANNER:b.png\n";
        Song song = dwi::ReadSong(file);
        switch (pick(5)) {
        case 0:
            song.title += "!";
            break;
        case 1:
            song.charts.erase(song.charts.begin() + pick(static_cast<int>(song.charts.size())));
            break;
        case 2:
            song.charts.push_back(RandomSong(random).charts.front());
            break;
        case 3:
            song.charts.back().notes.Set({pick(100) * 12, 0, 24});
            song.charts.back().lengthRows =
                std::max(song.charts.back().lengthRows, song.charts.back().notes.EndRow());
            break;
        default:
            song.stops.push_back({1.5, 250.0});
            break;
        }
        const std::string written = dwi::WriteSong(song);
        ASSERT_TRUE(chart::SameContent(song, dwi::ReadSong(written))) << i << ":\n" << written;
        EXPECT_EQ(written.rfind("#GENRE:Pop;\n// comment\n", 0), 0u);
    }
}

// Fixed fault: a hostile file of many empty records cost memory and time
// per record; they now join one block of text as they come.
TEST(ReadSong, HostileTextReadsWithoutRecordsGoingAstray) {
    std::string hostile;
    for (int i = 0; i < 200000; ++i) {
        hostile += "\n#";
    }
    hostile += "SINGLE:X:1:" + std::string(100000, '(') + "8;";
    const Song song = dwi::ReadSong(hostile);
    EXPECT_EQ(song.records.size(), 2u); // the empty records are one block of text
    ASSERT_EQ(song.charts.size(), 1u);
    EXPECT_EQ(song.charts[0].lengthRows, 12);
    EXPECT_EQ(dwi::WriteSong(song), hostile);
}

} // namespace

#include "dwi/DwiSong.h"

#include "dwi/DwiNumbers.h"
#include "dwi/DwiSteps.h"
#include "dwi/DwiWriter.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace {

using chart::ChartStyle;
using chart::Note;
using chart::Song;
using chart::SongChart;
using Notes = std::vector<Note>;

// Every style and kind of record as game readers read them: a missing ";"
// ends at the next record instead of swallowing the chart after it; a
// broken chart record is kept as it stands.
TEST(ReadSong, ReadsEveryStyleAndRecordTheWayGameReadersDo) {
    const Song song = dwi::ReadSong(
        "\xEF\xBB\xBF// written by hand\n#title:Caf\xE9;\n#ARTIST:A: B;\n#BPM:150;\n#GAP:-120;\n"
        "#CHANGEBPM:256=300,6.5=75,bad,=1;\n#FREEZE:128=500.5;\n#GENRE:Trance\n"
        "#SINGLE:BASIC:3:88;\n#DOUBLE:MANIAC:12:8 // left pad\n:2;\n#COUPLE:ANOTHER:5:4:6;\n"
        "#SOLO:SMANIAC:9:CDEFGHIJKLM;\n#SINGLE:BROKEN;\n#SINGLE:X:1:8!200;\n");
    EXPECT_EQ(std::tuple(song.title, song.artist, song.bpm, song.gapSeconds, song.lineEnd),
              std::tuple("Caf\xC3\xA9", "A: B", 150.0f, -0.12f, "\n"));
    EXPECT_EQ(std::pair(song.changes, song.stops),
              std::pair(std::vector<chart::BpmChange>{{64.0, 300.0}, {1.625, 75.0}},
                        std::vector<chart::Stop>{{32.0, 500.5}}));
    ASSERT_EQ(song.charts.size(), 5u);
    EXPECT_EQ(song.charts[0].notes.Size(), 2u);
    // Fixed fault: a hold started on an arrow the step does not show stays a tap.
    EXPECT_EQ(song.charts[4].notes.Notes(), (Notes{{0, 1, 0}, {0, 2, 0}}));
    EXPECT_EQ(std::tuple(song.charts[1].style, song.charts[1].difficulty, song.charts[1].rating),
              std::tuple(ChartStyle::Double, "MANIAC", 12u));
    EXPECT_EQ(std::pair(song.charts[1].notes.Notes(), song.charts[2].notes.Notes()),
              std::pair(Notes{{0, 2, 0}, {0, 5, 0}}, Notes{{0, 0, 0}, {0, 7, 0}}));
    // SOLO: C up-left, D up-right one panel each, E-M two each.
    EXPECT_EQ(std::tuple(song.charts[3].style, song.charts[3].notes.Size(),
                         song.charts[3].notes.Notes()[0], song.charts[3].notes.Notes()[1]),
              std::tuple(ChartStyle::Solo, 20u, Note{0, 1, 0}, Note{24, 4, 0}));
    ASSERT_EQ(song.records.size(), 13u);
    EXPECT_EQ(std::tuple(song.records[6].text, song.records[6].terminated,
                         song.records[11].interpreted, song.records[0].trailing, song.leadingText),
              std::tuple("#GENRE:Trance", false, false, "\n", "\xEF\xBB\xBF// written by hand\n"));
    // Records the song keeps as text, and the numbers as the file writes them.
    EXPECT_EQ(std::pair(dwi::KeptRecordValue(song, "GENRE"), dwi::RecordNumber(song, "GAP")),
              std::pair(std::optional<std::string>("Trance"), std::optional(-120.0)));
}

// Files as other tools write them come back byte for byte; an edit rewrites
// only its record in place, a record the file lacked goes before the first
// chart, a new chart after the last.
TEST(WriteSong, FilesComeBackByteForByteAndAnEditRewritesOnlyItsRecord) {
    for (const char* file :
         {"#TITLE:Plain;\r\n#ARTIST:X;\r\n#BPM:128.000;\r\n#GAP:500;\r\n#SINGLE:BASIC:3:\r\n"
          "00080008(2424)0000\r\n8!80008000<246>[080808]\r\n;\r\n",
          "  leading junk\n#bpm:140\n#FREEZE:4=100\n// trailing comment\n#double:HEAVY:7:88:22",
          "#TITLE:no end\n#GAP:-1.5e2;;;#SINGLE:a:b:c:d:e;\n\n\n#:;#;##",
          "#SINGLE:BASIC:1:`8!8'0(0)[0]{0}8;\r\n#SOLO:X:1:<CDM>!K0000K;\r\n#FILE:.\\X.MP3;", "",
          "no records at all\n"}) {
        EXPECT_EQ(dwi::WriteSong(dwi::ReadSong(file)), file);
    }
    Song song = dwi::ReadSong("#TITLE:Old;\r\n#BPM:128.000;\r\n#GENRE:Pop;\r\n#SINGLE:BASIC:3:\r\n"
                              "0808\r\n;\r\n#SINGLE:MANIAC:8:\r\n(8888);\r\n");
    song.title = "New";
    song.charts[1].notes.Set({96, 0, 24}); // a hold in the second chart
    song.changes.push_back({8.0, 64.0});
    song.charts.erase(song.charts.begin());
    song.charts.push_back(dwi::ReadSong("#DOUBLE:BASIC:1:0:8;").charts[0]);
    song.charts.back().sourceId = 0; // a chart the file does not have
    EXPECT_EQ(dwi::WriteSong(song), "#TITLE:New;\r\n#BPM:128.000;\r\n#GENRE:Pop;\r\n"
                                    "#CHANGEBPM:32=64;\r\n#SINGLE:MANIAC:8:\r\n(8888)004!44;\r\n"
                                    "#DOUBLE:BASIC:1:\r\n0:\r\n8;\r\n");
}

// A new song is written in the one-chart layout (as the one-chart writer
// writes it) while its charts allow; finer notes and holds need the full
// notation, one measure a line.
TEST(WriteSong, ANewSongIsWrittenAsTheOneChartLayoutWhenThatCanHoldIt) {
    Song song;
    song.artist = "a;b:c"; // text is written as it is, separators and all
    song.bpm = 9.5f;
    song.gapSeconds = -0.25f;
    song.sampleStartSeconds = 12.5f;
    song.sampleLengthSeconds = 7.25f;
    song.charts = dwi::ReadSong("#SINGLE:MANIAC:7:0802B0000;").charts;
    const std::string layout = "#STATUS:NEW\r\n#TITLE:;\r\n#ARTIST:a;b:c;\r\n#BPM:9.500000;\r\n"
                               "#GAP:-250.000;\r\n\r\n#SAMPLESTART:12.50000;\r\n"
                               "#SAMPLELENGTH:7.25000;\r\n#SINGLE:MANIAC:7:0802B0000;\r\n";
    EXPECT_EQ(dwi::WriteSong(song), layout);
    EXPECT_EQ(dwi::FormatDwi("", "a;b:c", 9.5f, -0.25f, 12.5f, 7.25f, "MANIAC", 7, "0802B0000"),
              layout);
    song.charts[0].notes.Set({36, 2, 0});
    song.charts[0].notes.Set({192, 0, 48});
    song.charts[0].lengthRows = 384;
    EXPECT_EQ(dwi::WriteSong(song), layout.substr(0, layout.find("#SINGLE")) +
                                        "#SINGLE:MANIAC:7:\r\n0(88)02B000\r\n4!40400000;\r\n");
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
    song.bpm = float(dwi::ParseDouble(dwi::FormatFixed(20.0 + pick(40000) / 97.0, 3, 6)));
    song.gapSeconds = float(dwi::ParseDouble(dwi::FormatFixed(pick(20000) - 5000.0, 5, 3)) * 0.001);
    for (int i = pick(4); i > 0; --i) {
        song.changes.push_back({pick(4000) / 16.0, 60.0 + pick(3000) / 10.0});
    }
    for (int i = pick(3); i > 0; --i) {
        song.stops.push_back({pick(4000) / 8.0, pick(20000) / 4.0});
    }
    for (int c = pick(5); c >= 0; --c) {
        SongChart& chart = song.charts.emplace_back();
        chart.style = ChartStyle(pick(4));
        chart.difficulty = pick(2) ? "BASIC" : "SMANIAC";
        chart.rating = static_cast<std::uint32_t>(pick(100));
        chart.notes = chart::NoteData(chart::ColumnsOf(chart.style));
        const std::int32_t step = std::array{24, 12, 8, 3, 1, 6}[static_cast<std::size_t>(pick(6))];
        for (int n = pick(200); n > 0; --n) {
            const auto column = static_cast<std::uint8_t>(pick(chart::ColumnsOf(chart.style)));
            chart.notes.Set({pick(400) * step, column, pick(4) == 0 ? (1 + pick(20)) * step : 0});
        }
        chart.lengthRows = std::max(chart.notes.EndRow() + pick(3) * 24, pick(2) * 96);
    }
    return song;
}

// Every random song written reads back as the same document, and a file we
// read is written back unchanged, records of its own included; a random
// edit of it survives writing and reading back, the records before the
// charts kept.
TEST(WriteSong, RandomSongsAndEditsOfThemSurviveWriteThenRead) {
    std::mt19937 random(20261207);
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    for (int i = 0; i < 1500; ++i) {
        const Song original = RandomSong(random);
        const std::string file =
            "#GENRE:Pop;\n// comment\n" + dwi::WriteSong(original) + "#BANNER:b.png\n";
        ASSERT_TRUE(chart::SameContent(dwi::ReadSong(dwi::WriteSong(original)), original)) << file;
        Song song = dwi::ReadSong(file);
        ASSERT_EQ(dwi::WriteSong(song), file) << "song " << i;
        SongChart& last = song.charts.back();
        const std::function<void()> kEdits[] = {
            [&] { song.title += "!"; },
            [&] { song.charts.erase(song.charts.begin() + pick(int(song.charts.size()))); },
            [&] { song.charts.push_back(RandomSong(random).charts.front()); },
            [&] { song.stops.push_back(chart::Stop(1.5, 250.0)); },
            [&] {
                last.notes.Set(Note(pick(100) * 12, 0, 24));
                last.lengthRows = std::max(last.lengthRows, last.notes.EndRow());
            }};
        kEdits[pick(5)]();
        const std::string written = dwi::WriteSong(song);
        ASSERT_TRUE(chart::SameContent(song, dwi::ReadSong(written))) << i << ":\n" << written;
        EXPECT_EQ(written.rfind("#GENRE:Pop;\n// comment\n", 0), 0u);
    }
}

// Fixed fault: a hostile file of many empty records cost memory and time
// per record; they now join one block of text as they come.
TEST(ReadSong, HostileTextReadsWithoutRecordsGoingAstray) {
    std::string hostile(400000, '#');
    for (std::size_t i = 0; i < hostile.size(); i += 2) {
        hostile[i] = '\n';
    }
    hostile += "SINGLE:X:1:" + std::string(100000, '(') + "8;";
    const Song song = dwi::ReadSong(hostile);
    EXPECT_EQ(song.records.size(), 2u); // the empty records are one block of text
    ASSERT_EQ(song.charts.size(), 1u);
    EXPECT_EQ(song.charts[0].lengthRows, 12);
    EXPECT_EQ(dwi::WriteSong(song), hostile);
}

} // namespace

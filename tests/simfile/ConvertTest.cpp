#include "simfile/Convert.h"

#include "dwi/DwiSong.h"

#include <gtest/gtest.h>

namespace {

using chart::Note;
using chart::NoteKind;
using chart::SongFormat;

std::string Texts(const chart::Song& song) {
    std::string texts;
    for (const chart::SourceRecord& record : song.records) {
        texts += record.text + "|";
    }
    return texts;
}

chart::SourceRecord Kept(std::string text, std::uint32_t chartId = 0) {
    chart::SourceRecord record;
    record.key = text.substr(1, text.find(':') - 1);
    record.text = std::move(text);
    record.chartId = chartId;
    return record;
}

// One of everything .dwi cannot hold, on 8th-note rows of a SINGLE chart.
chart::Song OneOfEverything() {
    chart::Song song;
    song.format = SongFormat::Ssc;
    song.readFromFile = true;
    song.title = "T";
    song.bpm = 120.0f;
    song.gapSeconds = -0.5f;
    song.delays = {{4.0, 250.0}};
    song.warps = {{8.0, 2.0}, {12.0, 1.0}};
    chart::SongChart hard;
    hard.difficulty = "Hard";
    hard.rating = 9;
    hard.stepsType = "dance-single";
    hard.sourceId = 1;
    for (const Note& note :
         {Note{0, 0, 0, NoteKind::Normal, 3}, Note{0, 3, 0, NoteKind::Mine},
          Note{24, 2, 48, NoteKind::Roll}, Note{48, 1, 0, NoteKind::Lift},
          Note{96, 0, 0, NoteKind::Fake}, Note{120, 3, 0, NoteKind::AutoKeysound}}) {
        hard.notes.AppendSorted(note);
    }
    chart::SongChart expert;
    expert.style = chart::ChartStyle::Double;
    expert.notes = chart::NoteData(8);
    expert.difficulty = "Challenge";
    expert.description = "Expert";
    expert.timing = chart::ChartTiming{140.0f, 0.0f, {}, {}, {}, {}};
    chart::SongChart edit;
    edit.difficulty = "Edit";
    edit.description = "My Edit";
    song.charts = {hard, expert, edit};
    chart::SongChart pump;
    pump.stepsType = "pump-single";
    pump.notes = chart::NoteData(5);
    song.otherCharts = {pump, pump};
    song.records = {Kept("#MUSIC:a.ogg;"),
                    Kept("#BANNER:b.png;"),
                    Kept("#SPEEDS:0.000=1.000=0.000=0,16.000=2.000=0.000=0,32=1=0=0;"),
                    Kept("#VERSION:0.83;"),
                    Kept("#LABELS:0.000=Song Start;"),
                    Kept("#SUBTITLE:x;"),
                    Kept("#CHARTNAME:y;", 1),
                    Kept("#DISPLAYBPM:100:200;")};
    return song;
}

// .ssc -> .dwi and .ssc -> .sm, then back up to .ssc from each: what is
// lost once stays lost, and nothing more goes.
TEST(Convert, OneOfEverythingDownAndBackUp) {
    struct Case {
        SongFormat target;
        const char* losses;
        std::size_t charts;
        std::size_t otherCharts;
        const char* records;
    };
    const Case cases[] = {
        {SongFormat::Dwi,
         "1 mine, 1 roll (written as a hold), 1 lift (written as a tap), 1 fake, 1 keysound-only "
         "note, 1 keysound index, 1 delay, 2 warps, 2 speed changes, per-chart timing of "
         "'Expert', Edit chart 'My Edit', 1 chart description, 2 pump-single charts, #BANNER, "
         "#SUBTITLE, #CHARTNAME",
         2, 0, "#FILE:a.ogg;|#DISPLAYBPM:100..200;|"},
        {SongFormat::Sm,
         "1 delay, 2 warps, 2 speed changes, per-chart timing of 'Expert', #CHARTNAME", 3, 2,
         "#MUSIC:a.ogg;|#BANNER:b.png;|#SUBTITLE:x;|#DISPLAYBPM:100:200;|"},
    };
    const chart::Song song = OneOfEverything();
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.target));
        EXPECT_EQ(sm::LossList(sm::ConversionLosses(song, c.target)), c.losses);
        const chart::Song converted = sm::ConvertSong(song, c.target);
        EXPECT_EQ(converted.format, c.target);
        EXPECT_FALSE(converted.WasRead());
        ASSERT_EQ(converted.charts.size(), c.charts);
        EXPECT_EQ(converted.otherCharts.size(), c.otherCharts);
        EXPECT_EQ(Texts(converted), c.records);
        EXPECT_TRUE(converted.delays.empty() && converted.warps.empty());
        EXPECT_FALSE(converted.charts[1].timing.has_value());
        EXPECT_EQ(converted.charts[1].difficulty,
                  c.target == SongFormat::Dwi ? "SMANIAC" : "Challenge");
        EXPECT_EQ(converted.gapSeconds, -0.5f);

        EXPECT_TRUE(sm::ConversionLosses(converted, SongFormat::Ssc).empty());
        const chart::Song up = sm::ConvertSong(converted, SongFormat::Ssc);
        EXPECT_EQ(up.charts[0].notes, converted.charts[0].notes);
        EXPECT_EQ(up.charts[0].stepsType, "dance-single");
        EXPECT_EQ(Texts(up),
                  c.target == SongFormat::Dwi ? "#MUSIC:a.ogg;|#DISPLAYBPM:100:200;|" : c.records);
    }
    // Into .sm every kind survives; into .dwi the left tap loses its
    // keysound, the roll is a hold, the lift a tap; the rest go.
    EXPECT_EQ(sm::ConvertSong(song, SongFormat::Sm).charts[0].notes, song.charts[0].notes);
    const std::vector<Note> dwiNotes{{0, 0}, {24, 2, 48}, {48, 1}};
    EXPECT_EQ(sm::ConvertSong(song, SongFormat::Dwi).charts[0].notes.Notes(), dwiNotes);
}

// The kept tags land in the .dwi own layout after the song's tags.
TEST(Convert, DwiOwnLayoutWritesTheKeptTags) {
    const std::string text = dwi::WriteSong(sm::ConvertSong(OneOfEverything(), SongFormat::Dwi));
    EXPECT_EQ(text.substr(0, text.find("#SINGLE")),
              "#STATUS:NEW\r\n#TITLE:T;\r\n#ARTIST:;\r\n#BPM:120.000000;\r\n#GAP:-500.000;\r\n\r\n"
              "#SAMPLESTART:0.00000;\r\n#SAMPLELENGTH:5.00000;\r\n#FILE:a.ogg;\r\n"
              "#DISPLAYBPM:100..200;\r\n");
    const chart::Song back = dwi::ReadSong(text);
    ASSERT_EQ(back.charts.size(), 2U);
    const std::vector<Note> dwiNotes{{0, 0}, {24, 2, 48}, {48, 1}};
    EXPECT_EQ(back.charts[0].notes.Notes(), dwiNotes);
}

// .dwi up to .sm and .ssc is exact, and back down again loses nothing.
TEST(Convert, DwiUpAndBackIsExact) {
    const std::string file =
        "#TITLE:Song;\r\n#ARTIST:Band;\r\n#BPM:150;\r\n#GAP:-120;\r\n#FILE:song.mp3;\r\n"
        "#GENRE:Pop\xE9;\r\n#CDTITLE:cd.png;\r\n#DISPLAYBPM:100..200;\r\n#CHANGEBPM:16=300;\r\n"
        "#FREEZE:32=500;\r\n#SAMPLESTART:10;\r\n#SAMPLELENGTH:12;\r\n#SINGLE:BASIC:3:8!8000800;\r\n"
        "#DOUBLE:MANIAC:9:2:8;\r\n#SOLO:WILD:4:0;\r\n";
    const chart::Song song = dwi::ReadSong(file);
    for (const SongFormat target : {SongFormat::Sm, SongFormat::Ssc}) {
        SCOPED_TRACE(static_cast<int>(target));
        EXPECT_TRUE(sm::ConversionLosses(song, target).empty());
        const chart::Song up = sm::ConvertSong(song, target);
        EXPECT_EQ(up.bpm, 150.0f);
        EXPECT_EQ(up.gapSeconds, -0.12f);
        EXPECT_EQ(up.changes, (std::vector<chart::BpmChange>{{4.0, 300.0}}));
        EXPECT_EQ(up.stops, (std::vector<chart::Stop>{{8.0, 500.0}}));
        EXPECT_EQ(up.sampleStartSeconds, 10.0f);
        EXPECT_EQ(Texts(up),
                  "#MUSIC:song.mp3;|#GENRE:Pop\xC3\xA9;|#CDTITLE:cd.png;|#DISPLAYBPM:100:200;|");
        ASSERT_EQ(up.charts.size(), 3U);
        const char* const expected[][4] = {{"dance-single", "Easy", "3", ""},
                                           {"dance-double", "Hard", "9", ""},
                                           {"dance-solo", "Edit", "4", "WILD"}};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(up.charts[i].stepsType, expected[i][0]);
            EXPECT_EQ(up.charts[i].difficulty, expected[i][1]);
            EXPECT_EQ(std::to_string(up.charts[i].rating), expected[i][2]);
            EXPECT_EQ(up.charts[i].description, expected[i][3]);
            EXPECT_EQ(up.charts[i].notes, song.charts[i].notes);
        }
        // Back down: the Edit chart named WILD cannot be written to .dwi.
        EXPECT_EQ(sm::LossList(sm::ConversionLosses(up, SongFormat::Dwi)), "Edit chart 'WILD'");
        const chart::Song down = sm::ConvertSong(up, SongFormat::Dwi);
        ASSERT_EQ(down.charts.size(), 2U);
        EXPECT_EQ(down.charts[1].difficulty, "MANIAC");
        EXPECT_EQ(Texts(down),
                  "#FILE:song.mp3;|#GENRE:Pop\xC3\xA9;|#CDTITLE:cd.png;|#DISPLAYBPM:100..200;|");
    }
}

TEST(Convert, DwiTagsSmCannotHoldAreNamed) {
    const chart::Song song =
        dwi::ReadSong("#BPM:120;#BPM:0;#MD5:abc;#DISPLAYTITLE:x;#STATUS:NEW;#OWN:kept;");
    EXPECT_EQ(sm::LossList(sm::ConversionLosses(song, SongFormat::Sm)),
              "#BPM, #MD5, #DISPLAYTITLE");
    EXPECT_EQ(Texts(sm::ConvertSong(song, SongFormat::Sm)), "#OWN:kept;|");
}

} // namespace

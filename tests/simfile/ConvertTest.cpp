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

// One of everything .dwi cannot hold, on 8th-note rows of a SINGLE chart.
chart::Song OneOfEverything() {
    chart::Song song;
    song.format = SongFormat::Ssc;
    song.readFromFile = true;
    song.bpm = 120.0f;
    song.gapSeconds = -0.5f;
    song.delays = {{4.0, 250.0}};
    song.warps = {{8.0, 2.0}, {12.0, 1.0}};
    chart::SongChart hard;
    hard.difficulty = "Hard";
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
    for (const char* text :
         {"#MUSIC:a.ogg;", "#BANNER:b.png;",
          "#SPEEDS:0.000=1.000=0.000=0,16.000=2.000=0.000=0,32=1=0=0;", "#VERSION:0.83;",
          "#LABELS:0.000=Song Start;", "#SUBTITLE:x;", "#CHARTNAME:y;", "#DISPLAYBPM:100:200;"}) {
        song.records.emplace_back().text = text;
    }
    song.records[6].chartId = 1; // the first chart's own tag
    return song;
}

// The first chart in .dwi: the left tap without its keysound, the roll as a
// hold, the lift as a tap; the mine, fake and keysound-only note gone.
const std::vector<Note> kDwiNotes{{0, 0}, {24, 2, 48}, {48, 1}};

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
        EXPECT_TRUE(converted.format == c.target && !converted.WasRead());
        ASSERT_EQ(converted.charts.size(), c.charts);
        EXPECT_EQ(converted.otherCharts.size(), c.otherCharts);
        EXPECT_EQ(Texts(converted), c.records);
        EXPECT_TRUE(converted.delays.empty() && converted.warps.empty() &&
                    !converted.charts[1].timing);
        EXPECT_EQ(converted.charts[1].difficulty,
                  c.target == SongFormat::Dwi ? "SMANIAC" : "Challenge");

        EXPECT_TRUE(sm::ConversionLosses(converted, SongFormat::Ssc).empty());
        const chart::Song up = sm::ConvertSong(converted, SongFormat::Ssc);
        EXPECT_EQ(up.charts[0].notes, converted.charts[0].notes);
        EXPECT_EQ(Texts(up),
                  c.target == SongFormat::Dwi ? "#MUSIC:a.ogg;|#DISPLAYBPM:100:200;|" : c.records);
    }
    // Into .sm every kind survives.
    EXPECT_EQ(sm::ConvertSong(song, SongFormat::Sm).charts[0].notes, song.charts[0].notes);
    EXPECT_EQ(sm::ConvertSong(song, SongFormat::Dwi).charts[0].notes.Notes(), kDwiNotes);
}

// The kept tags land in the .dwi own layout after the song's tags.
TEST(Convert, DwiOwnLayoutWritesTheKeptTags) {
    const std::string text = dwi::WriteSong(sm::ConvertSong(OneOfEverything(), SongFormat::Dwi));
    EXPECT_EQ(text.substr(0, text.find("#SINGLE")),
              "#STATUS:NEW\r\n#TITLE:;\r\n#ARTIST:;\r\n#BPM:120.000000;\r\n#GAP:-500.000;\r\n\r\n"
              "#SAMPLESTART:0.00000;\r\n#SAMPLELENGTH:5.00000;\r\n#FILE:a.ogg;\r\n"
              "#DISPLAYBPM:100..200;\r\n");
}

// .dwi up to .sm and .ssc is exact, and back down again loses nothing.
TEST(Convert, DwiUpAndBackIsExact) {
    const std::string file =
        "#TITLE:Song;\r\n#ARTIST:Band;\r\n#BPM:150;\r\n#GAP:-120;\r\n#FILE:song.mp3;\r\n"
        "#GENRE:Pop\xE9;\r\n#CDTITLE:cd.png;\r\n#DISPLAYBPM:100..200;\r\n#CHANGEBPM:16=300;\r\n"
        "#FREEZE:32=500;\r\n#SAMPLESTART:10;\r\n#SAMPLELENGTH:12;\r\n#SINGLE:BASIC:3:8!8000800;\r\n"
        "#DOUBLE:MANIAC:9:2:8;\r\n#SOLO:BEGINNER:4:0;\r\n";
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
        // Back down nothing is lost either.
        EXPECT_TRUE(sm::ConversionLosses(up, SongFormat::Dwi).empty());
        const chart::Song down = sm::ConvertSong(up, SongFormat::Dwi);
        std::string charts;
        for (std::size_t i = 0; i < 3; ++i) {
            const chart::SongChart& c = up.charts.at(i);
            charts += c.stepsType + " " + c.difficulty + " " + std::to_string(c.rating) + " " +
                      c.description + "|";
            EXPECT_EQ(c.notes, song.charts[i].notes);
            chart::SongChart whole = song.charts[i]; // .sm holds whole measures
            whole.lengthRows = (whole.lengthRows + 191) / 192 * 192;
            EXPECT_TRUE(down.charts.at(i).SameContent(whole));
        }
        EXPECT_EQ(charts, "dance-single Easy 3 |dance-double Hard 9 |dance-solo Beginner 4 |");
        EXPECT_EQ(Texts(down),
                  "#FILE:song.mp3;|#GENRE:Pop\xC3\xA9;|#CDTITLE:cd.png;|#DISPLAYBPM:100..200;|");
    }
}

TEST(Convert, WhatDwiAndSmCannotShareIsNamed) {
    const chart::Song song = dwi::ReadSong(
        "#BPM:120;#BPM:0;#MD5:abc;#DISPLAYTITLE:x;#STATUS:NEW;#OWN:kept;#SOLO:WILD:4:0;");
    EXPECT_EQ(sm::LossList(sm::ConversionLosses(song, SongFormat::Sm)),
              "#BPM, #MD5, #DISPLAYTITLE");
    const chart::Song up = sm::ConvertSong(song, SongFormat::Sm);
    EXPECT_EQ(Texts(up), "#OWN:kept;|");
    // A difficulty no game knows: an Edit chart named after it, which .dwi
    // cannot hold.
    EXPECT_EQ(up.charts.at(0).description, "WILD");
    EXPECT_EQ(sm::LossList(sm::ConversionLosses(up, SongFormat::Dwi)), "Edit chart 'WILD'");
}

} // namespace

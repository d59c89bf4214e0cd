#include "edit/SongEditor.h"

#include "EditorTestSongs.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace {

using chart::BpmChange;
using chart::ChartStyle;
using chart::Stop;
using edit::Snap;
using edit_test::RichSong;
using edit_test::SameSong;
using enum chart::RangeAction;

// One "Do it!" press; true when the chart changed (or the range moved).
bool Range(edit::SongEditor& editor, chart::RangeAction action, std::int32_t start,
           std::int32_t end) {
    chart::EditRange cells{start, end};
    return editor.DoRangeAction(cells, {action, {50, 3}}, edit_test::kYes) ==
           chart::RangeActionOutcome::kChartChanged;
}

// The editor with another chart selected and another snap.
edit::SongEditor& At(edit::SongEditor& editor, std::size_t chart, Snap snap) {
    editor.SelectChart(chart);
    editor.SetSnap(snap);
    return editor;
}

// What differs from a to b, field by field: "bpm 151.5", "stops 1=100
// 8=250", "c0 -60:0 +48:0~24 c0-length 624" (chart 0: a tap out, a hold of
// 24 rows in, the new length), "charts SINGLE MANIAC 7 #1 ..." (the new list,
// each chart with its record).
std::string Changes(const chart::Song& a, const chart::Song& b) {
    std::ostringstream out;
    const auto put = [&out](bool differs, const auto&... parts) {
        if (differs) {
            ((out << ' ') << ... << parts);
        }
    };
    put(a.title != b.title, "title ", b.title);
    put(a.artist != b.artist, "artist ", b.artist);
    put(a.bpm != b.bpm, "bpm ", b.bpm);
    put(a.gapSeconds != b.gapSeconds, "gap ", b.gapSeconds);
    put(a.sampleStartSeconds != b.sampleStartSeconds, "sample-start ", b.sampleStartSeconds);
    put(a.sampleLengthSeconds != b.sampleLengthSeconds, "sample-length ", b.sampleLengthSeconds);
    put(a.changes != b.changes, "changes");
    for (const BpmChange& change : b.changes) {
        put(a.changes != b.changes, change.beat, "=", change.bpm);
    }
    put(a.stops != b.stops, "stops");
    for (const Stop& stop : b.stops) {
        put(a.stops != b.stops, stop.beat, "=", stop.durationMs);
    }
    const bool listChanged = a.charts.size() != b.charts.size();
    put(listChanged, "charts");
    for (std::size_t i = 0; i < b.charts.size(); ++i) {
        const chart::SongChart& y = b.charts[i];
        put(listChanged, chart::StyleName(y.style), " ", y.difficulty, " ", y.rating, " #",
            y.sourceId);
        const chart::SongChart& x = listChanged ? y : a.charts[i];
        const std::string c = "c" + std::to_string(i);
        put(x.difficulty != y.difficulty, c, "-difficulty ", y.difficulty);
        put(x.rating != y.rating, c, "-rating ", y.rating);
        const edit::NoteDiff diff = edit::DiffNotes(x.notes, y.notes);
        put(!diff.Empty(), c);
        for (const auto& [sign, notes] : {std::pair{"-", &diff.removed}, {"+", &diff.added}}) {
            for (const chart::Note& n : *notes) {
                put(true, sign, n.row, ":", int(n.column),
                    n.IsHold() ? "~" + std::to_string(n.holdRows) : "");
            }
        }
        put(x.lengthRows != y.lengthRows, c, "-length ", y.lengthRows);
    }
    return out.str().substr(out.str().empty() ? 0 : 1);
}

// The menu's text for the edit (empty when it must change nothing), what
// it changes, the edit.
using EditCase = std::tuple<const char*, const char*, std::function<bool(edit::SongEditor&)>>;

// Worked by hand on RichSong (edit/EditorTestSongs.h) at 8th snap unless
// the edit sets another. A written row pads the chart to whole 8ths over
// its cell. At 150 BPM from a Gap of 0.25 s a beat is 0.4 s; the stop at
// beat 8 holds 0.25 s.
const EditCase kEdits[] = {
    {"Add Note", "c0 +120:2", [](auto& e) { return e.AddArrow(120, 2); }},
    {"Add Note", "c0 +600:0 c0-length 624", [](auto& e) { return e.AddArrow(600, 0); }},
    {"Extend Chart", "c0-length 1032", [](auto& e) { return e.PadChart(1000); }},
    {"Remove Note", "c0 -60:0", [](auto& e) { return e.ToggleNote(60, 0); }},
    {"Remove Hold", "c0 -48:3~96", [](auto& e) { return e.ToggleNote(100, 3); }},
    {"Clear Row", "c0 -24:1 -24:2", [](auto& e) { return e.ClearRow(24); }},
    {"Add Hold", "c0 -0:0 -60:0 -240:0 +0:0~250", [](auto& e) { return e.SetHold(0, 0, 250); }},
    {"Change Hold", "c0 -48:3~96 +48:3~200", [](auto& e) { return e.SetHold(48, 3, 200); }},
    {"Add Note", "c0 -192:2~48 +192:2", [](auto& e) { return e.SetHold(192, 2, 0); }},
    {"Add Hold", "c0 +372:1~36 c0-length 432", [](auto& e) { return e.SetHold(372, 1, 36); }},
    {"Add Hold", "c1 +96:6~24", [](auto& e) { return At(e, 1, Snap::k8th).SetHold(96, 6, 24); }},
    // No two-arrow limit on a DOUBLE row.
    {"Add Note", "c1 +144:0", [](auto& e) { return At(e, 1, Snap::k8th).AddArrow(144, 0); }},
    // A key held from 1.45 s (beat 3, row 144) to 1.95 s (beat 4.25, the
    // 16th row 204: more than a cell later) enters a hold, one command; a
    // press shorter than a cell stays a tap; auto-repeat presses are ignored.
    {"Add Hold", "c0 +144:1~60",
     [](auto& e) {
         return e.PressKey(1, 1.45) && !e.PressKey(1, 1.5) &&
                At(e, 0, Snap::k16th).ReleaseKey(1, 1.95);
     }},
    {"Add Note", "c0 +144:1",
     [](auto& e) { return e.PressKey(1, 1.45) && !e.ReleaseKey(1, 1.48); }},
    {"Shift Later", "c0 -240:0 -264:1 +264:0",
     [](auto& e) { return Range(e, kShiftLater, 10, 10); }},
    {"Shift Earlier", "c0 -48:3~96 -60:0 +48:0",
     [](auto& e) { return Range(At(e, 0, Snap::k16th), kShiftEarlier, 5, 5); }},
    {"Clear", "c0 -48:3~96 -60:0", [](auto& e) { return Range(e, kClear, 2, 3); }},
    // The first draw, 41, picks row 41 % 6 = 5 ("2"): the slot after is occupied.
    {"Randomize", "c0 -240:0 +240:1", [](auto& e) { return Range(e, kRandomize, 10, 10); }},
    {"Change BPM", "bpm 151.5", [](auto& e) { return e.SetBpm(151.5f); }},
    {"Change Gap", "gap -0.5", [](auto& e) { return e.SetGap(-0.5f); }},
    {"Change Sample Start", "sample-start 9", [](auto& e) { return e.SetSampleStart(9.0f); }},
    {"Change Sample Length", "sample-length 12", [](auto& e) { return e.SetSampleLength(12.0f); }},
    {"Add BPM Change", "changes 4.5=300 16=75",
     [](auto& e) { return e.AddBpmChange(BpmChange(4.5, 300.0)); }},
    {"Add BPM Change", "changes 16=90",
     [](auto& e) { return e.AddBpmChange(BpmChange(16.0, 90.0)); }},
    {"Change BPM Change", "changes 2=90",
     [](auto& e) { return e.ChangeBpmChange(0, BpmChange(2.0, 90.0)); }},
    {"Remove BPM Change", "changes", [](auto& e) { return e.RemoveBpmChange(0); }},
    {"Add Stop", "stops 1=100 8=250", [](auto& e) { return e.AddStop(Stop(1.0, 100.0)); }},
    {"Change Stop", "stops 8=80", [](auto& e) { return e.ChangeStop(0, Stop(8.0, 80.0)); }},
    {"Remove Stop", "stops", [](auto& e) { return e.RemoveStop(0); }},
    {"New Chart", "charts SINGLE MANIAC 7 #1 DOUBLE BASIC 3 #2 SOLO BEGINNER 1 #0",
     [](auto& e) { return e.NewChart(ChartStyle::Solo, " beginner", 0); }},
    {"New Chart", "charts SINGLE MANIAC 7 #1 DOUBLE BASIC 3 #2 COUPLE EDIT 2 99 #0",
     [](auto& e) { return e.NewChart(ChartStyle::Couple, "Edit 2", 500); }},
    {"Duplicate Chart", "charts SINGLE MANIAC 7 #1 DOUBLE BASIC 3 #2 SINGLE MANIAC 7 #0",
     [](auto& e) { return e.DuplicateChart(); }},
    {"Delete Chart", "charts DOUBLE BASIC 3 #2", [](auto& e) { return e.DeleteChart(); }},
    {"Change Difficulty", "c0-difficulty SMANIAC",
     [](auto& e) { return e.SetDifficulty(" smaniac "); }},
    {"Change Rating", "c0-rating 99", [](auto& e) { return e.SetRating(99); }},
    {"Change Rating", "c0-rating 1", [](auto& e) { return e.SetRating(1); }},
    {"Change Title", "title Other", [](auto& e) { return e.SetTitle("Other"); }},
    {"Change Artist", "artist Someone", [](auto& e) { return e.SetArtist("Someone"); }},
    // Edits that change nothing push nothing: the note is there already, a
    // SINGLE row holds two arrows, add mode never removes a hold, a third
    // arrow is refused, a cell too far out, before the Gap...
    {"", "", [](auto& e) { return e.AddArrow(0, 0) || e.AddArrow(24, 0) || e.AddArrow(96, 3); }},
    {"", "", [](auto& e) { return e.ToggleNote(24, 3) || e.AddArrow(chart::kMaxRows - 24, 0); }},
    {"", "", [](auto& e) { return e.AddArrow(-24, 0) || e.AddArrow(0, 4) || e.PadChart(360); }},
    {"", "",
     [](auto& e) { return e.ToggleNote(999, 4) || e.SetHold(999, 4, 0) || e.ClearRow(-1); }},
    {"", "", [](auto& e) { return e.PressKey(0, 0.1) || e.ReleaseKey(0, 1.0); }},
    {"", "", [](auto& e) { return e.SetBpm(150.0f) || e.SetGap(0.25f) || e.SetTitle("Song"); }},
    {"", "", [](auto& e) { return e.SetArtist("Artist") || e.SetRating(0) || e.SetRating(100); }},
    {"", "", [](auto& e) { return e.SetDifficulty(" ") || e.SetDifficulty("maniac"); }},
    {"", "", [](auto& e) { return e.NewChart(ChartStyle::Single, " \t", 3); }},
    {"", "", [](auto& e) { return e.RemoveStop(1) || e.ChangeBpmChange(1, BpmChange(1.0, 6.0)); }},
    {"", "", [](auto& e) { return e.RemoveBpmChange(1) || e.ChangeStop(1, Stop(1.0, 6.0)); }},
};

// Each edit changes exactly what it says, is named in the menu, and undo
// and redo restore the document exactly.
TEST(SongEditor, EachEditChangesExactlyWhatItSaysAndUndoesExactly) {
    for (const auto& [undoText, changes, edit] : kEdits) {
        SCOPED_TRACE(std::string(undoText) + ": " + changes);
        edit::SongEditor editor(RichSong());
        const chart::Song before = editor.Song();
        const bool changed = *undoText != '\0';
        EXPECT_EQ(edit(editor), changed);
        const chart::Song after = editor.Song();
        EXPECT_EQ(Changes(before, after), changes);
        EXPECT_EQ(SameSong(before, after), !changed);
        EXPECT_EQ(std::tuple(editor.History().UndoText(), editor.History().Count(),
                             editor.History().IsClean()),
                  std::tuple(undoText, changed ? 1u : 0u, !changed));
        editor.Undo();
        EXPECT_TRUE(SameSong(editor.Song(), before));
        editor.Redo();
        EXPECT_TRUE(SameSong(editor.Song(), after));
    }
}

// Fixed fault: edited charts took lengths a save cannot write (not whole 8th
// steps), so a file read back differed from the document. What the editor
// makes of a read file is what a save writes and a reader reads back: 16ths,
// holds, timing, a deleted chart, a copied one.
TEST(SongEditor, EditedSongsSurviveWritingAndReadingBack) {
    edit::SongEditor editor(dwi::ReadSong("#TITLE:Song;\r\n#BPM:150.000;\r\n#GAP:100;\r\n"
                                          "#SINGLE:BASIC:3:08080808;\r\n#SINGLE:SMANIAC:12:"
                                          "(8888)8!80008;\r\n#DOUBLE:HEAVY:9:8:2;\r\n"));
    editor.SetSnap(Snap::k16th);
    ASSERT_TRUE(editor.AddArrow(12, 0) && editor.SetHold(36, 3, 60));
    ASSERT_TRUE(editor.AddBpmChange({8.0, 75.0}) && editor.AddStop({4.0, 300.0}));
    editor.SelectChart(1);
    ASSERT_TRUE(editor.DuplicateChart() && editor.SetDifficulty("BEGINNER"));
    EXPECT_EQ(editor.SelectedChart(), 3u); // a copy is selected, at the end
    editor.SelectChart(2);                 // the DOUBLE
    ASSERT_TRUE(editor.SetHold(96, 7, 48));
    editor.SelectChart(1);
    ASSERT_TRUE(editor.DeleteChart());
    ASSERT_TRUE(editor.SetRating(42)); // the DOUBLE, now in the deleted one's place
    const chart::Song back = dwi::ReadSong(dwi::WriteSong(editor.Song()));
    EXPECT_TRUE(chart::SameContent(back, editor.Song()));
    ASSERT_EQ(back.charts.size(), 3u);
    // Undo selects the chart it changes back: the deleted one returns.
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(std::pair(editor.SelectedChart(), editor.Selected()->difficulty),
              std::pair(std::optional<std::size_t>(1), std::string("SMANIAC")));
    editor.SelectChart(0);
    editor.Undo(); // the hold on the DOUBLE
    EXPECT_EQ(editor.SelectedChart(), 2u);
}

// Random edits of every kind, each checked against a copy, then undone one
// by one back to the start and redone to the end; a save of the result
// reads back as the same document.
TEST(SongEditor, RandomEditSequencesUndoToTheOriginalAndRedoToTheEnd) {
    std::mt19937 random(1);
    const auto pick = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    for (int run = 0; run < 20; ++run) {
        edit::SongEditor e(RichSong());
        std::vector<chart::Song> states = {e.Song()};
        for (int step = 0; step < 150; ++step) {
            e.SetSnap(edit::kAllSnaps[static_cast<std::size_t>(pick(9))]);
            e.SelectChart(static_cast<std::size_t>(pick(4)));
            const std::int32_t row = pick(500), start = pick(40);
            const auto column = static_cast<std::uint8_t>(pick(8));
            const double at = 0.25 + 0.05 * pick(100);
            const std::function<bool()> edits[] = {
                [&] { return e.AddArrow(row, column) || e.ToggleNote(row, column); },
                [&] { return e.ClearRow(row) || e.SetHold(row, column, pick(100)); },
                [&] { return Range(e, chart::RangeAction(pick(4)), start, start + pick(40)); },
                [&] {
                    return e.AddBpmChange({pick(64) * 0.5, 60.0 + pick(200)});
                },
                [&] {
                    return e.AddStop({pick(64) * 0.25, 10.0 * pick(50)}) || e.SetGap(0.1f);
                },
                [&] { return e.DuplicateChart() || e.NewChart(ChartStyle::Couple, "X", 5); },
                [&] { return e.Song().charts.size() > 1 && e.DeleteChart(); },
                [&] {
                    return e.PressKey(column % 4, at) | e.ReleaseKey(column % 4, at + pick(2));
                }};
            if (edits[pick(8)]() && !SameSong(e.Song(), states.back())) {
                states.push_back(e.Song());
            }
            ASSERT_TRUE(SameSong(e.Song(), states.back())) << run << " " << step;
        }
        ASSERT_EQ(e.History().Count(), states.size() - 1) << run;
        for (std::size_t i = states.size() - 1; i > 0; --i) {
            e.Undo();
            ASSERT_TRUE(SameSong(e.Song(), states[i - 1])) << run << " " << i;
        }
        EXPECT_TRUE(e.History().IsClean());
        while (e.History().CanRedo()) {
            e.Redo();
        }
        EXPECT_TRUE(SameSong(e.Song(), states.back())) << run;
        EXPECT_TRUE(chart::SameContent(dwi::ReadSong(dwi::WriteSong(e.Song())), e.Song())) << run;
    }
}

// A .sm/.ssc song's charts take the games' difficulty names and a steps
// type; a .dwi song's keep the window's words.
TEST(SongEditor, ChartsOfASmSongTakeTheGamesNames) {
    for (const auto format : {chart::SongFormat::Sm, chart::SongFormat::Dwi}) {
        chart::Song song;
        song.format = format;
        edit::SongEditor e(song);
        ASSERT_TRUE(e.NewChart(ChartStyle::Double, "MANIAC", 9));
        e.SelectChart(0);
        const bool sm = format == chart::SongFormat::Sm;
        EXPECT_EQ(e.Selected()->difficulty, sm ? "Hard" : "MANIAC");
        EXPECT_EQ(e.Selected()->stepsType, sm ? "dance-double" : "");
        ASSERT_TRUE(e.SetDifficulty("another"));
        EXPECT_EQ(e.Selected()->difficulty, sm ? "Medium" : "ANOTHER");
    }
}

// A chart with its own timing (.ssc) is entered and placed by it, the others
// by the song's (120 BPM from 0 s). Worked by hand: at 60 BPM from 0 s with
// 120 from beat 2 on, beat 4 comes at 3 s; a key held 0.4 s covers 0.8 beats
// at 120 BPM (a hold to the nearest 8th) but 0.4 at 60 (under an 8th: a tap).
TEST(SongEditor, AChartWithItsOwnTimingIsPlacedByIt) {
    chart::Song song;
    song.bpm = 120.0f;
    song.charts.resize(3);
    song.charts[1].timing = chart::ChartTiming{60.0f, 1.0f, {}, {}, {}, {}};
    song.charts[2].timing = chart::ChartTiming{60.0f, 0.0f, {{2.0, 120.0}}, {}, {}, {}};
    edit::SongEditor e(song); // at 8th cells
    const struct {
        std::size_t chart;
        double pressSeconds, beat4Seconds;
        std::int32_t row, holdRows;
    } cases[] = {
        {0, 1.0, 2.0, 96, 48},  // beat 2; released at beat 2.8, row 144
        {1, 3.0, 5.0, 96, 0},   // beat 2 after the 1 s gap
        {2, 3.0, 3.0, 192, 48}, // beat 4; released at beat 4.8, row 240
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chart);
        e.SelectChart(c.chart);
        EXPECT_EQ(e.RowAt(c.pressSeconds), c.row);
        EXPECT_DOUBLE_EQ(e.Timing().SecondsAt(4.0), c.beat4Seconds);
        e.PressKey(0, c.pressSeconds);
        e.ReleaseKey(0, c.pressSeconds + 0.4);
        const chart::Note* note = e.Selected()->notes.Find(c.row, 0);
        EXPECT_EQ(note ? note->holdRows : -1, c.holdRows);
    }
}

} // namespace

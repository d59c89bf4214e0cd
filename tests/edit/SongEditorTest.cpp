#include "edit/SongEditor.h"

#include "EditorTestSongs.h"
#include "dwi/DwiSong.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace {

using edit_test::kYes;
using edit_test::RichSong;
using edit_test::SameSong;

// One "Do it!" press; true when the chart changed (or the range moved).
bool Range(edit::SongEditor& editor, chart::RangeAction action, std::int32_t start,
           std::int32_t end) {
    chart::RangeActionRequest request;
    request.action = action;
    request.randomize = {50, 3};
    chart::EditRange cells{start, end};
    return editor.DoRangeAction(cells, request, kYes) == chart::RangeActionOutcome::kChartChanged;
}

// The editor with another chart selected and another snap.
edit::SongEditor& At(edit::SongEditor& editor, std::size_t chart, edit::Snap snap) {
    editor.SelectChart(chart);
    editor.SetSnap(snap);
    return editor;
}

chart::BpmChange Change(double beat, double bpm) {
    return {beat, bpm};
}

chart::Stop StopAt(double beat, double milliseconds) {
    return {beat, milliseconds};
}

std::string NoteText(const chart::Note& note) {
    return std::to_string(note.row) + ":" + std::to_string(note.column) +
           (note.IsHold() ? "~" + std::to_string(note.holdRows) : "");
}

// What differs from a to b, field by field: "bpm 151.5", "stops 1=100
// 8=250", "c0 -60:0 +48:0~24 c0-length 624" (chart 0: a tap out, a hold of
// 24 rows in, the new length), "charts SINGLE MANIAC 7 #3 ..." (the new list,
// each chart with its record).
std::string Changes(const chart::Song& a, const chart::Song& b) {
    std::ostringstream out;
    const auto differs = [&out](const std::string& name, const auto& x, const auto& y) {
        if (x != y) {
            out << " " << name << " " << y;
        }
    };
    differs("title", a.title, b.title);
    differs("artist", a.artist, b.artist);
    differs("bpm", a.bpm, b.bpm);
    differs("gap", a.gapSeconds, b.gapSeconds);
    differs("sample-start", a.sampleStartSeconds, b.sampleStartSeconds);
    differs("sample-length", a.sampleLengthSeconds, b.sampleLengthSeconds);
    if (a.changes != b.changes) {
        out << " changes";
        for (const chart::BpmChange& change : b.changes) {
            out << " " << change.beat << "=" << change.bpm;
        }
    }
    if (a.stops != b.stops) {
        out << " stops";
        for (const chart::Stop& stop : b.stops) {
            out << " " << stop.beat << "=" << stop.durationMs;
        }
    }
    if (a.charts.size() != b.charts.size()) {
        out << " charts";
        for (const chart::SongChart& chart : b.charts) {
            out << " " << chart::StyleName(chart.style) << " " << chart.difficulty << " "
                << chart.rating << " #" << chart.sourceId;
        }
        return out.str().substr(1);
    }
    for (std::size_t i = 0; i < a.charts.size(); ++i) {
        const std::string c = "c" + std::to_string(i);
        differs(c + "-difficulty", a.charts[i].difficulty, b.charts[i].difficulty);
        differs(c + "-rating", a.charts[i].rating, b.charts[i].rating);
        const edit::NoteDiff diff = edit::DiffNotes(a.charts[i].notes, b.charts[i].notes);
        out << (diff.Empty() ? "" : " " + c);
        for (const chart::Note& note : diff.removed) {
            out << " -" << NoteText(note);
        }
        for (const chart::Note& note : diff.added) {
            out << " +" << NoteText(note);
        }
        differs(c + "-length", a.charts[i].lengthRows, b.charts[i].lengthRows);
    }
    return out.str().empty() ? "" : out.str().substr(1);
}

struct EditCase {
    const char* undoText; // empty when the edit must change nothing
    const char* changes;
    std::function<bool(edit::SongEditor&)> edit;
};

// Worked by hand on RichSong (edit/EditorTestSongs.h) at 8th snap unless
// the edit sets another. A written row pads the chart to whole 8ths over
// its cell.
const EditCase kEdits[] = {
    {"Add Note", "c0 +120:2", [](auto& e) { return e.AddArrow(120, 2); }},
    {"Add Note", "c0 +600:0 c0-length 624", [](auto& e) { return e.AddArrow(600, 0); }},
    {"Extend Chart", "c0-length 1032", [](auto& e) { return e.PadChart(1000); }},
    {"Add Note", "c0 +12:3", [](auto& e) { return e.ToggleNote(12, 3); }},
    {"Remove Note", "c0 -60:0", [](auto& e) { return e.ToggleNote(60, 0); }},
    {"Remove Hold", "c0 -48:3~96", [](auto& e) { return e.ToggleNote(100, 3); }},
    {"Clear Row", "c0 -24:1 -24:2", [](auto& e) { return e.ClearRow(24); }},
    {"Add Hold", "c0 -0:0 -60:0 -240:0 +0:0~250", [](auto& e) { return e.SetHold(0, 0, 250); }},
    {"Change Hold", "c0 -48:3~96 +48:3~200", [](auto& e) { return e.SetHold(48, 3, 200); }},
    {"Change Hold", "c0 -192:2~48 +192:2~6", [](auto& e) { return e.SetHold(192, 2, 6); }},
    {"Add Note", "c0 -192:2~48 +192:2", [](auto& e) { return e.SetHold(192, 2, 0); }},
    {"Add Hold", "c0 +372:1~36 c0-length 432", [](auto& e) { return e.SetHold(372, 1, 36); }},
    {"Add Hold", "c1 +96:6~24",
     [](auto& e) { return At(e, 1, edit::Snap::k8th).SetHold(96, 6, 24); }},
    {"Add Note", "c1 +144:0",
     [](auto& e) { return At(e, 1, edit::Snap::k8th).AddArrow(144, 0); }}, // no two-arrow limit
    {"Shift Later", "c0 -240:0 -264:1 +264:0",
     [](auto& e) { return Range(e, chart::RangeAction::kShiftLater, 10, 10); }},
    {"Shift Earlier", "c0 -48:3~96 -60:0 +48:0",
     [](auto& e) {
         return Range(At(e, 0, edit::Snap::k16th), chart::RangeAction::kShiftEarlier, 5, 5);
     }},
    {"Clear", "c0 -48:3~96 -60:0",
     [](auto& e) { return Range(e, chart::RangeAction::kClear, 2, 3); }},
    // The first draw, 41, picks row 41 % 6 = 5 ("2"): the slot after is occupied.
    {"Randomize", "c0 -240:0 +240:1",
     [](auto& e) { return Range(e, chart::RangeAction::kRandomize, 10, 10); }},
    {"Change BPM", "bpm 151.5", [](auto& e) { return e.SetBpm(151.5f); }},
    {"Change Gap", "gap -0.5", [](auto& e) { return e.SetGap(-0.5f); }},
    {"Change Sample Start", "sample-start 9", [](auto& e) { return e.SetSampleStart(9.0f); }},
    {"Change Sample Length", "sample-length 12", [](auto& e) { return e.SetSampleLength(12.0f); }},
    {"Add BPM Change", "changes 4.5=300 16=75",
     [](auto& e) { return e.AddBpmChange(Change(4.5, 300.0)); }},
    {"Add BPM Change", "changes 16=90", [](auto& e) { return e.AddBpmChange(Change(16.0, 90.0)); }},
    {"Change BPM Change", "changes 2=90",
     [](auto& e) { return e.ChangeBpmChange(0, Change(2.0, 90.0)); }},
    {"Remove BPM Change", "changes", [](auto& e) { return e.RemoveBpmChange(0); }},
    {"Add Stop", "stops 1=100 8=250", [](auto& e) { return e.AddStop(StopAt(1.0, 100.0)); }},
    {"Add Stop", "stops 8=250 9=10", [](auto& e) { return e.AddStop(StopAt(9.0, 10.0)); }},
    {"Change Stop", "stops 8=80", [](auto& e) { return e.ChangeStop(0, StopAt(8.0, 80.0)); }},
    {"Remove Stop", "stops", [](auto& e) { return e.RemoveStop(0); }},
    {"New Chart", "charts SINGLE MANIAC 7 #3 DOUBLE BASIC 3 #4 SOLO BEGINNER 1 #0",
     [](auto& e) { return e.NewChart(chart::ChartStyle::Solo, " beginner", 0); }},
    {"New Chart", "charts SINGLE MANIAC 7 #3 DOUBLE BASIC 3 #4 COUPLE EDIT 2 99 #0",
     [](auto& e) { return e.NewChart(chart::ChartStyle::Couple, "Edit 2", 500); }},
    {"Duplicate Chart", "charts SINGLE MANIAC 7 #3 DOUBLE BASIC 3 #4 SINGLE MANIAC 7 #0",
     [](auto& e) { return e.DuplicateChart(); }},
    {"Delete Chart", "charts DOUBLE BASIC 3 #4", [](auto& e) { return e.DeleteChart(); }},
    {"Change Difficulty", "c0-difficulty SMANIAC",
     [](auto& e) { return e.SetDifficulty(" smaniac "); }},
    {"Change Rating", "c0-rating 99", [](auto& e) { return e.SetRating(99); }},
    {"Change Rating", "c0-rating 1", [](auto& e) { return e.SetRating(1); }},
    {"Change Title", "title Other", [](auto& e) { return e.SetTitle("Other"); }},
    {"Change Artist", "artist Someone", [](auto& e) { return e.SetArtist("Someone"); }},
    // Edits that change nothing push nothing.
    {"", "", [](auto& e) { return e.AddArrow(0, 0); }},    // already there
    {"", "", [](auto& e) { return e.AddArrow(24, 0); }},   // a SINGLE row holds two arrows
    {"", "", [](auto& e) { return e.AddArrow(96, 3); }},   // add mode never removes a hold
    {"", "", [](auto& e) { return e.ToggleNote(24, 3); }}, // a third arrow is refused
    {"", "", [](auto& e) { return e.AddArrow(-24, 0) || e.AddArrow(0, 4) || e.PadChart(360); }},
    {"", "",
     [](auto& e) { return e.ToggleNote(999, 4) || e.SetHold(999, 4, 0) || e.ClearRow(-1); }},
    {"", "", [](auto& e) { return e.AddArrow(chart::kMaxRows - 24, 0); }}, // its cell is too far
    {"", "", [](auto& e) { return e.SetBpm(150.0f) || e.SetGap(0.25f) || e.SetTitle("Song"); }},
    {"", "", [](auto& e) { return e.SetArtist("Artist") || e.SetRating(0) || e.SetRating(100); }},
    {"", "", [](auto& e) { return e.SetDifficulty(" ") || e.SetDifficulty("maniac"); }},
    {"", "", [](auto& e) { return e.NewChart(chart::ChartStyle::Single, " \t", 3); }},
    {"", "", [](auto& e) { return e.RemoveStop(1) || e.ChangeBpmChange(1, Change(1.0, 60.0)); }},
    {"", "", [](auto& e) { return e.RemoveBpmChange(1) || e.ChangeStop(1, StopAt(1.0, 60.0)); }},
};

// Each edit changes exactly what it says, is named in the menu, and undo
// and redo restore the document exactly.
TEST(SongEditor, EachEditChangesExactlyWhatItSaysAndUndoesExactly) {
    for (const EditCase& c : kEdits) {
        SCOPED_TRACE(std::string(c.undoText) + ": " + c.changes);
        edit::SongEditor editor(RichSong());
        const chart::Song before = editor.Song();
        const bool changes = *c.undoText != '\0';
        EXPECT_EQ(c.edit(editor), changes);
        const chart::Song after = editor.Song();
        EXPECT_EQ(Changes(before, after), c.changes);
        EXPECT_EQ(SameSong(before, after), !changes);
        EXPECT_EQ(editor.History().UndoText(), c.undoText);
        EXPECT_EQ(editor.History().Count(), changes ? 1u : 0u);
        EXPECT_EQ(editor.History().IsClean(), !changes);
        editor.Undo();
        EXPECT_TRUE(SameSong(editor.Song(), before));
        editor.Redo();
        EXPECT_TRUE(SameSong(editor.Song(), after));
    }
}

// New and copied charts are selected; a deleted one's place goes to the
// next chart (or the one before); undo and redo select the chart they
// change, and the listener hears of each change with its chart.
TEST(SongEditor, SelectionFollowsTheChartsAndUndo) {
    edit::SongEditor editor(RichSong());
    std::vector<edit::ChangeNotice> notices;
    editor.SetListener([&](const edit::ChangeNotice& n) { notices.push_back(n); });
    editor.SelectChart(1);
    EXPECT_EQ(notices.back().kinds, edit::kSelectionChanged);
    ASSERT_TRUE(editor.DuplicateChart());
    EXPECT_EQ(editor.SelectedChart(), 2u);
    ASSERT_TRUE(editor.AddArrow(120, 6));
    EXPECT_EQ(notices.back().kinds, edit::kNotesChanged | edit::kHistoryChanged);
    EXPECT_EQ(notices.back().chart, 2u);
    editor.SelectChart(0);
    ASSERT_TRUE(editor.DeleteChart());
    EXPECT_EQ(editor.SelectedChart(), 0u); // the DOUBLE took its place
    editor.SetSnap(edit::Snap::k24th);
    EXPECT_EQ(notices.back().kinds, edit::kSnapChanged);
    editor.SelectChart(1);
    ASSERT_TRUE(editor.DeleteChart());
    EXPECT_EQ(editor.SelectedChart(), 0u); // the one before the deleted last
    ASSERT_TRUE(editor.DeleteChart());
    EXPECT_EQ(editor.SelectedChart(), std::nullopt);
    EXPECT_FALSE(editor.AddArrow(0, 0) || editor.DuplicateChart() || editor.SetRating(5));
    editor.Undo(); // the DOUBLE comes back, selected
    EXPECT_EQ(editor.SelectedChart(), 0u);
    EXPECT_EQ(notices.back().kinds,
              edit::kChartListChanged | edit::kHistoryChanged | edit::kSelectionChanged);
    editor.Undo();
    editor.Undo();
    editor.Undo(); // the note on the copy: the copy is selected again
    EXPECT_EQ(editor.SelectedChart(), 2u);
    EXPECT_EQ(editor.Song().charts[2].notes.Find(120, 6), nullptr);
    editor.Undo();
    editor.Undo();
    EXPECT_TRUE(SameSong(editor.Song(), RichSong()));
    EXPECT_TRUE(editor.History().IsClean());
}

TEST(SongEditor, AKeyHeldLongerThanACellEntersAHoldAsOneCommand) {
    chart::Song song;
    song.bpm = 120.0f; // half a second a beat, an eighth of a second a 16th
    song.charts.resize(1);
    edit::SongEditor editor(song);
    editor.SetSnap(edit::Snap::k16th);
    EXPECT_TRUE(editor.PressKey(1, 1.0));   // row 96
    EXPECT_FALSE(editor.PressKey(1, 1.1));  // auto-repeat
    EXPECT_TRUE(editor.ReleaseKey(1, 1.3)); // 0.6 beat later: 16th row 120
    ASSERT_EQ(editor.History().Count(), 1u);
    EXPECT_EQ(editor.History().UndoText(), "Add Hold");
    const chart::Note* hold = editor.Song().charts[0].notes.Find(96, 1);
    ASSERT_NE(hold, nullptr);
    EXPECT_EQ(hold->holdRows, 24);
    // A press shorter than a cell stays a tap.
    EXPECT_TRUE(editor.PressKey(2, 2.0));
    EXPECT_FALSE(editor.ReleaseKey(2, 2.12));
    EXPECT_EQ(editor.Song().charts[0].notes.Find(192, 2)->holdRows, 0);
    // A press that added nothing leaves its release nothing to do.
    EXPECT_FALSE(editor.PressKey(2, 2.0));
    EXPECT_FALSE(editor.ReleaseKey(2, 3.0));
    editor.Undo();
    editor.Undo();
    EXPECT_TRUE(editor.Song().charts[0].notes.Empty());
    EXPECT_EQ(editor.Song().charts[0].lengthRows, 0);
    // Before the Gap a press does nothing at all.
    EXPECT_FALSE(editor.PressKey(0, -1.0));
    EXPECT_FALSE(editor.ReleaseKey(0, 1.0));
}

// Fixed fault: edited charts took lengths a save cannot write (not whole 8th
// steps), so a file read back differed from the document. What the editor
// makes of a read file is what a save writes and a reader reads back: 16ths,
// holds, timing, a deleted chart, a copied one.
TEST(SongEditor, EditedSongsSurviveWritingAndReadingBack) {
    const std::string file = "#TITLE:Song;\r\n#BPM:150.000;\r\n#GAP:100;\r\n"
                             "#SINGLE:BASIC:3:\r\n08080808;\r\n"
                             "#SINGLE:SMANIAC:12:\r\n(8888)8!80008;\r\n"
                             "#DOUBLE:HEAVY:9:\r\n8:\r\n2;\r\n";
    edit::SongEditor editor(dwi::ReadSong(file));
    editor.SetSnap(edit::Snap::k16th);
    ASSERT_TRUE(editor.AddArrow(12, 0));
    ASSERT_TRUE(editor.SetHold(36, 3, 60));
    ASSERT_TRUE(editor.AddBpmChange({8.0, 75.0}));
    ASSERT_TRUE(editor.AddStop({4.0, 300.0}));
    editor.SelectChart(1);
    ASSERT_TRUE(editor.DuplicateChart());
    ASSERT_TRUE(editor.SetDifficulty("BEGINNER"));
    editor.SelectChart(2); // the DOUBLE; the copy went to the end
    ASSERT_TRUE(editor.SetHold(96, 7, 48));
    editor.SelectChart(1);
    ASSERT_TRUE(editor.DeleteChart());
    ASSERT_TRUE(editor.SetRating(42)); // the DOUBLE, now in the deleted one's place
    const chart::Song back = dwi::ReadSong(dwi::WriteSong(editor.Song()));
    EXPECT_TRUE(chart::SameContent(back, editor.Song()));
    ASSERT_EQ(back.charts.size(), 3u);
    EXPECT_EQ(back.charts[2].difficulty, "BEGINNER");
}

// Random edits of every kind, each checked against a copy, then undone one
// by one back to the start and redone to the end.
TEST(SongEditor, RandomEditSequencesUndoToTheOriginalAndRedoToTheEnd) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        const auto pick = [&random](int n) {
            return std::uniform_int_distribution<int>(0, n - 1)(random);
        };
        edit::SongEditor editor(RichSong());
        std::vector<chart::Song> states = {editor.Song()};
        for (int step = 0; step < 150; ++step) {
            editor.SetSnap(edit::kAllSnaps[static_cast<std::size_t>(pick(9))]);
            const std::int32_t row = pick(500);
            const auto column = static_cast<std::uint8_t>(pick(8));
            bool changed = false;
            switch (pick(12)) {
            case 0:
                changed = editor.AddArrow(row, column);
                break;
            case 1:
                changed = editor.ToggleNote(row, column);
                break;
            case 2:
                changed = editor.ClearRow(row);
                break;
            case 3:
                changed = editor.SetHold(row, column, pick(100));
                break;
            case 4: {
                const auto action = static_cast<chart::RangeAction>(pick(4));
                const std::int32_t start = pick(40);
                changed = Range(editor, action, start, start + pick(40)) &&
                          !SameSong(editor.Song(), states.back());
                break;
            }
            case 5:
                changed = editor.AddBpmChange({pick(64) * 0.5, 60.0 + pick(200)});
                break;
            case 6:
                changed = editor.AddStop({pick(64) * 0.25, 10.0 * pick(50)});
                break;
            case 7:
                changed = editor.SetGap(static_cast<float>(pick(300) / 100.0));
                break;
            case 8:
                changed = pick(3) == 0 ? editor.DuplicateChart()
                          : pick(2) == 0 && editor.Song().charts.size() > 1
                              ? editor.DeleteChart()
                              : editor.NewChart(chart::ChartStyle::Couple, "ANOTHER", 5);
                break;
            case 9:
                editor.SelectChart(static_cast<std::size_t>(pick(4)));
                break;
            case 10:
                changed = editor.SetRating(static_cast<std::uint32_t>(1 + pick(99)));
                break;
            case 11:
                changed = editor.PressKey(column % 4, 0.25 + 0.05 * pick(100)) |
                          editor.ReleaseKey(column % 4, 0.25 + 0.05 * pick(100));
                break;
            }
            if (changed) {
                states.push_back(editor.Song());
            } else {
                ASSERT_TRUE(SameSong(editor.Song(), states.back())) << seed << " " << step;
            }
        }
        ASSERT_EQ(editor.History().Count(), states.size() - 1) << seed;
        for (std::size_t i = states.size() - 1; i > 0; --i) {
            editor.Undo();
            ASSERT_TRUE(SameSong(editor.Song(), states[i - 1])) << seed << " " << i;
        }
        EXPECT_TRUE(editor.History().IsClean());
        while (editor.History().CanRedo()) {
            editor.Redo();
        }
        EXPECT_TRUE(SameSong(editor.Song(), states.back())) << seed;
        // A save of the result reads back as the same document.
        EXPECT_TRUE(chart::SameContent(dwi::ReadSong(dwi::WriteSong(editor.Song())), editor.Song()))
            << seed;
    }
}

} // namespace

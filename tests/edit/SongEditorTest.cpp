#include "edit/SongEditor.h"

#include "EditorTestSongs.h"
#include "dwi/DwiSong.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace {

using edit_test::RichSong;
using edit_test::SameSong;

const chart::AskYesNo kYes = [](std::string_view, std::string_view) { return true; };

chart::RangeActionOutcome Range(edit::SongEditor& editor, chart::RangeAction action,
                                chart::EditRange cells) {
    chart::RangeActionRequest request;
    request.action = action;
    request.randomize = {50, 3};
    return editor.DoRangeAction(cells, request, kYes);
}

struct EditCase {
    const char* name;
    const char* undoText;
    std::function<bool(edit::SongEditor&)> edit;
};

void PrintTo(const EditCase& c, std::ostream* out) {
    *out << c.name;
}

class EveryEdit : public testing::TestWithParam<EditCase> {};

// Each kind of edit: done, undone and redone, the document is exactly what
// it was each time, and the menu names the edit.
TEST_P(EveryEdit, UndoAndRedoRestoreTheDocumentExactly) {
    edit::SongEditor editor(RichSong());
    const chart::Song before = editor.Song();
    ASSERT_TRUE(GetParam().edit(editor));
    const chart::Song after = editor.Song();
    EXPECT_FALSE(SameSong(before, after));
    EXPECT_FALSE(editor.History().IsClean());
    EXPECT_EQ(editor.History().UndoText(), GetParam().undoText);
    EXPECT_EQ(editor.History().Count(), 1u);
    editor.Undo();
    EXPECT_TRUE(SameSong(editor.Song(), before));
    EXPECT_TRUE(editor.History().IsClean());
    editor.Redo();
    EXPECT_TRUE(SameSong(editor.Song(), after));
    editor.Undo();
    EXPECT_TRUE(SameSong(editor.Song(), before));
}

bool OnDoubles(edit::SongEditor& editor, const std::function<bool(edit::SongEditor&)>& edit) {
    editor.SelectChart(1);
    return edit(editor);
}

INSTANTIATE_TEST_SUITE_P(
    SongEditor, EveryEdit,
    testing::Values(
        EditCase{"AddArrow", "Add Note", [](auto& e) { return e.AddArrow(120, 2); }},
        EditCase{"AddArrowPastTheEnd", "Add Note", [](auto& e) { return e.AddArrow(600, 0); }},
        EditCase{"PadOnly", "Extend Chart", [](auto& e) { return e.PadChart(1000); }},
        EditCase{"ToggleAdds", "Add Note", [](auto& e) { return e.ToggleNote(12, 3); }},
        EditCase{"ToggleRemovesTap", "Remove Note", [](auto& e) { return e.ToggleNote(60, 0); }},
        EditCase{"ToggleOnHoldBody", "Remove Hold", [](auto& e) { return e.ToggleNote(100, 3); }},
        EditCase{"ClearRowOfAJump", "Clear Row", [](auto& e) { return e.ClearRow(24); }},
        EditCase{"NewHoldOverNotes", "Add Hold", [](auto& e) { return e.SetHold(0, 0, 250); }},
        EditCase{"LengthenHold", "Change Hold", [](auto& e) { return e.SetHold(48, 3, 200); }},
        EditCase{"ShortenHold", "Change Hold", [](auto& e) { return e.SetHold(192, 2, 6); }},
        EditCase{"HoldToTap", "Add Note", [](auto& e) { return e.SetHold(192, 2, 0); }},
        EditCase{
            "DoublesSecondPad", "Add Hold",
            [](auto& e) { return OnDoubles(e, [](auto& d) { return d.SetHold(96, 6, 24); }); }},
        EditCase{"ShiftLater", "Shift Later",
                 [](auto& e) {
                     return Range(e, chart::RangeAction::kShiftLater, {1, 9}) ==
                            chart::RangeActionOutcome::kChartChanged;
                 }},
        EditCase{"ShiftEarlier16th", "Shift Earlier",
                 [](auto& e) {
                     e.SetSnap(edit::Snap::k16th);
                     return Range(e, chart::RangeAction::kShiftEarlier, {4, 30}) ==
                            chart::RangeActionOutcome::kChartChanged;
                 }},
        EditCase{"Clear", "Clear",
                 [](auto& e) {
                     return Range(e, chart::RangeAction::kClear, {2, 10}) ==
                            chart::RangeActionOutcome::kChartChanged;
                 }},
        EditCase{"Randomize192nd", "Randomize",
                 [](auto& e) {
                     e.SetSnap(edit::Snap::k192nd);
                     return Range(e, chart::RangeAction::kRandomize, {0, 383}) ==
                            chart::RangeActionOutcome::kChartChanged;
                 }},
        EditCase{"Bpm", "Change BPM", [](auto& e) { return e.SetBpm(151.5f); }},
        EditCase{"Gap", "Change Gap", [](auto& e) { return e.SetGap(-0.5f); }},
        EditCase{"SampleStart", "Change Sample Start",
                 [](auto& e) { return e.SetSampleStart(9.0f); }},
        EditCase{"SampleLength", "Change Sample Length",
                 [](auto& e) { return e.SetSampleLength(12.0f); }},
        EditCase{"AddBpmChange", "Add BPM Change",
                 [](auto& e) {
                     return e.AddBpmChange({4.5, 300.0});
                 }},
        EditCase{"ChangeBpmChange", "Change BPM Change",
                 [](auto& e) {
                     return e.ChangeBpmChange(0, {2.0, 90.0});
                 }},
        EditCase{"RemoveBpmChange", "Remove BPM Change",
                 [](auto& e) { return e.RemoveBpmChange(0); }},
        EditCase{"AddStop", "Add Stop",
                 [](auto& e) {
                     return e.AddStop({1.0, 100.0});
                 }},
        EditCase{"ChangeStop", "Change Stop",
                 [](auto& e) {
                     return e.ChangeStop(0, {8.0, 80.0});
                 }},
        EditCase{"RemoveStop", "Remove Stop", [](auto& e) { return e.RemoveStop(0); }},
        EditCase{"NewChart", "New Chart",
                 [](auto& e) { return e.NewChart(chart::ChartStyle::Solo, "beginner", 2); }},
        EditCase{"DuplicateChart", "Duplicate Chart", [](auto& e) { return e.DuplicateChart(); }},
        EditCase{"DeleteChart", "Delete Chart", [](auto& e) { return e.DeleteChart(); }},
        EditCase{"Difficulty", "Change Difficulty",
                 [](auto& e) { return e.SetDifficulty("SMANIAC"); }},
        EditCase{"Rating", "Change Rating", [](auto& e) { return e.SetRating(12); }},
        EditCase{"Title", "Change Title", [](auto& e) { return e.SetTitle("Other"); }},
        EditCase{"Artist", "Change Artist", [](auto& e) { return e.SetArtist("Someone"); }}),
    [](const testing::TestParamInfo<EditCase>& param) { return std::string(param.param.name); });

TEST(SongEditor, EditsThatChangeNothingPushNothing) {
    edit::SongEditor editor(RichSong());
    EXPECT_FALSE(editor.AddArrow(0, 0));    // already there
    EXPECT_FALSE(editor.AddArrow(24, 0));   // a SINGLE row holds two arrows at most
    EXPECT_FALSE(editor.AddArrow(96, 3));   // inside a hold: add mode never removes
    EXPECT_FALSE(editor.ToggleNote(24, 3)); // a third arrow is refused
    EXPECT_FALSE(editor.SetBpm(150.0f));
    EXPECT_FALSE(editor.SetRating(0));
    EXPECT_FALSE(editor.SetRating(100));
    EXPECT_FALSE(editor.SetDifficulty("  "));
    EXPECT_FALSE(editor.RemoveStop(5));
    EXPECT_FALSE(editor.AddArrow(-24, 0));
    EXPECT_FALSE(editor.History().CanUndo());
    EXPECT_TRUE(editor.History().IsClean());
    // Rows on DOUBLE and SOLO take more than two arrows.
    editor.SelectChart(1);
    EXPECT_TRUE(editor.AddArrow(144, 0));
}

TEST(SongEditor, ChartsAcceptAnyDifficultyTextAndRatingsToNinetyNine) {
    edit::SongEditor editor(RichSong());
    for (const char* text : {"BEGINNER", "BASIC", "ANOTHER", "MANIAC", "SMANIAC", "HEAVY"}) {
        editor.SetDifficulty(text);
        EXPECT_EQ(editor.Selected()->difficulty, text);
    }
    EXPECT_TRUE(editor.SetDifficulty(" smaniac "));
    EXPECT_EQ(editor.Selected()->difficulty, "SMANIAC");
    EXPECT_TRUE(editor.SetRating(99));
    EXPECT_EQ(editor.Selected()->rating, 99u);
    EXPECT_EQ(editor.Song().charts[1].rating, 3u); // only the selected chart
}

TEST(SongEditor, DuplicateIsANewChartOfTheFileAndIsSelected) {
    edit::SongEditor editor(RichSong());
    editor.SelectChart(1);
    ASSERT_TRUE(editor.DuplicateChart());
    ASSERT_EQ(editor.Song().charts.size(), 3u);
    EXPECT_EQ(editor.SelectedChart(), 2u);
    EXPECT_TRUE(editor.Song().charts[2].SameContent(editor.Song().charts[1]));
    EXPECT_EQ(editor.Song().charts[2].sourceId, 0u);
    EXPECT_EQ(editor.Song().charts[1].sourceId, 4u);
    ASSERT_TRUE(editor.DeleteChart());
    EXPECT_EQ(editor.SelectedChart(), 1u); // the one before the deleted last
    editor.SelectChart(0);
    ASSERT_TRUE(editor.DeleteChart());
    EXPECT_EQ(editor.SelectedChart(), 0u);
    EXPECT_EQ(editor.Selected()->style, chart::ChartStyle::Double);
    ASSERT_TRUE(editor.DeleteChart());
    EXPECT_EQ(editor.SelectedChart(), std::nullopt);
    EXPECT_FALSE(editor.AddArrow(0, 0));
    editor.Undo(); // the DOUBLE comes back, selected
    EXPECT_EQ(editor.SelectedChart(), 0u);
    EXPECT_EQ(editor.Selected()->style, chart::ChartStyle::Double);
}

TEST(SongEditor, SwitchingChartsKeepsBothChartsEdits) {
    edit::SongEditor editor(RichSong());
    const chart::Song original = editor.Song();
    ASSERT_TRUE(editor.AddArrow(120, 1));
    editor.SelectChart(1);
    ASSERT_TRUE(editor.AddArrow(120, 6));
    editor.SelectChart(0);
    ASSERT_TRUE(editor.ToggleNote(0, 0));
    EXPECT_NE(editor.Song().charts[0].notes.Find(120, 1), nullptr);
    EXPECT_EQ(editor.Song().charts[0].notes.Find(0, 0), nullptr);
    EXPECT_NE(editor.Song().charts[1].notes.Find(120, 6), nullptr);
    // Undo walks back across the charts, selecting each one it changes.
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(editor.SelectedChart(), 1u);
    EXPECT_EQ(editor.Song().charts[1].notes.Find(120, 6), nullptr);
    EXPECT_NE(editor.Song().charts[0].notes.Find(120, 1), nullptr);
    editor.Undo();
    EXPECT_EQ(editor.SelectedChart(), 0u);
    EXPECT_TRUE(SameSong(editor.Song(), original));
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

TEST(SongEditor, ListenerHearsEveryChangeWithItsChart) {
    edit::SongEditor editor(RichSong());
    std::vector<edit::ChangeNotice> notices;
    editor.SetListener([&](const edit::ChangeNotice& n) { notices.push_back(n); });
    editor.SelectChart(1);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices.back().kinds, edit::kSelectionChanged);
    editor.AddArrow(24, 5);
    EXPECT_TRUE(notices.back().kinds & edit::kNotesChanged);
    EXPECT_TRUE(notices.back().kinds & edit::kCleanChanged);
    EXPECT_EQ(notices.back().chart, 1u);
    editor.SetSnap(edit::Snap::k24th);
    EXPECT_EQ(notices.back().kinds, edit::kSnapChanged);
    editor.SetGap(2.0f);
    EXPECT_TRUE(notices.back().kinds & edit::kTimingChanged);
}

// What the editor makes of a read file is what a save writes and a reader
// reads back: 16ths, holds, timing, a deleted chart, a copied one.
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
                changed = Range(editor, action, {start, start + pick(40)}) ==
                              chart::RangeActionOutcome::kChartChanged &&
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

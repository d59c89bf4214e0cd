// Entering notes of a kind: put, replace, take away, and what a .dwi song
// refuses.
#include "EditorTestSongs.h"
#include "edit/SongEditor.h"

#include <gtest/gtest.h>

namespace {

using chart::Note;
using enum chart::NoteKind;
using edit_test::ChartOf;

// A SINGLE chart of one measure at the 16th snap (12 rows a cell), so no
// edit below pads it.
TEST(NoteKinds, PutReplacesOtherKindsTakesAwayTheSameAndLeavesHoldsWhole) {
    const Note tap{0, 1}, mine{0, 1, 0, Mine}, lift{0, 1, 0, Lift}, fake{0, 1, 0, Fake};
    const Note hold{0, 1, 48}, left{0, 0}, right{0, 3}, leftLift{0, 0, 0, Lift};
    const struct {
        const char* what;
        std::vector<Note> before;
        Note put; // row, column and kind put
        std::vector<Note> after;
        const char* text; // "" for no edit
    } cases[] = {
        {"mine into an empty cell", {}, mine, {mine}, "Add Mine"},
        {"mine onto a tap", {tap}, mine, {mine}, "Add Mine"},
        {"tap onto a mine", {mine}, tap, {tap}, "Add Note"},
        {"fake onto a lift", {lift}, fake, {fake}, "Add Fake"},
        {"mine onto a mine", {mine}, mine, {}, "Remove Mine"},
        {"lift onto a hold's head", {hold}, lift, {lift}, "Add Lift"},
        {"mine into a hold's span", {hold}, {24, 1, 0, Mine}, {hold}, ""},
        // A SINGLE row steps on two arrows at most; mines and fakes are no steps.
        {"lift into a full jump", {left, right}, lift, {left, right}, ""},
        {"mine into a full jump", {left, right}, mine, {left, mine, right}, "Add Mine"},
        {"lift onto a jump's arrow", {left, right}, leftLift, {leftLift, right}, "Add Lift"},
        {"tap into a jump beside a mine", {left, mine}, right, {left, mine, right}, "Add Note"},
        {"a roll needs a length", {}, {0, 1, 0, Roll}, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const chart::SongChart chart = ChartOf(c.before, 192);
        const auto edit = edit::PutNoteEdit(chart, c.put.row, c.put.column, c.put.kind, 12);
        EXPECT_EQ(edit ? edit->text : "", c.text);
        EXPECT_EQ(edit_test::Applied(chart, edit).notes, ChartOf(c.after, 192).notes);
    }
}

// The entry kind reaches clicks, held keys and drags; a .dwi song takes taps
// and holds only, whatever was chosen. At 120 BPM and the 8th snap, 1.0 s is
// row 96 and a cell 24 rows.
TEST(NoteKinds, EntryKindMakesRollsAndMinesOnlyWhereTheFileHoldsThem) {
    for (const bool dwi : {true, false}) {
        SCOPED_TRACE(dwi ? "dwi" : "sm");
        chart::Song song = dwi::ReadSong("#BPM:120;\n#SINGLE:BASIC:1:00000000;\n");
        song.format = dwi ? chart::SongFormat::Dwi : chart::SongFormat::Sm;
        edit::SongEditor editor(song);
        editor.SetEntryKind(Roll);
        editor.PressKey(0, 1.0);
        editor.ReleaseKey(0, 1.5);
        editor.SetHold(0, 3, 48); // a drag from an empty cell
        editor.SetEntryKind(Mine);
        editor.ToggleNote(48, 1);
        EXPECT_EQ(editor.SetHold(48, 1, 24), dwi); // a mine has no length
        EXPECT_EQ(editor.PutNote(0, 2, Lift), !dwi);
        const std::vector<Note> expected =
            dwi ? std::vector<Note>{{0, 3, 48}, {48, 1, 24}, {96, 0, 48}}
                : std::vector<Note>{
                      {0, 2, 0, Lift}, {0, 3, 48, Roll}, {48, 1, 0, Mine}, {96, 0, 48, Roll}};
        EXPECT_EQ(editor.Selected()->notes.Notes(), expected);
    }
}

} // namespace

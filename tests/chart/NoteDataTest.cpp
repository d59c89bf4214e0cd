#include "chart/NoteData.h"

#include <gtest/gtest.h>

namespace {

using chart::Note;
using chart::NoteData;

TEST(NoteData, KeepsNotesSortedFindsThemAndReplacesWhatANewNoteOverlaps) {
    NoteData notes(4);
    for (const Note& note : {Note{48, 2, 0}, Note{0, 3, 0}, Note{0, 1, 0}, Note{24, 0, 12}}) {
        ASSERT_TRUE(notes.Set(note));
    }
    EXPECT_EQ(notes.Notes(), (std::vector<Note>{{0, 1, 0}, {0, 3, 0}, {24, 0, 12}, {48, 2, 0}}));
    // The index of the note found by its head and by its span (-1: none);
    // the tail row belongs to the hold.
    const auto index = [&notes](const Note* note) {
        return note ? static_cast<int>(note - notes.Notes().data()) : -1;
    };
    const std::tuple<std::int32_t, std::uint8_t, int, int> kProbes[] = {
        {24, 0, 2, 2},   {36, 0, -1, 2}, {37, 0, -1, -1}, {23, 0, -1, -1},
        {24, 1, -1, -1}, {0, 2, -1, -1}, {48, 2, 3, 3},   {49, 2, -1, -1}};
    for (const auto& [row, c, head, span] : kProbes) {
        EXPECT_EQ(index(notes.Find(row, c)), head) << row << " " << int(c);
        EXPECT_EQ(index(notes.Covering(row, c)), span) << row << " " << int(c);
    }
    const auto heads = [&notes](std::int32_t begin, std::int32_t end) {
        return notes.HeadsIn(begin, end).size();
    };
    EXPECT_EQ((std::vector{heads(1, 48), heads(0, 49), heads(48, 48), heads(49, 0), heads(24, 48),
                           heads(0, 24)}),
              (std::vector<std::size_t>{1, 4, 0, 0, 1, 2}));
    EXPECT_EQ(std::pair(notes.EndRow(), NoteData(4).EndRow()), std::pair(49, 0));
    EXPECT_EQ((std::vector{notes.Remove(0, 3), notes.Remove(0, 3), notes.Remove(24, 1)}),
              (std::vector{true, false, false}));
    // A new note replaces what overlaps it in its column only: a tap inside
    // a hold the hold, a hold the later heads it covers (on its tail row too).
    for (const Note& note : {Note{0, 0, 48}, Note{96, 0, 0}, Note{12, 0, 0}}) {
        notes.Set(note);
    }
    EXPECT_EQ(notes.Notes(), (std::vector<Note>{{0, 1, 0}, {12, 0, 0}, {48, 2, 0}, {96, 0, 0}}));
    notes.Set({0, 0, 96});
    EXPECT_EQ(notes.Notes(), (std::vector<Note>{{0, 0, 96}, {0, 1, 0}, {48, 2, 0}}));
    EXPECT_EQ(notes.EndRow(), 97);
    // Notes outside the grid are refused.
    constexpr std::int32_t kMax = chart::kMaxRows;
    // clang-format off
    const std::pair<Note, bool> kNotes[] = {
        {{0, 3, 0}, true}, {{0, 4, 0}, false}, {{-1, 0, 0}, false}, {{0, 0, -5}, false},
        {{kMax - 11, 0, 10}, true}, {{kMax - 10, 0, 10}, false}, {{kMax - 1, 0, 0}, true},
        {{INT32_MAX, 0, 0}, false}};
    // clang-format on
    for (const auto& [note, accepted] : kNotes) {
        EXPECT_EQ(NoteData(4).Set(note), accepted) << note.row << " " << int(note.column);
    }
}

} // namespace

#include "chart/NoteData.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

using chart::Note;
using chart::NoteData;

TEST(NoteData, KeepsNotesSortedAndFindsThemByRowAndColumn) {
    NoteData notes(4);
    for (const Note& note : {Note{48, 2, 0}, Note{0, 3, 0}, Note{0, 1, 0}, Note{24, 0, 12}}) {
        ASSERT_TRUE(notes.Set(note));
    }
    EXPECT_EQ(notes.Notes(), (std::vector<Note>{{0, 1, 0}, {0, 3, 0}, {24, 0, 12}, {48, 2, 0}}));
    EXPECT_EQ(notes.Find(24, 0), &notes.Notes()[2]);
    EXPECT_EQ(notes.Find(24, 1), nullptr);
    EXPECT_EQ(notes.Find(0, 2), nullptr);
    EXPECT_EQ(notes.Covering(24, 0), &notes.Notes()[2]);
    EXPECT_EQ(notes.Covering(36, 0), &notes.Notes()[2]); // the tail row belongs to the hold
    EXPECT_EQ(notes.Covering(37, 0), nullptr);
    EXPECT_EQ(notes.Covering(23, 0), nullptr);
    EXPECT_EQ(notes.HeadsIn(1, 48).size(), 1u);
    EXPECT_EQ(notes.HeadsIn(0, 49).size(), 4u);
    EXPECT_EQ(notes.HeadsIn(48, 48).size(), 0u);
    EXPECT_EQ(notes.EndRow(), 49);
    EXPECT_TRUE(notes.Remove(0, 3));
    EXPECT_FALSE(notes.Remove(0, 3));
    EXPECT_FALSE(notes.Remove(24, 1));
}

TEST(NoteData, ANewNoteReplacesWhatOverlapsItInItsColumnOnly) {
    NoteData notes(4);
    notes.Set({0, 0, 48});
    notes.Set({96, 0, 0});
    notes.Set({24, 1, 0});
    notes.Set({12, 0, 0}); // a tap inside the hold takes its place
    EXPECT_EQ(notes.Notes(), (std::vector<Note>{{12, 0, 0}, {24, 1, 0}, {96, 0, 0}}));
    // A hold over later heads of its column swallows them, the one on its
    // tail row too, but not those of other columns.
    notes.Set({0, 0, 96});
    EXPECT_EQ(notes.Notes(), (std::vector<Note>{{0, 0, 96}, {24, 1, 0}}));
    EXPECT_EQ(notes.EndRow(), 97);
}

TEST(NoteData, RefusesNotesOutsideTheGrid) {
    constexpr std::int32_t kMax = chart::kMaxRows;
    struct Case {
        Note note;
        bool accepted;
    };
    for (const Case& c : {Case{{0, 3, 0}, true}, Case{{0, 4, 0}, false}, Case{{-1, 0, 0}, false},
                          Case{{0, 0, -5}, false}, Case{{kMax - 11, 0, 10}, true},
                          Case{{kMax - 10, 0, 10}, false}, Case{{kMax - 1, 0, 0}, true},
                          Case{{std::numeric_limits<std::int32_t>::max(), 0, 0}, false}}) {
        SCOPED_TRACE(testing::Message() << c.note.row << " " << int(c.note.column));
        NoteData notes(4);
        EXPECT_EQ(notes.Set(c.note), c.accepted);
        EXPECT_EQ(notes.Size(), c.accepted ? 1u : 0u);
    }
}

} // namespace

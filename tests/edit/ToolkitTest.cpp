#include "EditorTestSongs.h"
#include "edit/Clipboard.h"
#include "edit/Navigation.h"
#include "edit/SongEditor.h"
#include "edit/Transforms.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using chart::ChartStyle;
using edit::ClipRows;
using edit::Transform;
using edit_test::Applied;
using Notes = std::vector<chart::Note>;
constexpr auto kSingle = ChartStyle::Single, kDouble = ChartStyle::Double,
               kCouple = ChartStyle::Couple, kSolo = ChartStyle::Solo;

// Notes written "row:column" for a tap, "row:column+holdRows" for a hold,
// sorted, so that a table row fits a line and a failure reads as notes.
Notes N(const std::string& text) {
    Notes notes;
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        int row = 0, column = 0, holdRows = 0;
        std::sscanf(item.c_str(), "%d:%d+%d", &row, &column, &holdRows);
        notes.push_back({row, static_cast<std::uint8_t>(column), holdRows});
    }
    return notes;
}

std::string T(const Notes& notes) {
    std::string out;
    for (const chart::Note& n : notes) {
        out += (out.empty() ? "" : " ") + std::to_string(n.row) + ":" + std::to_string(n.column) +
               (n.IsHold() ? "+" + std::to_string(n.holdRows) : "");
    }
    return out;
}

chart::SongChart ChartOf(const std::string& notes, ChartStyle style = ChartStyle::Single,
                         std::int32_t lengthRows = 192) {
    return edit_test::ChartOf(N(notes), lengthRows, style);
}

// Columns: SINGLE L D U R; DOUBLE/COUPLE 0-3 pad 1, 4-7 pad 2; SOLO L UL D U
// UR R. Expected notes worked by hand from the rules in edit/Transforms.h.
TEST(Toolkit, TransformsMoveTheSpansNotesByHand) {
    using enum Transform;
    const struct {
        ChartStyle style;
        const char* notes;
        edit::RowSpan span;
        Transform transform;
        const char* after;         // "-": nothing to do
        std::int32_t endAfter = 0; // the span's end after; 0: unchanged
        std::int32_t lengthAfter = 192;
    } cases[] = {
        // Heads at 0 and 48 lie outside [24, 48); the hold's tail passes 48.
        {kSingle, "0:0 24:1+36 30:3 48:3", {24, 48}, Mirror, "0:0 24:2+36 30:0 48:3"},
        {kDouble, "0:0 0:5 24:3+24", {0, 48}, Mirror, "0:2 0:7 24:4+24"},
        {kCouple, "0:0 0:5", {0, 24}, Mirror, "0:3 0:6"},
        {kSolo, "0:1 12:2", {0, 24}, Mirror, "0:4 12:3"},
        {kSolo, "0:1 0:2", {0, 24}, FlipLeftRight, "0:2 0:4"},
        {kSingle, "0:0 0:1", {0, 24}, FlipUpDown, "0:0 0:2"},
        {kSingle, "0:0 24:3", {0, 48}, FlipUpDown, "-"},
        {kSingle, "0:0 24:3", {0, 48}, RotateRight, "0:1 24:0"},
        {kSolo, "0:0 0:4", {0, 24}, RotateLeft, "0:3 0:5"},
        {kCouple, "0:2 0:7", {0, 24}, RotateRight, "0:3 0:4"},
        {kDouble, "0:1 24:6+12", {0, 48}, SwapPads, "0:5 24:2+12"},
        {kSingle, "0:1", {0, 48}, SwapPads, "-"},
        {kSingle, "0:1", {24, 48}, Mirror, "-"},
        // rand() from seed 1 gives 41, 18467, 6334: lanes 0->3, 1->0, 2->2, 3->1.
        {kSingle, "0:0 24:1 48:2 72:3", {0, 96}, Shuffle, "0:3 24:0 48:2 72:1"},
        // A tap mirrored into a hold from before is absorbed; the hold stays.
        {kSingle, "0:0+48 24:3", {24, 48}, Mirror, "0:0+48"},
        // Doubled from 0; after the span everything moves 48 later.
        {kSingle,
         "0:0 12:1+12 24:2 48:3 168:0",
         {0, 48},
         Expand1to2,
         "0:0 24:1+24 48:2 96:3 216:0",
         96,
         240},
        // Halved from 48 (51 -> 49.5 -> 49 meets 50 -> 49); after moves 48 earlier.
        {kSingle,
         "48:0 50:3 51:3 60:1 72:2+24 96:3 144:0 150:1",
         {48, 144},
         Compress2to1,
         "48:0 49:3 54:1 60:2+12 72:3 96:0 102:1",
         96},
        // 10 * 2/3 = 6.67 -> 7.
        {kSingle, "10:3 24:0 36:1 72:2", {0, 72}, Compress3to2, "7:3 16:0 24:1 48:2", 48},
        // The hold from before ends at 36, in the span: 24 + 12 * 3/2 = 42.
        {kSingle, "0:0+36 24:1 40:2 48:3", {24, 48}, Expand2to3, "0:0+42 24:1 48:2 60:3", 60},
        // 8th cells: 12 ties to 0; 20 and 30 meet at 24; the 5-row hold is a
        // tap; 60-90 becomes 48-96; 90 meets the tap at 96; 100 is outside.
        {kSingle,
         "11:0 12:1 20:2 30:2 50:2+5 60:3+30 90:1 96:1 100:0",
         {0, 96},
         Quantize,
         "0:0 0:1 24:2 48:2 48:3+48 96:1 100:0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(edit::TransformName(c.transform)) + " on " + c.notes);
        const chart::SongChart chart = ChartOf(c.notes, c.style);
        chart::StepRandom random;
        const auto result = edit::TransformEdit(chart, c.span, c.transform, 24, random);
        ASSERT_EQ(result.has_value(), std::string(c.after) != "-");
        if (!result) {
            continue;
        }
        const chart::SongChart after = Applied(chart, result->edit);
        EXPECT_EQ(T(after.notes.Notes()), c.after);
        EXPECT_EQ(after.lengthRows, c.lengthAfter);
        EXPECT_EQ(result->span,
                  (edit::RowSpan{c.span.begin, c.endAfter ? c.endAfter : c.span.end}));
        EXPECT_EQ(result->edit.text, edit::TransformName(c.transform));
    }
}

TEST(Toolkit, ClipTextReadsBackToTheSameClip) {
    // The hold's tail at 72 (48 in the clip) lies past the span: the clip covers it.
    const ClipRows copied = edit::CopyRows(ChartOf("24:0+48 30:1 72:2"), {24, 48});
    EXPECT_EQ(copied, (ClipRows{ChartStyle::Single, 49, N("0:0+48 6:1")}));
    const ClipRows clips[] = {
        copied,
        {ChartStyle::Single, 100, N("0:0 0:1 0:3 5:2+30 99:0")},
        {ChartStyle::Single, 400, N("7:3+200 8:0 250:1 251:2")},
        {ChartStyle::Double, 48, N("0:0 0:7+24 13:4")},
        {ChartStyle::Couple, 24, N("12:5")},
        {ChartStyle::Solo, 72, N("0:1 0:4 24:2+47")},
    };
    // Kinds .dwi steps cannot hold go out as a .sm chart, its length exact.
    using chart::NoteKind;
    const ClipRows kinds{ChartStyle::Double,
                         100,
                         {{0, 0, 0, NoteKind::Mine},
                          {12, 6, 24, NoteKind::Roll},
                          {50, 2, 0, NoteKind::Lift, 3},
                          {60, 1, 0, NoteKind::Fake}}};
    for (const ClipRows& clip :
         {clips[0], clips[1], clips[2], clips[3], clips[4], clips[5], kinds}) {
        SCOPED_TRACE(edit::ClipText(clip, "BASIC", 3));
        EXPECT_EQ(edit::ParseClipText(edit::ClipText(clip, "BASIC", 3)), clip);
    }
    EXPECT_EQ(edit::ClipText({ChartStyle::Single, 48, {{0, 0, 0, NoteKind::Mine}}}, "Hard", 3),
              "#NOTES:\n     dance-single:\n     48 rows:\n     Hard:\n     3:\n     :\n"
              "M000\n0000\n0000\n0000\n;");
    EXPECT_EQ(edit::ClipText({ChartStyle::Single, 48, N("0:0 24:3")}, "BASIC", 3),
              "#SINGLE:BASIC:3:\n46;");
    EXPECT_EQ(edit::ClipText({ChartStyle::Double, 24, N("0:0 0:5")}, "MANIAC", 9),
              "#DOUBLE:MANIAC:9:\n4:\n2;");
}

TEST(Toolkit, ClipboardTextIsAChartRecordOrBareStepsOrNothing) {
    EXPECT_EQ(edit::ParseClipText("4 6\n(28)"), (ClipRows{kSingle, 72, N("0:0 24:3 48:1 60:2")}));
    EXPECT_EQ(edit::ParseClipText("#TITLE:x;\n#couple:X:9:2:8;#SINGLE:A:1:4;"),
              (ClipRows{kCouple, 24, N("0:1 0:6")}));
    for (const char* text : {"", "hello", "12 apples", "#TITLE:x;", "#SINGLE:BASIC:1:;"}) {
        EXPECT_EQ(edit::ParseClipText(text), std::nullopt) << text;
    }
}

TEST(Toolkit, PasteFillsTheRowsAcrossStylesOrRefuses) {
    const struct {
        ChartStyle style;
        const char* notes;
        std::int32_t atRow;
        ChartStyle clipStyle;
        const char* clipNotes; // 48 rows
        const char* after;
        std::int32_t lengthAfter = 120;
        const char* refusal = "";
    } cases[] = {
        // Heads of [24, 72) go; the pasted tap at 36 ends the hold from 0.
        {kSingle, "0:0+60 24:1 72:2 96:3", 24, kSingle, "0:3 12:0", "24:3 36:0 72:2 96:3"},
        {kSingle, "", 80, kSingle, "0:0", "80:0", 144},
        {kDouble, "0:7 48:7", 0, kSingle, "0:3", "0:3 48:7"},
        {kDouble, "", 0, kCouple, "0:6", "0:6"},
        {kSolo, "", 0, kSingle, "0:1 0:3", "0:2 0:5"},
        {kSingle, "", 0, kSolo, "0:5", "0:3"},
        {kSingle, "", 0, kSolo, "0:1", "", 120,
         "Steps copied from a SOLO chart use arrows a SINGLE chart does not have."},
        {kSingle, "", 0, kDouble, "0:0", "", 120,
         "Steps copied from a DOUBLE chart do not fit a SINGLE chart."},
        {kSolo, "", 0, kCouple, "0:0", "", 120,
         "Steps copied from a COUPLE chart do not fit a SOLO chart."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.clipNotes) + " onto " + c.notes);
        const chart::SongChart chart = ChartOf(c.notes, c.style, 120);
        std::string refusal = "stale";
        const auto edit =
            edit::PasteEdit(chart, c.atRow, {c.clipStyle, 48, N(c.clipNotes)}, refusal);
        EXPECT_EQ(refusal, c.refusal);
        ASSERT_EQ(edit.has_value(), refusal.empty());
        const chart::SongChart after = Applied(chart, edit);
        EXPECT_EQ(T(after.notes.Notes()), c.after);
        EXPECT_EQ(after.lengthRows, c.lengthAfter);
    }
}

TEST(Toolkit, EditorOperationsUndoAndRedoExactly) {
    edit::SongEditor editor(edit_test::RichSong());
    editor.SetSnap(edit::Snap::k4th);
    const ClipRows clip = edit::CopyRows(editor.Song().charts[0], {0, 96});
    std::string refusal;
    const auto transform = [&editor](edit::RowSpan span, Transform t) {
        return [&editor, span, t] { return editor.ApplyTransform(span, t); };
    };
    const auto cut = [&editor] { return editor.CutRows({24, 72}); };
    const auto paste = [&] { return editor.Paste(30, clip, refusal); };
    const std::pair<const char*, std::function<bool()>> operations[] = {
        {"Mirror", transform({0, 192}, Transform::Mirror)},
        {"Expand 1:2", transform({24, 96}, Transform::Expand1to2)},
        {"Compress 3:2", transform({0, 144}, Transform::Compress3to2)},
        {"Shuffle", transform({0, 400}, Transform::Shuffle)},
        {"Quantize", transform({0, 400}, Transform::Quantize)},
        {"Cut", cut},
        {"Paste", paste}};
    for (const auto& [text, run] : operations) {
        SCOPED_TRACE(text);
        const chart::Song before = editor.Song();
        ASSERT_TRUE(run());
        const chart::Song after = editor.Song();
        EXPECT_FALSE(chart::SameContent(before, after));
        EXPECT_EQ(editor.History().UndoText(), text);
        editor.Undo();
        EXPECT_TRUE(chart::SameContent(editor.Song(), before));
        editor.Redo();
        EXPECT_TRUE(chart::SameContent(editor.Song(), after));
    }
}

TEST(Toolkit, NavigationFindsNotesAndTypedPlaces) {
    const chart::SongChart chart = ChartOf("24:0+48 30:1 30:2 96:3");
    using Row = std::optional<std::int32_t>;
    EXPECT_EQ((std::vector{edit::NextNoteRow(chart, 24), edit::NextNoteRow(chart, -5),
                           edit::NextNoteRow(chart, 96), edit::PreviousNoteRow(chart, 96),
                           edit::PreviousNoteRow(chart, 24)}),
              (std::vector<Row>{30, 24, {}, 30, {}}));
    // 120 BPM from 1 s; a 1 s stop at beat 4; 60 BPM from beat 8. Beat 4 is
    // reached at 3 s, beat 8 at 1 + 2 + 1 + 2 = 6 s, beat 12 at 10 s.
    chart::Song song;
    song.bpm = 120.0f;
    song.gapSeconds = 1.0f;
    song.stops = {{4.0, 1000.0}};
    song.changes = {{8.0, 60.0}};
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"12", 10.0},       {"b2", 2.0},     {" Beat 4.5 ", 4.25}, {"BEAT 4", 3.0}, {"m2", 3.0},
        {"measure 3", 6.0}, {"83.2s", 83.2}, {"1:05.25", 65.25},   {"1:75", {}},    {"abc", {}},
        {"m2.5", {}},       {"", {}},        {"12x", {}},          {"-1s", {}},
    };
    for (const auto& [text, seconds] : cases) {
        SCOPED_TRACE(text);
        const auto found = edit::GoToSeconds(song, text);
        ASSERT_EQ(found.has_value(), seconds.has_value());
        if (found) {
            EXPECT_NEAR(*found, *seconds, 1e-9);
        }
    }
}

} // namespace

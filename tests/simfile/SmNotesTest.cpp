#include "simfile/SmNotes.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using chart::Note;
using chart::NoteKind;

// A measure of n lines with a tap in column 0 on line `line` only.
std::string TapMeasure(int n, int line) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        text += i == line ? "1000\n" : "0000\n";
    }
    return text;
}

TEST(SmNotes, DecodesEveryKindResolutionAndDamage) {
    struct Case {
        const char* name;
        std::string text;
        std::uint8_t columns;
        std::vector<Note> notes;
        std::int32_t lengthRows;
        std::uint8_t columnsRead = 4;
    };
    const NoteKind N = NoteKind::Normal;
    // Rows worked by hand: line r of n at r * 192 / n, nearest, ties to even.
    const Case cases[] = {
        {"4ths",
         "1000\n0100\n0010\n0001\n",
         4,
         {{0, 0, 0, N, 0}, {48, 1, 0, N, 0}, {96, 2, 0, N, 0}, {144, 3, 0, N, 0}},
         192},
        {"8ths", TapMeasure(8, 3), 4, {{72, 0, 0, N, 0}}, 192},
        {"12ths", TapMeasure(12, 5), 4, {{80, 0, 0, N, 0}}, 192},
        {"16ths", TapMeasure(16, 3), 4, {{36, 0, 0, N, 0}}, 192},
        {"24ths", TapMeasure(24, 7), 4, {{56, 0, 0, N, 0}}, 192},
        {"32nds", TapMeasure(32, 5), 4, {{30, 0, 0, N, 0}}, 192},
        {"48ths", TapMeasure(48, 47), 4, {{188, 0, 0, N, 0}}, 192},
        {"64ths", TapMeasure(64, 1), 4, {{3, 0, 0, N, 0}}, 192},
        {"192nds", TapMeasure(192, 191), 4, {{191, 0, 0, N, 0}}, 192},
        {"5 lines: 153.6", TapMeasure(5, 4), 4, {{154, 0, 0, N, 0}}, 192},
        {"5 lines: 76.8", TapMeasure(5, 2), 4, {{77, 0, 0, N, 0}}, 192},
        {"7 lines: 109.71", TapMeasure(7, 4), 4, {{110, 0, 0, N, 0}}, 192},
        {"7 lines: 82.29", TapMeasure(7, 3), 4, {{82, 0, 0, N, 0}}, 192},
        {"128 lines: 1.5 to even", TapMeasure(128, 1), 4, {{2, 0, 0, N, 0}}, 192},
        {"128 lines: 4.5 to even", TapMeasure(128, 3), 4, {{4, 0, 0, N, 0}}, 192},
        {"second measure", "0000\n,\n" + TapMeasure(4, 1), 4, {{240, 0, 0, N, 0}}, 384},
        {"hold across a measure",
         "2000\n0000\n0000\n0000\n,\n3000\n0000\n0000\n0000\n",
         4,
         {{0, 0, 192, N, 0}},
         384},
        {"roll", "0400\n0300\n0000\n0000\n", 4, {{0, 1, 48, NoteKind::Roll, 0}}, 192},
        {"mine lift fake keysound",
         "M0LF\n000K\n0000\n0000\n",
         4,
         {{0, 0, 0, NoteKind::Mine, 0},
          {0, 2, 0, NoteKind::Lift, 0},
          {0, 3, 0, NoteKind::Fake, 0},
          {48, 3, 0, NoteKind::AutoKeysound, 0}},
         192},
        {"keysounds and attacks",
         "1[3]0K[0]0\n0{drunk}[7]00\n2[12]000\n3000\n",
         4,
         {{0, 0, 0, N, 4}, {0, 2, 0, NoteKind::AutoKeysound, 1}, {96, 0, 48, N, 13}},
         192},
        {"bad keysounds are none",
         "1[-1]1[x]1[65535]1[65534]\n",
         4,
         {{0, 0, 0, N, 0}, {0, 1, 0, N, 0}, {0, 2, 0, N, 0}, {0, 3, 0, N, 65535}},
         192},
        {"unterminated hold and roll dropped", "2400\n0000\n0000\n0000\n", 4, {}, 192},
        {"tail without head ignored", "3000\n1000\n0000\n0000\n", 4, {{48, 0, 0, N, 0}}, 192},
        {"tap inside a hold drops the hold",
         "2000\n1000\n3000\n0000\n",
         4,
         {{48, 0, 0, N, 0}},
         192},
        {"head after head: the later is closed",
         "2000\n2000\n3000\n0000\n",
         4,
         {{48, 0, 48, N, 0}},
         192},
        {"keysound inside a hold dropped", "2000\nK000\n3000\n0000\n", 4, {{0, 0, 96, N, 0}}, 192},
        {"unknown letters empty, short lines, blank lines",
         " x1\r\n\n\t1\n0000\n0000\n",
         4,
         {{0, 1, 0, N, 0}, {48, 0, 0, N, 0}},
         192},
        {"',,' skipped, blank measure counts",
         "1000\n,,\n0100\n,\n\n,\n0010\n",
         4,
         {{0, 0, 0, N, 0}, {192, 1, 0, N, 0}, {576, 2, 0, N, 0}},
         768},
        {"second player not read", "1000\n&\n0100\n", 4, {{0, 0, 0, N, 0}}, 192},
        {"width from the first row",
         "10000\n00001\n",
         0,
         {{0, 0, 0, N, 0}, {96, 4, 0, N, 0}},
         192,
         5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const sm::DecodedNotes decoded = sm::DecodeNotes(c.text, c.columns);
        EXPECT_EQ(decoded.notes.Notes(), c.notes);
        EXPECT_EQ(decoded.lengthRows, c.lengthRows);
        EXPECT_EQ(decoded.notes.Columns(), c.columnsRead);
    }
}

TEST(SmNotes, EachMeasureTakesTheCoarsestExactResolution) {
    struct Case {
        std::int32_t row;
        int rows;
    };
    // 192 / gcd(48, row): worked for each divisor of 192 from 4 up.
    const Case cases[] = {{0, 4},  {96, 4}, {64, 6}, {24, 8}, {16, 12}, {36, 16},      {8, 24},
                          {6, 32}, {4, 48}, {3, 64}, {2, 96}, {1, 192}, {192 + 40, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        chart::NoteData notes(4);
        notes.Set({c.row, 1, 0});
        EXPECT_EQ(sm::RowsPerMeasure(notes, c.row / 192), c.rows);
    }
    // A tail counts in the measure it lands in, and only there.
    chart::NoteData hold(4);
    hold.Set({0, 0, 200});
    EXPECT_EQ(sm::RowsPerMeasure(hold, 0), 4);
    EXPECT_EQ(sm::RowsPerMeasure(hold, 1), 24);
}

TEST(SmNotes, EncodesMeasuresKeysoundsAndEmptyLength) {
    chart::NoteData notes(4);
    notes.Set({0, 0, 0, NoteKind::Normal, 3});
    notes.Set({96, 1, 144, NoteKind::Roll});
    notes.Set({48, 3, 0, NoteKind::Mine});
    EXPECT_EQ(sm::EncodeNotes(notes, 3 * 192, "\r\n"),
              "1[2]000\r\n000M\r\n0400\r\n0000\r\n,\r\n0000\r\n0300\r\n0000\r\n0000\r\n,\r\n"
              "0000\r\n0000\r\n0000\r\n0000\r\n");
    EXPECT_EQ(sm::EncodeNotes(chart::NoteData(4), 0, "\n"), "");
    const sm::DecodedNotes back = sm::DecodeNotes(sm::EncodeNotes(notes, 3 * 192, "\n"), 4);
    EXPECT_EQ(back.notes, notes);
    EXPECT_EQ(back.lengthRows, 3 * 192);
}

TEST(SmNotes, ColumnsOfKnownStepsTypes) {
    const std::pair<const char*, int> cases[] = {
        {"dance-single", 4},    {"Dance-Double", 8},     {"dance-couple", 8},
        {"dance-solo", 6},      {"dance-threepanel", 3}, {"pump-single", 5},
        {"pump-halfdouble", 6}, {"pump-double", 10},     {"kb7-single", 7},
        {"  pump-couple ", 10}, {"guitar-five", 0}};
    for (const auto& [type, columns] : cases) {
        SCOPED_TRACE(type);
        EXPECT_EQ(sm::ColumnsOfStepsType(type), columns);
    }
}

} // namespace

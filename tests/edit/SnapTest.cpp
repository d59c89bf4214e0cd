#include "edit/Snap.h"

#include "chart/SongTiming.h"
#include "edit/NoteColour.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

chart::Song ConstantSong(float bpm, float gapSeconds) {
    chart::Song song;
    song.bpm = bpm;
    song.gapSeconds = gapSeconds;
    return song;
}

// Positions that probe the tie rules: each half-beat boundary and midpoint
// as the constant-tempo arithmetic builds them and their neighbours one ulp
// away.
std::vector<double> ProbePositions(float bpm, float gapSeconds) {
    const double h = chart::HalfBeatSeconds(bpm);
    std::vector<double> positions = {-1.0, 0.0, std::nan(""), 1e12};
    for (int k = 0; k < 400; ++k) {
        for (double at : {static_cast<double>(gapSeconds) + k * h,
                          static_cast<double>(gapSeconds) + (k + 0.5) * h}) {
            positions.push_back(at);
            positions.push_back(std::nextafter(at, -INFINITY));
            positions.push_back(std::nextafter(at, INFINITY));
        }
    }
    return positions;
}

TEST(Snap, EighthSnapWithoutTempoChangesIsTheHalfBeatArithmeticExactly) {
    for (const auto& [bpm, gap] :
         {std::pair{120.0f, 0.0f}, {137.3f, 0.217f}, {87.9f, 1.5f}, {222.22f, 0.01f}}) {
        const chart::Song song = ConstantSong(bpm, gap);
        for (double p : ProbePositions(bpm, gap)) {
            const auto slot = chart::SlotAtPosition(p, bpm, gap);
            const auto row = edit::RowAtPosition(song, edit::Snap::k8th, p);
            ASSERT_EQ(row.has_value(), slot.has_value()) << bpm << " " << p;
            if (slot) {
                ASSERT_EQ(*row, *slot * 24) << bpm << " " << p;
            }
            for (double duration : {1e9, 3.0}) {
                ASSERT_EQ(edit::SnapForwardAt(song, edit::Snap::k8th, p, duration),
                          chart::SnapForward(p, duration, bpm, gap))
                    << bpm << " " << p;
            }
        }
    }
}

TEST(Snap, ExactTiesGoToTheEarlierCellAtEverySnap) {
    // 120 BPM: a beat is 0.5 s, so every cell boundary and midpoint below
    // is a binary fraction and the ties are exact.
    const chart::Song song = ConstantSong(120.0f, 0.0f);
    struct Case {
        edit::Snap snap;
        double seconds;
        std::int32_t row;
    };
    for (const Case& c :
         {Case{edit::Snap::k4th, 0.25, 0}, Case{edit::Snap::k4th, 0.2500001, 48},
          Case{edit::Snap::k8th, 0.375, 24}, Case{edit::Snap::k16th, 0.0625, 0},
          Case{edit::Snap::k16th, 0.0626, 12}, Case{edit::Snap::k32nd, 0.25, 24},
          Case{edit::Snap::k64th, 0.0234375, 3}, Case{edit::Snap::k192nd, 1.0, 96}}) {
        EXPECT_EQ(edit::RowAtPosition(song, c.snap, c.seconds), c.row)
            << edit::SnapName(c.snap) << " " << c.seconds;
    }
    EXPECT_EQ(edit::RowAtPosition(song, edit::Snap::k16th, -0.01), std::nullopt);
}

chart::Song SongWithChanges() {
    chart::Song song = ConstantSong(120.0f, 1.0f);
    song.changes = {{4.0, 240.0}}; // beats 0-4 take 2 s, then 0.25 s a beat
    song.stops = {{8.0, 500.0}};   // beat 8 (4 s after the Gap) holds for 0.5 s
    return song;
}

TEST(Snap, TempoChangesAndStopsGoThroughTheTimingMap) {
    const chart::Song song = SongWithChanges();
    EXPECT_EQ(edit::RowAtPosition(song, edit::Snap::k16th, 0.9), std::nullopt);
    EXPECT_EQ(edit::RowAtPosition(song, edit::Snap::k16th, 1.0), 0); // the Gap is beat 0
    EXPECT_EQ(edit::RowAtPosition(song, edit::Snap::k16th, 1.0 + 0.5 * 1.25), 60);
    // After the change a 16th lasts 0.0625 s.
    EXPECT_EQ(edit::RowAtPosition(song, edit::Snap::k16th, 3.0 + 0.0625 * 3), 4 * 48 + 36);
    // Anywhere inside the stop the song stays on beat 8.
    EXPECT_EQ(edit::RowAtPosition(song, edit::Snap::k16th, 4.2), 8 * 48);
    EXPECT_EQ(edit::RowAtPosition(song, edit::Snap::k16th, 4.49), 8 * 48);
    // After the stop time runs again from beat 8.
    EXPECT_EQ(edit::RowAtPosition(song, edit::Snap::k4th, 4.5 + 0.25 * 2), 10 * 48);
}

TEST(Snap, EnterMovesToJustBeforeTheNextCellAcrossChanges) {
    const chart::Song song = SongWithChanges();
    // At beat 4.5 (3.125 s) at 8th snap: the next cell is beat 5 (3.25 s),
    // a tenth of a cell (0.05 beat, 0.0125 s) before it.
    EXPECT_NEAR(edit::SnapForwardAt(song, edit::Snap::k8th, 3.13, 100.0), 3.2375, 1e-9);
    // Inside the stop, on a cell: the next cell, beat 8.5, 0.625 s later.
    EXPECT_NEAR(edit::SnapForwardAt(song, edit::Snap::k8th, 4.2, 100.0), 4.5 + 0.125, 1e-9);
    EXPECT_EQ(edit::SnapForwardAt(song, edit::Snap::k8th, 3.13, 3.2), 3.2); // the duration
}

// An Nth note is 192 / N rows (a whole note is four beats of 48); the
// shortcuts step through the list and stay at its ends.
TEST(Snap, EachSnapIsItsNamesPartOfAWholeNote) {
    for (std::size_t i = 0; i < edit::kAllSnaps.size(); ++i) {
        const edit::Snap snap = edit::kAllSnaps[i];
        EXPECT_EQ(edit::RowsPerCell(snap) * std::stoi(std::string(edit::SnapName(snap))), 192);
        EXPECT_EQ(edit::FinerSnap(snap), edit::kAllSnaps[std::min<std::size_t>(i + 1, 8)]);
        EXPECT_EQ(edit::CoarserSnap(snap), edit::kAllSnaps[i == 0 ? 0 : i - 1]);
    }
    EXPECT_EQ(edit::SnapName(edit::kAllSnaps.back()), "192nd");
}

TEST(NoteColour, EachRowTakesTheCoarsestDivisionItLiesOn) {
    using edit::NoteColour;
    struct Case {
        std::int32_t row;
        NoteColour colour;
    };
    for (const Case& c :
         {Case{0, NoteColour::k4th}, Case{480, NoteColour::k4th}, Case{24, NoteColour::k8th},
          Case{16, NoteColour::k12th}, Case{32, NoteColour::k12th}, Case{12, NoteColour::k16th},
          Case{36, NoteColour::k16th}, Case{8, NoteColour::k24th}, Case{40, NoteColour::k24th},
          Case{6, NoteColour::k32nd}, Case{42, NoteColour::k32nd}, Case{4, NoteColour::k48th},
          Case{3, NoteColour::k64th}, Case{45, NoteColour::k64th}, Case{2, NoteColour::kFiner},
          Case{1, NoteColour::kFiner}, Case{47, NoteColour::kFiner}, Case{-24, NoteColour::k8th}}) {
        EXPECT_EQ(edit::NoteColourOf(c.row), c.colour) << c.row;
    }
}

} // namespace

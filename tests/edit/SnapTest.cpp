#include "edit/Snap.h"

#include "chart/SongTiming.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using edit::Snap;

chart::Song SongAt(float bpm, float gapSeconds) {
    chart::Song song;
    song.bpm = bpm;
    song.gapSeconds = gapSeconds;
    return song;
}

// Probed at each half-beat boundary and midpoint as the constant-tempo
// arithmetic builds them and one ulp either side, where the tie rules bite.
TEST(Snap, EighthSnapWithoutTempoChangesIsTheHalfBeatArithmeticExactly) {
    for (const auto& [bpm, gap] :
         {std::pair{120.0f, 0.0f}, {137.3f, 0.217f}, {87.9f, 1.5f}, {222.22f, 0.01f}}) {
        const chart::Song song = SongAt(bpm, gap);
        const double h = chart::HalfBeatSeconds(bpm);
        std::vector<double> positions = {-1.0, 0.0, std::nan(""), 1e12};
        for (int k = 0; k < 800; ++k) {
            const double at = static_cast<double>(gap) + (k / 2 + (k % 2 ? 0.5 : 0.0)) * h;
            positions.insert(positions.end(),
                             {at, std::nextafter(at, -INFINITY), std::nextafter(at, INFINITY)});
        }
        for (double p : positions) {
            const auto slot = chart::SlotAtPosition(p, bpm, gap);
            ASSERT_EQ(std::tuple(edit::RowAtPosition(song, Snap::k8th, p),
                                 edit::SnapForwardAt(song, Snap::k8th, p, 1e9),
                                 edit::SnapForwardAt(song, Snap::k8th, p, 3.0)),
                      std::tuple(slot ? std::optional(*slot * 24) : std::nullopt,
                                 chart::SnapForward(p, 1e9, bpm, gap),
                                 chart::SnapForward(p, 3.0, bpm, gap)))
                << bpm << " " << p;
        }
    }
}

// 120 BPM: a beat is 0.5 s, so every cell boundary and midpoint below is a
// binary fraction and the ties are exact. With a change to 240 BPM at beat
// 4 (2 s after the Gap of 1 s) a 16th lasts 0.0625 s from 3 s on; a stop at
// beat 8 (4 s) holds 0.5 s, so the song stays on beat 8 anywhere inside it.
TEST(Snap, NearestCellWithTiesToTheEarlierAtEverySnapAndTempo) {
    const chart::Song constant = SongAt(120.0f, 0.0f);
    chart::Song changed = SongAt(120.0f, 1.0f);
    changed.changes = {{4.0, 240.0}};
    changed.stops = {{8.0, 500.0}};
    // clang-format off
    const std::tuple<const chart::Song*, Snap, double, std::optional<std::int32_t>> kCases[] = {
        {&constant, Snap::k4th, 0.25, 0}, {&constant, Snap::k4th, 0.2500001, 48},
        {&constant, Snap::k8th, 0.375, 24}, {&constant, Snap::k16th, 0.0625, 0},
        {&constant, Snap::k16th, 0.0626, 12}, {&constant, Snap::k32nd, 0.25, 24},
        {&constant, Snap::k64th, 0.0234375, 3}, {&constant, Snap::k192nd, 1.0, 96},
        {&constant, Snap::k16th, -0.01, {}}, {&changed, Snap::k16th, 0.9, {}},
        {&changed, Snap::k16th, 1.0, 0}, {&changed, Snap::k16th, 1.625, 60},
        {&changed, Snap::k16th, 3.1875, 228}, {&changed, Snap::k16th, 4.2, 384},
        {&changed, Snap::k16th, 4.49, 384}, {&changed, Snap::k4th, 5.0, 480},
        {&constant, Snap::k12th, 0.2, 16}, {&constant, Snap::k24th, 0.1, 8},
        {&constant, Snap::k48th, 0.05, 4}};
    // clang-format on
    for (const auto& [song, snap, seconds, row] : kCases) {
        EXPECT_EQ(edit::RowAtPosition(*song, snap, seconds), row)
            << edit::SnapName(snap) << " " << seconds;
    }
    // Enter at beat 4.5 (3.125 s), 8th snap: a tenth of a cell (0.05 beat,
    // 0.0125 s) before beat 5 (3.25 s). Inside the stop, on a cell: the next
    // cell, beat 8.5, 0.625 s later. Never past the duration.
    EXPECT_NEAR(edit::SnapForwardAt(changed, Snap::k8th, 3.13, 100.0), 3.2375, 1e-9);
    EXPECT_NEAR(edit::SnapForwardAt(changed, Snap::k8th, 4.2, 100.0), 4.625, 1e-9);
    EXPECT_EQ(edit::SnapForwardAt(changed, Snap::k8th, 3.13, 3.2), 3.2);
}

} // namespace

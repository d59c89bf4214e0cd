#include "chart/NoteData.h"

#include "chart/SongTiming.h"
#include "chart/TimingMap.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

using chart::Note;
using chart::NoteData;
using chart::TimingMap;

TEST(NoteData, KeepsNotesSortedAndFindsThemByRowAndColumn) {
    NoteData notes(4);
    ASSERT_TRUE(notes.Set({48, 2, 0}));
    ASSERT_TRUE(notes.Set({0, 3, 0}));
    ASSERT_TRUE(notes.Set({0, 1, 0}));
    ASSERT_TRUE(notes.Set({24, 0, 12}));
    const std::vector<Note> expected{{0, 1, 0}, {0, 3, 0}, {24, 0, 12}, {48, 2, 0}};
    EXPECT_EQ(notes.Notes(), expected);
    ASSERT_NE(notes.Find(24, 0), nullptr);
    EXPECT_EQ(notes.Find(24, 0)->holdRows, 12);
    EXPECT_EQ(notes.Find(24, 1), nullptr);
    EXPECT_EQ(notes.Covering(30, 0), notes.Find(24, 0));
    EXPECT_EQ(notes.Covering(36, 0), notes.Find(24, 0)); // the tail row belongs to the hold
    EXPECT_EQ(notes.Covering(37, 0), nullptr);
    EXPECT_EQ(notes.HeadsIn(1, 48).size(), 1u);
    EXPECT_EQ(notes.HeadsIn(0, 49).size(), 4u);
    EXPECT_EQ(notes.EndRow(), 49);
    EXPECT_TRUE(notes.Remove(0, 3));
    EXPECT_FALSE(notes.Remove(0, 3));
}

TEST(NoteData, ANewNoteReplacesWhatOverlapsItInItsColumnOnly) {
    NoteData notes(4);
    notes.Set({0, 0, 48}); // hold over beat 0
    notes.Set({96, 0, 0});
    notes.Set({24, 1, 0});
    // A tap inside the hold removes the hold.
    notes.Set({12, 0, 0});
    EXPECT_EQ(notes.Find(0, 0), nullptr);
    EXPECT_NE(notes.Find(12, 0), nullptr);
    // A hold reaching over later heads of its column swallows them, not
    // those of other columns.
    notes.Set({0, 0, 96});
    EXPECT_EQ(notes.Find(12, 0), nullptr);
    EXPECT_EQ(notes.Find(96, 0), nullptr);
    EXPECT_NE(notes.Find(24, 1), nullptr);
    EXPECT_EQ(notes.Size(), 2u);
}

TEST(NoteData, RefusesNotesOutsideTheGrid) {
    NoteData notes(4);
    EXPECT_FALSE(notes.Set({0, 4, 0}));
    EXPECT_FALSE(notes.Set({-1, 0, 0}));
    EXPECT_FALSE(notes.Set({0, 0, -5}));
    EXPECT_FALSE(notes.Set({chart::kMaxRows - 10, 0, 10}));
    EXPECT_FALSE(notes.Set({std::numeric_limits<std::int32_t>::max(), 0, 0}));
    EXPECT_TRUE(notes.Empty());
}

TEST(TimingMap, WithoutChangesAgreesExactlyWithTheSlotArithmetic) {
    for (float bpm : {120.0f, 137.3f, 0.01f, 999.9f}) {
        for (float gap : {0.0f, 0.1f, -0.25f, 12.345f}) {
            const TimingMap map(bpm, gap);
            const double h = chart::HalfBeatSeconds(bpm);
            for (int k = 0; k < 2000; k += 7) {
                const double slotTime = static_cast<double>(gap) + k * h;
                EXPECT_EQ(map.SecondsAt(k / 2.0), slotTime) << bpm << " " << gap << " " << k;
            }
        }
    }
}

TEST(TimingMap, ChangesAndStopsMoveLaterBeatsAndInvertAwayFromStops) {
    // 120 BPM from the Gap at 1 s; 240 BPM from beat 4; a 500 ms stop at beat 8.
    const std::vector<chart::BpmChange> changes{{4.0, 240.0}};
    const std::vector<chart::Stop> stops{{8.0, 500.0}};
    const TimingMap map(120.0f, 1.0f, changes, stops);
    EXPECT_DOUBLE_EQ(map.SecondsAt(4.0), 3.0);
    EXPECT_DOUBLE_EQ(map.SecondsAt(8.0), 4.0); // reaching the stop
    EXPECT_DOUBLE_EQ(map.SecondsAt(9.0), 4.75);
    EXPECT_DOUBLE_EQ(map.BeatAt(4.2), 8.0); // inside the stop
    EXPECT_DOUBLE_EQ(map.BeatAt(0.0), -2.0);
    EXPECT_DOUBLE_EQ(map.BpmAt(5.0), 240.0);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> beats(-4.0, 40.0);
    for (int i = 0; i < 1000; ++i) {
        const double beat = beats(random);
        if (std::fabs(beat - 8.0) < 1e-9) {
            continue;
        }
        EXPECT_NEAR(map.BeatAt(map.SecondsAt(beat)), beat, 1e-9);
    }
    // Monotonic everywhere, stops included.
    double last = -1e9;
    for (double t = -1.0; t < 20.0; t += 0.001) {
        const double beat = map.BeatAt(t);
        EXPECT_GE(beat, last);
        last = beat;
    }
}

TEST(TimingMap, HostileValuesStayBoundedAndMonotonic) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<chart::BpmChange> changes{{1.0, 0.0},  {2.0, -120.0}, {3.0, nan},  {4.0, inf},
                                                {5.0, 1e30}, {nan, 60.0},   {-3.0, 60.0}};
    const std::vector<chart::Stop> stops{{1.5, -100.0}, {2.5, nan}, {inf, 100.0}};
    const TimingMap map(0.0f, std::numeric_limits<float>::quiet_NaN(), changes, stops);
    EXPECT_FALSE(map.HasUsableTempo());
    double lastSeconds = -inf;
    for (double beat = -2.0; beat < 10.0; beat += 0.25) {
        const double seconds = map.SecondsAt(beat);
        EXPECT_FALSE(std::isnan(seconds)) << beat;
        EXPECT_GE(seconds, lastSeconds) << beat;
        lastSeconds = seconds;
    }
    EXPECT_FALSE(std::isnan(map.BeatAt(100.0)));
    EXPECT_TRUE(TimingMap(120.0f, 0.0f).HasUsableTempo());
}

} // namespace

// The status line's place: measures of four beats counted from beat 0.
#include "chart/MeasurePlace.h"

#include <gtest/gtest.h>

namespace {

TEST(MeasurePlace, CountsMeasuresAndBeatsFromTheFirstBeat) {
    const std::vector<chart::BpmChange> changes{{8.0, 60.0}};
    const std::vector<chart::Stop> stops{{12.0, 2000.0}};
    // 120 BPM, Gap 1 s: beat 8 at 5 s, then a beat a second; beat 12 at 9 s
    // holds for 2 s.
    const chart::TimingMap timing(120.0f, 1.0f, changes, stops);
    struct Case {
        double seconds;
        const char* place;
    };
    const Case cases[] = {
        {1.0, "Measure 1  Beat 1.00  Time 0:01.00"},
        {0.75, "Measure 0  Beat 4.50  Time 0:00.75"}, // before the first beat
        {2.75, "Measure 1  Beat 4.50  Time 0:02.75"},
        {3.0, "Measure 2  Beat 1.00  Time 0:03.00"},
        {2.999, "Measure 2  Beat 1.00  Time 0:03.00"}, // not "Beat 5.00"
        {6.5, "Measure 3  Beat 2.50  Time 0:06.50"},
        {10.0, "Measure 4  Beat 1.00  Time 0:10.00"}, // in the stop
        {73.0, "Measure 19  Beat 3.00  Time 1:13.00"},
        {130.999, "Measure 34  Beat 1.00  Time 2:11.00"}, // not "2:60.00"
    };
    for (const Case& c : cases) {
        EXPECT_EQ(chart::FormatPlace(timing, c.seconds), c.place) << c.seconds;
    }
    EXPECT_EQ(chart::FormatPlace(chart::TimingMap(0.0f, 0.0f, {}, {}), 5.0),
              "Measure -  Beat -  Time 0:05.00");
}

} // namespace

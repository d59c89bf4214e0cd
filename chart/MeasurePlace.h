#pragma once

#include "chart/TimingMap.h"

#include <string>

// Where a song time falls in the chart, as the author counts: measures of
// four beats from beat 0, numbered from 1 (the count-in before beat 0 is
// measure 0 and below), the beat within the measure from 1.
namespace chart {

// "Measure 3  Beat 2.50  Time 1:05.25"; the measure and beat read "-" where
// the timing gives no beat.
std::string FormatPlace(const TimingMap& timing, double seconds);

} // namespace chart

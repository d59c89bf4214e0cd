#pragma once

#include "chart/StepChart.h"
#include "player/MediaPlayer.h"

#include <cstdint>

// What the step view reads and writes through its owner, the main window.
// Everything is used on the window's thread only.
namespace view {

class StepViewOwner {
public:
    virtual ~StepViewOwner() = default;

    virtual player::MediaPlayer& Player() = 0;
    virtual float Bpm() const = 0;
    virtual float GapSeconds() const = 0;
    // The chart the view draws, pads with "0" and edits.
    virtual chart::StepChart& Chart() = 0;
    // Sets the range start (end) slot and shows it in its edit field.
    virtual void SetRangeStart(std::int32_t slot) = 0;
    virtual void SetRangeEnd(std::int32_t slot) = 0;
};

} // namespace view

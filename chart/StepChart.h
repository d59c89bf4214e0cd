#pragma once

#include <cstdint>
#include <string>

// The step chart: one DWI step character per half-beat slot, slot 0 first.
// Only the 11 codes "0", "1"-"4", "6"-"9", "A", "B" carry meaning; any other
// byte is kept as it is and treated as an empty slot.
namespace chart {

using StepChart = std::string;

// Largest number of slots the chart may reach by growth. Slots are signed
// 32-bit; this bound keeps a wild timing value (an imported #BPM:1e30;, say)
// from asking for gigabytes. At 1000 BPM it still covers over four hours.
inline constexpr std::int32_t kMaxChartSlots = 1 << 24;

enum Arrow : std::uint8_t {
    kArrowLeft = 1 << 0,
    kArrowDown = 1 << 1,
    kArrowUp = 1 << 2,
    kArrowRight = 1 << 3,
};

// A set of arrows as a bit mask of Arrow values.
using ArrowSet = std::uint8_t;

inline constexpr char kEmptyStep = '0';

// The arrows a code stands for; empty for "0" and for every non-code.
ArrowSet ArrowsOfCode(char code);

// True for the 11 DWI step codes.
bool IsStepCode(char code);

// The code for an arrow set of at most two arrows; '\0' for three or more.
char CodeOfArrows(ArrowSet arrows);

// The single-arrow code of one arrow: Down "2", Left "4", Right "6", Up "8".
char CodeOfArrow(Arrow arrow);

// Combines a single-arrow code ("2", "4", "6", "8") into an existing slot
// character. Toggle mode (mouse) removes an arrow that is present; add mode
// (keys) never removes. A third arrow is refused, never substituted; a
// non-code is returned unchanged.
char CombineStep(char existing, char arrow, bool toggle);

// Appends "0" until the chart holds the slot. Negative slots and slots at or
// beyond kMaxChartSlots change nothing. Returns whether the slot now exists.
bool EnsureChartLength(StepChart& chart, std::int32_t slot);

// EnsureChartLength, then writes the code at the slot. Returns false (and
// writes nothing) when the slot cannot exist.
bool SetStep(StepChart& chart, std::int32_t slot, char code);

// The character at a slot, "0" beyond the end or for a negative slot.
char StepAt(const StepChart& chart, std::int32_t slot);

} // namespace chart

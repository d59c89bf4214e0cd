#pragma once

#include "chart/StepChart.h"
#include "chart/StepRandom.h"
#include "chart/UserPrompt.h"

#include <cstdint>
#include <optional>
#include <string_view>

// The edit range and the actions of the "Do it!" button. Window-free: the
// questions go through a callback and the window shows what the result says.
namespace chart {

// Inclusive slot range; start-up values make it invalid until the user sets it.
struct EditRange {
    std::int32_t start = 1;
    std::int32_t end = 0;
};

// Indices of the Range Action list.
enum class RangeAction : int {
    kShiftLater = 0,   // "+1 HalfBeat"
    kShiftEarlier = 1, // "-1 HalfBeat"
    kClear = 2,        // "Clear"
    kRandomize = 3,    // "Randomize"
};

inline constexpr std::string_view kRangeInvalidMessage =
    "Range start is greater than range end.\r\nUse the left and right mouse buttons to click on "
    "the\r\nstarting end ending beats to select a range.";
inline constexpr std::string_view kConfirmEraseText =
    "Are you sure you want to erase the selected range of beats?";
inline constexpr std::string_view kConfirmEraseCaption = "Confirm Erase";
inline constexpr std::string_view kConfirmRandomizeText =
    "Are you sure you want to randomize the selected range of beats?";
inline constexpr std::string_view kConfirmRandomizeCaption = "Confirm Randomize";

struct RandomizeSettings {
    int jumpProbabilityPercent = 1; // 1..100
    int maxJumpsInARow = 1;         // 1..100
};

enum class RangeActionOutcome {
    kInvalidRange, // show kRangeInvalidMessage
    kNoAction,     // nothing selected, or "-1 HalfBeat" at slot 0
    kDeclined,     // the user answered No
    kChartChanged, // the chart was changed (the range too, for a shift)
};

struct RangeActionRequest {
    std::optional<RangeAction> action; // none when the list has no selection
    RandomizeSettings randomize;
};

// Runs one "Do it!" press on the chart and range.
RangeActionOutcome DoRangeAction(StepChart& chart, EditRange& range,
                                 const RangeActionRequest& request, const AskYesNo& ask,
                                 StepRandom& random);

// The four actions without questions. The range must be valid (start <= end,
// start >= 0). Slots beyond the chart's end are left alone by Clear and
// Randomize. The shifts move the range with its steps.
void ShiftRangeLater(StepChart& chart, EditRange& range);
bool ShiftRangeEarlier(StepChart& chart, EditRange& range);
void ClearRange(StepChart& chart, const EditRange& range);
void RandomizeRange(StepChart& chart, const EditRange& range, const RandomizeSettings& settings,
                    StepRandom& random);

} // namespace chart

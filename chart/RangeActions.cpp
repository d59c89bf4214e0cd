#include "chart/RangeActions.h"

#include <array>
#include <cstddef>

namespace chart {

namespace {

// Which step may follow which. Rows 0-5 are single arrows, 6-12 jumps; "8",
// "2" and "A" each appear twice so that the rows can steer the next arrow.
struct SuccessionRow {
    char step;
    std::uint16_t mayFollow; // bit k: row k may come next
};

constexpr std::uint16_t Rows(std::initializer_list<int> rows) {
    std::uint16_t mask = 0;
    for (int row : rows) {
        mask = static_cast<std::uint16_t>(mask | (1u << row));
    }
    return mask;
}

constexpr int kSingleRows = 6;
constexpr int kAllRows = 13;

constexpr std::array<SuccessionRow, kAllRows> kSuccession{{
    {'4', Rows({0, 3, 4, 5, 6, 7, 8, 9, 10, 11})},
    {'8', Rows({1, 3, 5, 6, 7, 8, 9, 10, 11})},
    {'2', Rows({2, 3, 4, 6, 7, 8, 9, 11, 12})},
    {'6', Rows({0, 1, 2, 3, 6, 7, 8, 9, 10, 11})},
    {'8', Rows({0, 2, 4, 6, 7, 8, 9, 11, 12})},
    {'2', Rows({0, 1, 5, 6, 7, 8, 9, 10, 11})},
    {'7', Rows({0, 2, 3, 4, 6, 7, 8, 9, 11, 12})},
    {'1', Rows({0, 1, 3, 5, 6, 7, 8, 9, 10, 11})},
    {'B', Rows({0, 3, 6, 7, 8, 9, 11})},
    {'9', Rows({0, 1, 3, 5, 6, 7, 8, 9, 10, 11})},
    {'A', Rows({0, 1, 3, 5, 6, 7, 8, 9, 10, 11})},
    {'3', Rows({0, 2, 3, 4, 6, 7, 8, 9, 11, 12})},
    {'A', Rows({0, 2, 3, 4, 6, 7, 8, 9, 11, 12})},
}};

bool MayFollow(int previous, int next) {
    const unsigned allowed = kSuccession[static_cast<std::size_t>(previous)].mayFollow;
    return ((allowed >> static_cast<unsigned>(next)) & 1u) != 0;
}

int DrawFollowing(int previous, int rowCount, StepRandom& random) {
    for (;;) {
        const int row = random.Next() % rowCount;
        if (MayFollow(previous, row)) {
            return row;
        }
    }
}

bool IsJumpRow(int row) {
    return row >= kSingleRows;
}

} // namespace

void ShiftRangeLater(StepChart& chart, EditRange& range) {
    const auto start = static_cast<std::size_t>(range.start);
    chart.insert(start < chart.size() ? start : chart.size(), 1, kEmptyStep);
    const auto lost = static_cast<std::size_t>(range.end) + 2;
    if (lost < chart.size()) {
        chart.erase(lost, 1);
    }
    ++range.start;
    ++range.end;
}

bool ShiftRangeEarlier(StepChart& chart, EditRange& range) {
    if (range.start == 0) {
        return false;
    }
    const auto emptied = static_cast<std::size_t>(range.end) + 1;
    chart.insert(emptied < chart.size() ? emptied : chart.size(), 1, kEmptyStep);
    const auto lost = static_cast<std::size_t>(range.start) - 1;
    if (lost < chart.size()) {
        chart.erase(lost, 1);
    }
    --range.start;
    --range.end;
    return true;
}

void ClearRange(StepChart& chart, const EditRange& range) {
    for (auto slot = static_cast<std::size_t>(range.start);
         slot <= static_cast<std::size_t>(range.end) && slot < chart.size(); ++slot) {
        chart[slot] = kEmptyStep;
    }
}

void RandomizeRange(StepChart& chart, const EditRange& range, const RandomizeSettings& settings,
                    StepRandom& random) {
    const std::size_t size = chart.size();
    if (size == 0 || static_cast<std::size_t>(range.start) >= size) {
        return;
    }
    const std::size_t first = static_cast<std::size_t>(range.start);
    const std::size_t last =
        static_cast<std::size_t>(range.end) < size ? static_cast<std::size_t>(range.end) : size - 1;
    // The slot just past the chart's end counts as occupied.
    const auto occupied = [&](std::size_t slot) {
        return slot >= size || chart[slot] != kEmptyStep;
    };

    std::size_t slot = first;
    while (slot <= last && chart[slot] == kEmptyStep) {
        ++slot;
    }
    if (slot > last) {
        return;
    }

    // The first step looks only at the slot after it and ignores the jump settings.
    int previous = random.Next() % (occupied(slot + 1) ? kSingleRows : kAllRows);
    chart[slot] = kSuccession[static_cast<std::size_t>(previous)].step;
    // Jumps chosen since the last single arrow, counted across empty slots:
    // the Max String/Jumps setting bounds this run of jumps.
    int jumpsInARow = IsJumpRow(previous) ? 1 : 0;

    for (++slot; slot <= last; ++slot) {
        if (chart[slot] == kEmptyStep) {
            continue;
        }
        int row;
        if (occupied(slot + 1) || occupied(slot - 1)) {
            row = DrawFollowing(previous, kSingleRows, random);
        } else if (jumpsInARow >= settings.maxJumpsInARow) {
            row = DrawFollowing(previous, kSingleRows, random);
        } else {
            const int r = random.Next() * 100 / StepRandom::kMax;
            const bool singleOnly = r <= 100 - settings.jumpProbabilityPercent;
            row = DrawFollowing(previous, singleOnly ? kSingleRows : kAllRows, random);
        }
        jumpsInARow = IsJumpRow(row) ? jumpsInARow + 1 : 0;
        chart[slot] = kSuccession[static_cast<std::size_t>(row)].step;
        previous = row;
    }
}

RangeActionOutcome DoRangeAction(StepChart& chart, EditRange& range,
                                 const RangeActionRequest& request, const AskYesNo& ask,
                                 StepRandom& random) {
    if (range.start > range.end || range.start < 0) {
        return RangeActionOutcome::kInvalidRange;
    }
    if (!request.action) {
        return RangeActionOutcome::kNoAction;
    }
    switch (*request.action) {
    case RangeAction::kShiftLater:
        // Moving the range past the largest chart would overflow its slots.
        if (range.end >= kMaxChartSlots) {
            return RangeActionOutcome::kNoAction;
        }
        ShiftRangeLater(chart, range);
        return RangeActionOutcome::kChartChanged;
    case RangeAction::kShiftEarlier:
        if (range.end >= kMaxChartSlots) {
            return RangeActionOutcome::kNoAction;
        }
        return ShiftRangeEarlier(chart, range) ? RangeActionOutcome::kChartChanged
                                               : RangeActionOutcome::kNoAction;
    case RangeAction::kClear:
        if (!ask(kConfirmEraseText, kConfirmEraseCaption)) {
            return RangeActionOutcome::kDeclined;
        }
        ClearRange(chart, range);
        return RangeActionOutcome::kChartChanged;
    case RangeAction::kRandomize:
        if (!ask(kConfirmRandomizeText, kConfirmRandomizeCaption)) {
            return RangeActionOutcome::kDeclined;
        }
        RandomizeRange(chart, range, request.randomize, random);
        return RangeActionOutcome::kChartChanged;
    }
    return RangeActionOutcome::kNoAction;
}

} // namespace chart

#include "chart/StepChart.h"

#include <array>
#include <bit>

namespace chart {

namespace {

struct CodeArrows {
    char code;
    ArrowSet arrows;
};

// Digits follow the numeric keypad: 8 up, 2 down, 4 left, 6 right.
constexpr std::array<CodeArrows, 11> kCodes{{
    {'0', 0},
    {'1', kArrowDown | kArrowLeft},
    {'2', kArrowDown},
    {'3', kArrowDown | kArrowRight},
    {'4', kArrowLeft},
    {'6', kArrowRight},
    {'7', kArrowUp | kArrowLeft},
    {'8', kArrowUp},
    {'9', kArrowUp | kArrowRight},
    {'A', kArrowUp | kArrowDown},
    {'B', kArrowLeft | kArrowRight},
}};

const CodeArrows* FindCode(char code) {
    for (const auto& entry : kCodes) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

ArrowSet ArrowsOfCode(char code) {
    const CodeArrows* entry = FindCode(code);
    return entry ? entry->arrows : ArrowSet{0};
}

bool IsStepCode(char code) {
    return FindCode(code) != nullptr;
}

char CodeOfArrows(ArrowSet arrows) {
    for (const auto& entry : kCodes) {
        if (entry.arrows == arrows) {
            return entry.code;
        }
    }
    return '\0';
}

char CodeOfArrow(Arrow arrow) {
    return CodeOfArrows(arrow);
}

char CombineStep(char existing, char arrow, bool toggle) {
    const CodeArrows* entry = FindCode(existing);
    const ArrowSet add = ArrowsOfCode(arrow);
    if (!entry || std::popcount(add) != 1) {
        return existing;
    }
    const ArrowSet held = entry->arrows;
    ArrowSet result;
    if (held & add) {
        result = toggle ? static_cast<ArrowSet>(held & ~add) : held;
    } else {
        result = static_cast<ArrowSet>(held | add);
    }
    const char code = CodeOfArrows(result);
    return code == '\0' ? existing : code;
}

bool EnsureChartLength(StepChart& chart, std::int32_t slot) {
    if (slot < 0 || slot >= kMaxChartSlots) {
        return false;
    }
    const auto needed = static_cast<std::size_t>(slot) + 1;
    if (chart.size() < needed) {
        chart.resize(needed, kEmptyStep);
    }
    return true;
}

bool SetStep(StepChart& chart, std::int32_t slot, char code) {
    if (!EnsureChartLength(chart, slot)) {
        return false;
    }
    chart[static_cast<std::size_t>(slot)] = code;
    return true;
}

char StepAt(const StepChart& chart, std::int32_t slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= chart.size()) {
        return kEmptyStep;
    }
    return chart[static_cast<std::size_t>(slot)];
}

} // namespace chart

#include "chart/ChartStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <queue>

namespace chart {

namespace {

constexpr std::int32_t kWindowRows = 4 * kRowsPerBeat;

double BeatOf(std::int32_t row) {
    return static_cast<double>(row) / kRowsPerBeat;
}

double PeakStepsPerSecond(const std::vector<std::int32_t>& stepRows, const TimingMap& timing) {
    double peak = 0.0;
    std::size_t end = 0;
    for (std::size_t begin = 0; begin < stepRows.size(); ++begin) {
        const std::int32_t endRow = stepRows[begin] + kWindowRows;
        while (end < stepRows.size() && stepRows[end] < endRow) {
            ++end;
        }
        const double seconds =
            timing.SecondsAt(BeatOf(endRow)) - timing.SecondsAt(BeatOf(stepRows[begin]));
        if (seconds > 0.0 && std::isfinite(seconds)) {
            peak = std::max(peak, static_cast<double>(end - begin) / seconds);
        }
    }
    return peak;
}

} // namespace

ChartStats StatsOf(const SongChart& chart, const TimingMap& timing) {
    ChartStats stats;
    const std::vector<Note>& notes = chart.notes.Notes();
    std::vector<std::int32_t> stepRows;
    // Tails of the holds started on earlier steps, nearest first.
    std::priority_queue<std::int32_t, std::vector<std::int32_t>, std::greater<>> heldTails;
    std::int32_t lastRow = -1;
    for (std::size_t i = 0; i < notes.size();) {
        const std::int32_t row = notes[i].row;
        while (!heldTails.empty() && heldTails.top() < row) {
            heldTails.pop();
        }
        const std::size_t held = heldTails.size();
        std::size_t heads = 0;
        for (; i < notes.size() && notes[i].row == row; ++i) {
            const Note& note = notes[i];
            lastRow = std::max(lastRow, note.EndRow());
            // Mines, fakes and keysounds are not stepped on.
            if (!note.IsStep()) {
                stats.mines += note.kind == NoteKind::Mine ? 1 : 0;
                continue;
            }
            ++heads;
            if (note.IsHold()) {
                ++(note.IsRoll() ? stats.rolls : stats.holds);
                heldTails.push(note.EndRow());
            } else {
                ++stats.taps;
            }
        }
        if (heads == 0) {
            continue;
        }
        if (heads + held >= 3) {
            ++stats.hands;
        } else if (heads == 2) {
            ++stats.jumps;
        }
        stepRows.push_back(row);
    }
    stats.peakNps = PeakStepsPerSecond(stepRows, timing);
    if (lastRow >= 0) {
        stats.lengthSeconds = timing.SecondsAt(BeatOf(lastRow)) - timing.SecondsAt(0.0);
    }
    return stats;
}

std::vector<std::int32_t> DensityPerMeasure(const SongChart& chart) {
    const NoteData& notes = chart.notes;
    if (notes.Empty()) {
        return {};
    }
    const std::int32_t lastRow = notes.EndRow() - 1;
    std::vector<std::int32_t> perMeasure(static_cast<std::size_t>(lastRow / kRowsPerMeasure) + 1);
    for (const Note& note : notes.Notes()) {
        perMeasure[static_cast<std::size_t>(note.row / kRowsPerMeasure)] += note.IsStep() ? 1 : 0;
    }
    return perMeasure;
}

std::string StatsLine(const ChartStats& stats) {
    const double length = stats.lengthSeconds;
    const long seconds = std::isfinite(length) && length > 0.0 ? std::lround(length) : 0;
    char line[160];
    std::snprintf(line, sizeof line,
                  "Taps %d  Jumps %d  Hands %d  Holds %d  Peak %.1f notes/s  Length %ld:%02ld",
                  stats.taps, stats.jumps, stats.hands, stats.holds, stats.peakNps, seconds / 60,
                  seconds % 60);
    std::string text = line;
    // Only charts that have them say so: a .dwi chart's line stays as it was.
    if (stats.rolls > 0 || stats.mines > 0) {
        text += "  Rolls " + std::to_string(stats.rolls) + "  Mines " + std::to_string(stats.mines);
    }
    return text;
}

} // namespace chart

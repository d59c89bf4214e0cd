#include "edit/Snap.h"

#include "chart/SongTiming.h"

#include <cmath>

namespace edit {

namespace {

constexpr double kSnapTooCloseFraction = 0.15; // as chart::SnapForward
constexpr double kSnapLeadFraction = 0.1;

std::size_t IndexOf(Snap snap) {
    return static_cast<std::size_t>(snap);
}

// The timing a chart plays by: its own where it has one, else the song's.
struct Tempo {
    float bpm = 0.0f;
    float gapSeconds = 0.0f;
    bool constant = true;
};

Tempo TempoOf(const chart::Song& song, const chart::SongChart* chart) {
    if (chart && chart->timing) {
        const chart::ChartTiming& own = *chart->timing;
        return {own.bpm, own.gapSeconds,
                own.changes.empty() && own.stops.empty() && own.delays.empty() &&
                    own.warps.empty()};
    }
    return {song.bpm, song.gapSeconds, song.HasConstantTempo()};
}

chart::TimingMap MapOf(const chart::Song& song, const chart::SongChart* chart) {
    return chart ? song.TimingOf(*chart) : song.Timing();
}

// Seconds per cell at a constant tempo. The numerators (60 * rows / 48) are
// exact in binary, so the 8th cell is 30 / BPM, chart::HalfBeatSeconds.
double CellSeconds(float bpm, Snap snap) {
    return 60.0 * RowsPerCell(snap) / chart::kRowsPerBeat / static_cast<double>(bpm);
}

double CellBeats(Snap snap) {
    return static_cast<double>(RowsPerCell(snap)) / chart::kRowsPerBeat;
}

std::optional<std::int32_t> RowOfCell(double cell, Snap snap) {
    const double row = cell * RowsPerCell(snap);
    if (!(row < static_cast<double>(chart::kMaxRows))) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(row);
}

std::optional<std::int32_t> ConstantTempoRow(const Tempo& song, Snap snap, double p) {
    double d = p - static_cast<double>(song.gapSeconds);
    if (!(d >= 0.0) || !chart::HasUsableTempo(song.bpm)) {
        return std::nullopt;
    }
    const double h = CellSeconds(song.bpm, snap);
    const std::optional<std::int32_t> whole = chart::SubtractWhileAbove(d, h);
    if (!whole) {
        return std::nullopt;
    }
    std::int32_t n = *whole;
    if (d / h > 0.5) {
        ++n;
    }
    return RowOfCell(n, snap);
}

} // namespace

std::int32_t RowsPerCell(Snap snap) {
    static constexpr std::array<std::int32_t, 9> kRows = {48, 24, 16, 12, 8, 6, 4, 3, 1};
    return kRows[IndexOf(snap)];
}

std::string_view SnapName(Snap snap) {
    static constexpr std::array<std::string_view, 9> kNames = {
        "4th", "8th", "12th", "16th", "24th", "32nd", "48th", "64th", "192nd"};
    return kNames[IndexOf(snap)];
}

Snap FinerSnap(Snap snap) {
    return snap == Snap::k192nd ? snap : static_cast<Snap>(IndexOf(snap) + 1);
}

Snap CoarserSnap(Snap snap) {
    return snap == Snap::k4th ? snap : static_cast<Snap>(IndexOf(snap) - 1);
}

std::optional<std::int32_t> RowAtPosition(const chart::Song& song, Snap snap,
                                          double positionSeconds, const chart::SongChart* chart) {
    if (const Tempo tempo = TempoOf(song, chart); tempo.constant) {
        return ConstantTempoRow(tempo, snap, positionSeconds);
    }
    const chart::TimingMap timing = MapOf(song, chart);
    const double beat = timing.BeatAt(positionSeconds);
    if (!(beat >= 0.0) || !std::isfinite(beat)) {
        return std::nullopt;
    }
    const double cells = beat / CellBeats(snap);
    double n = std::floor(cells);
    if (cells - n > 0.5) {
        n += 1.0;
    }
    return RowOfCell(n, snap);
}

double SnapForwardAt(const chart::Song& song, Snap snap, double positionSeconds,
                     double durationSeconds, const chart::SongChart* chart) {
    const double start = positionSeconds >= 0.0 ? positionSeconds : 0.0;
    double target = start;
    if (const Tempo tempo = TempoOf(song, chart); tempo.constant) {
        if (chart::HasUsableTempo(tempo.bpm)) {
            const double h = CellSeconds(tempo.bpm, snap);
            double d = start - static_cast<double>(tempo.gapSeconds);
            if (chart::SubtractWhileAbove(d, h)) {
                const double remaining = h - d;
                target = remaining <= kSnapTooCloseFraction * h
                             ? start + h
                             : start + remaining - kSnapLeadFraction * h;
            }
        }
    } else {
        // The same rule in beats; a cell's length in seconds varies with the
        // tempo, so both aims are taken as beats and turned into time.
        const chart::TimingMap timing = MapOf(song, chart);
        const double cellBeats = CellBeats(snap);
        const double x = timing.BeatAt(start) / cellBeats;
        if (std::isfinite(x) && x < static_cast<double>(chart::kMaxRows)) {
            const double whole = x > 1.0 ? std::ceil(x) - 1.0 : 0.0;
            const double remaining = 1.0 - (x - whole);
            const double aim =
                remaining <= kSnapTooCloseFraction ? x + 1.0 : whole + 1.0 - kSnapLeadFraction;
            target = std::max(start, timing.SecondsAt(aim * cellBeats));
        }
    }
    if (target > durationSeconds) {
        target = durationSeconds;
    }
    return target;
}

} // namespace edit

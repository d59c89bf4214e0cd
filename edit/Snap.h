#pragma once

#include "chart/Song.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// The snap: the grid that entry, Enter, the step view's rows and the range
// actions work on, as a number of rows (48 a beat) per cell.
namespace edit {

enum class Snap : std::uint8_t { k4th, k8th, k12th, k16th, k24th, k32nd, k48th, k64th, k192nd };

inline constexpr Snap kStartSnap = Snap::k8th;
inline constexpr std::array<Snap, 9> kAllSnaps = {Snap::k4th,  Snap::k8th,  Snap::k12th,
                                                  Snap::k16th, Snap::k24th, Snap::k32nd,
                                                  Snap::k48th, Snap::k64th, Snap::k192nd};

// 48, 24, 16, 12, 8, 6, 4, 3, 1.
std::int32_t RowsPerCell(Snap snap);
// "4th", "8th", ... "192nd": the drop-down's items.
std::string_view SnapName(Snap snap);
// The next finer / coarser snap, staying at the ends (for the shortcuts).
Snap FinerSnap(Snap snap);
Snap CoarserSnap(Snap snap);

// The cell row at a song time, the nearest cell with ties going to the
// earlier one; none before the Gap, for a NaN time, without a usable tempo
// or at or past chart::kMaxRows.
//
// Without tempo changes and stops this is the constant-tempo arithmetic of
// chart::SlotAtPosition with the cell in place of the half-beat (one
// interval subtracted per cell, so ties round as they always have; at 8th
// snap it is SlotAtPosition times 24 exactly). With changes or stops the
// beat comes from the song's TimingMap.
//
// Given a chart with its own timing (.ssc), that timing stands for the
// song's here and in SnapForwardAt.
std::optional<std::int32_t> RowAtPosition(const chart::Song& song, Snap snap,
                                          double positionSeconds,
                                          const chart::SongChart* chart = nullptr);

// Where Enter moves playback: chart::SnapForward with the cell in place of
// the half-beat (a tenth of a cell before the next cell, or a cell further
// on when the next one is closer than 0.15 of a cell), never backwards and
// never past the duration. At 8th snap without changes and stops it is
// SnapForward exactly.
double SnapForwardAt(const chart::Song& song, Snap snap, double positionSeconds,
                     double durationSeconds, const chart::SongChart* chart = nullptr);

} // namespace edit

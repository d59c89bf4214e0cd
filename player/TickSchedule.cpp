#include "player/TickSchedule.h"

#include <algorithm>
#include <cmath>

namespace player {

namespace {

constexpr double kRowsPerBeat = 48.0;

} // namespace

std::vector<double> NoteTickTimes(const chart::NoteData& notes, const chart::TimingMap& timing) {
    std::vector<double> times;
    std::int32_t lastRow = -1;
    // Notes are sorted by row: one tick at each row's first step. Mines,
    // fakes and keysounds are not stepped on: no tick.
    for (const chart::Note& note : notes.Notes()) {
        if (note.IsStep() && note.row != lastRow) {
            lastRow = note.row;
            const double at = timing.SecondsAt(note.row / kRowsPerBeat);
            if (std::isfinite(at) && (times.empty() || at > times.back())) {
                times.push_back(at); // a stretch that takes no time: one tick
            }
        }
    }
    return times;
}

void TickSchedule::SwapTimes(std::vector<double>& times) noexcept {
    m_times.swap(times);
    m_next = m_placed ? FirstAtOrAfter(m_previous.positionSeconds - m_previous.lateSeconds) : 0;
}

void TickSchedule::Restart() noexcept {
    m_placed = false;
    m_handedCount = 0;
}

std::size_t TickSchedule::FirstAtOrAfter(double songSeconds) const noexcept {
    return static_cast<std::size_t>(std::ranges::lower_bound(m_times, songSeconds) -
                                    m_times.begin());
}

void TickSchedule::Place(const TickPass& pass) noexcept {
    if (m_placed && pass.positionSeconds != m_previous.positionSeconds) {
        const double expected = m_previous.positionSeconds +
                                (pass.steadySeconds - m_previous.steadySeconds) * m_previous.rate;
        if (std::abs(pass.positionSeconds - expected) > pass.lateSeconds) {
            Restart();
        }
    }
    if (!m_placed) {
        m_next = FirstAtOrAfter(pass.positionSeconds - pass.lateSeconds);
        m_placed = true;
    }
    m_previous = pass;
}

bool TickSchedule::Handed(double songSeconds) const noexcept {
    const auto end =
        m_handed.begin() + static_cast<std::ptrdiff_t>(std::min(m_handedCount, kHandedMemory));
    return std::find(m_handed.begin(), end, songSeconds) != end;
}

void TickSchedule::Remember(double songSeconds) noexcept {
    m_handed[m_handedCount % kHandedMemory] = songSeconds;
    ++m_handedCount;
}

} // namespace player

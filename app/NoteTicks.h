#pragma once

#include "chart/Song.h"
#include "player/TickSchedule.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace app {

// The note tick ("Options > Note Tick"): a clap on every row of the
// selected chart where a note starts. The window thread hands in the tick
// times after every change of notes, timing or chart; the metronome worker
// takes them at its next pass and hands each tick to the player ahead of
// its time, as it does clicks.
class NoteTicks {
public:
    bool On() const { return m_on.load(); }
    void SetOn(bool on) { m_on = on; }

    // Window thread.
    void Refresh(const chart::Song& song, std::optional<std::size_t> chart);

    // The worker, every pass: while playing with the tick on, hand(seconds)
    // for each tick now due; otherwise the next play searches from its
    // position.
    void Pass(bool playing, const player::TickPass& pass,
              const std::function<void(double songSeconds)>& hand);

private:
    std::atomic<bool> m_on{false};
    std::mutex m_lock;
    std::vector<double> m_newTimes;  // guarded by m_lock
    bool m_newWaiting = false;       // guarded; m_newTimes not yet taken
    player::TickSchedule m_schedule; // the worker's own
};

} // namespace app

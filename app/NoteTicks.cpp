#include "app/NoteTicks.h"

namespace app {

void NoteTicks::Refresh(const chart::Song& song, std::optional<std::size_t> chart) {
    std::vector<double> times;
    if (chart && *chart < song.charts.size()) {
        const chart::SongChart& shown = song.charts[*chart];
        times = player::NoteTickTimes(shown.notes, song.TimingOf(shown));
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_newTimes.swap(times);
        m_newWaiting = true;
    }
    // `times` now holds what the worker left: freed here, not under the lock.
}

void NoteTicks::Pass(bool playing, const player::TickPass& pass,
                     const std::function<void(double songSeconds)>& hand) {
    if (!playing || !On()) {
        m_schedule.Restart();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_newWaiting) {
            m_schedule.SwapTimes(m_newTimes);
            m_newWaiting = false;
        }
    }
    m_schedule.Pass(pass, hand);
}

} // namespace app

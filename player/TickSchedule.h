#pragma once

#include "chart/NoteData.h"
#include "chart/TimingMap.h"

#include <array>
#include <cstddef>
#include <vector>

namespace player {

// Song times, in seconds, of the rows of `notes` where at least one note
// head starts: sorted, one per row however many arrows it holds. A row's
// time is its beat's on the map (a note on a stop's beat sounds as the stop
// starts).
std::vector<double> NoteTickTimes(const chart::NoteData& notes, const chart::TimingMap& timing);

// Where the worker stands in one pass.
struct TickPass {
    double positionSeconds = 0.0; // song time heard now
    double steadySeconds = 0.0;   // the steady clock when it was read
    double rate = 1.0;            // song seconds per real second
    // Ticks up to this far ahead of the position are handed over now.
    double aheadSeconds = 0.0;
    // A tick further behind the position than this (song seconds) is
    // skipped rather than played late.
    double lateSeconds = 0.0;
};

// Which note ticks a worker hands to the player, and when: each once, in
// order, ahead of its time. After a seek it carries on from the first tick
// at the new position (a binary search), with no burst of late ticks.
//
// Owned by one worker thread. The tick times come from the window's thread
// through SwapTimes under the worker's lock, so neither side allocates
// while the other waits.
class TickSchedule {
public:
    // Takes `times` (sorted) and leaves the previous ones in it. Ticks
    // already handed over are not handed again; a tick added ahead of the
    // position is, and a removed one that was not yet handed is not.
    void SwapTimes(std::vector<double>& times) noexcept;
    // Forgets where it stood (paused, stopped): the next pass searches
    // from its position.
    void Restart() noexcept;

    // One pass while playing: calls hand(songSeconds) for every tick now
    // due. A position that moved other than by playing on since the
    // previous pass (farther than lateSeconds from where the rate would
    // have put it) is a seek: the search starts again from there. A
    // position that stands still is the player holding a seek's target
    // until it is heard, not a seek.
    template <typename Hand> void Pass(const TickPass& pass, Hand&& hand) {
        Place(pass);
        while (m_next < m_times.size() &&
               m_times[m_next] < pass.positionSeconds + pass.aheadSeconds) {
            const double at = m_times[m_next++];
            if (at >= pass.positionSeconds - pass.lateSeconds && !Handed(at)) {
                hand(at);
                Remember(at);
            }
        }
    }

    // The index of the first tick at or after songSeconds.
    std::size_t FirstAtOrAfter(double songSeconds) const noexcept;

private:
    void Place(const TickPass& pass) noexcept;
    bool Handed(double songSeconds) const noexcept;
    void Remember(double songSeconds) noexcept;

    std::vector<double> m_times;
    std::size_t m_next = 0;
    bool m_placed = false; // m_next is meaningful for the previous pass
    TickPass m_previous;
    // The ticks handed since the last search, to hand none twice when the
    // times are swapped: more than the lead holds at 300 % of 192nds.
    static constexpr std::size_t kHandedMemory = 64;
    std::array<double, kHandedMemory> m_handed{};
    std::size_t m_handedCount = 0;
};

} // namespace player

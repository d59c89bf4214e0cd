#pragma once

#include "player/PlaybackClock.h"
#include "player/SeqLock.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>

namespace player {

// Sound requests (the click, the note tick) from any thread to the audio
// callback, through a few lock-free slots. What happens to a sound due
// while an earlier one still sounds is the callback's decision (see
// OutputRenderer).
template <int Slots> class SoundRequests {
public:
    static constexpr int kSlots = Slots;
    // Target for "play at once".
    static constexpr double kNow = -std::numeric_limits<double>::infinity();

    // Any thread but the audio callback. songFrame: the song frame the click
    // must start on, or kNow; generation: the playback segment songFrame
    // refers to. False when every slot is taken (the request is dropped).
    bool Request(double songFrame, std::uint32_t generation) noexcept {
        for (Slot& slot : m_slots) {
            int state = kFree;
            if (slot.state.compare_exchange_strong(state, kWriting, std::memory_order_acquire)) {
                slot.songFrame.store(songFrame, std::memory_order_relaxed);
                slot.generation.store(generation, std::memory_order_relaxed);
                slot.state.store(kArmed, std::memory_order_release);
                return true;
            }
        }
        return false;
    }

    // Audio callback: hands every armed request to take(songFrame,
    // generation) and frees its slot.
    template <typename Take> void TakeAll(Take&& take) noexcept {
        for (Slot& slot : m_slots) {
            if (slot.state.load(std::memory_order_acquire) == kArmed) {
                take(slot.songFrame.load(std::memory_order_relaxed),
                     slot.generation.load(std::memory_order_relaxed));
                slot.state.store(kFree, std::memory_order_release);
            }
        }
    }

    // Drops every request; only while no callback runs.
    void Clear() noexcept {
        for (Slot& slot : m_slots) {
            slot.state.store(kFree, std::memory_order_relaxed);
        }
    }

private:
    static constexpr int kFree = 0;
    static constexpr int kWriting = 1;
    static constexpr int kArmed = 2;
    struct Slot {
        std::atomic<int> state{kFree};
        std::atomic<double> songFrame{0.0};
        std::atomic<std::uint32_t> generation{0};
    };
    std::array<Slot, static_cast<std::size_t>(kSlots)> m_slots{};
};

using ClickRequests = SoundRequests<4>;
// A tick for every note row: at 300 % a dense chart hands over a dozen
// before the callback takes them, and more at once after a seek.
using TickRequests = SoundRequests<32>;

// State shared by the engine (any control thread), the feeder thread and the
// audio callback. Everything here is an atomic or lock-free; the audio
// callback never waits for any of it.
struct PlaybackShared {
    // The playback segment now wanted: bumped by every play, pause, seek,
    // halt and open. Chunks and clock pieces of other segments are stale.
    // Starts at 1 so that 0 never names a real segment.
    std::atomic<std::uint32_t> generation{1};

    // Bumped (and notified) by whoever has work for the feeder thread.
    std::atomic<std::int32_t> feederWake{0};

    // Written by the audio callback only.
    SeqLock<ClockSnapshot> clock;

    // Set by the audio callback when it has rendered a segment's last
    // frame: when that frame is heard, and the segment (written last).
    std::atomic<std::int64_t> endHeardAtNs{0};
    std::atomic<std::uint32_t> endGeneration{0};

    ClickRequests clicks;
    TickRequests ticks;

    // Never blocks: a futex wake, and only when the feeder sleeps.
    void WakeFeeder() noexcept {
        feederWake.fetch_add(1, std::memory_order_release);
        feederWake.notify_one();
    }
};

} // namespace player

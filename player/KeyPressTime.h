#pragma once

#include <cstdint>

namespace player {

// When a key was pressed, on the steady clock (std::chrono::steady_clock,
// ns), from the window system's event timestamp. X11 stamps events with the
// server's CLOCK_MONOTONIC in whole milliseconds, wrapping at 2^32, which
// is the steady clock's base on Linux; the stamp is trusted only when it
// lies at most kMaxAgeNs before the moment the event is handled. Anything
// else (a synthesized event stamped 0, another clock base, a stamp from the
// future) means the press is dated when it is handled.
class KeyPressTime {
public:
    // Longer than any stall of the window thread worth correcting for, and
    // far shorter than the counter's 49-day wrap.
    static constexpr std::int64_t kMaxAgeNs = 1'000'000'000;

    // eventMs: the event's timestamp; handledNs: the steady clock now.
    static std::int64_t PressedAtNs(std::uint64_t eventMs, std::int64_t handledNs);
    // The steady clock now, in ns.
    static std::int64_t NowNs();
};

} // namespace player

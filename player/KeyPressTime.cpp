#include "player/KeyPressTime.h"

#include <chrono>

namespace player {

std::int64_t KeyPressTime::PressedAtNs(std::uint64_t eventMs, std::int64_t handledNs) {
    constexpr std::int64_t kNsPerMs = 1'000'000;
    // Compared in the counter's own 32-bit arithmetic, so a wrap between
    // press and handling does not matter.
    const auto handledMs = static_cast<std::uint32_t>(handledNs / kNsPerMs);
    const auto ageMs = static_cast<std::uint32_t>(handledMs - static_cast<std::uint32_t>(eventMs));
    const std::int64_t ageNs = static_cast<std::int64_t>(ageMs) * kNsPerMs;
    if (eventMs == 0 || ageNs > kMaxAgeNs) {
        return handledNs;
    }
    // The stamp drops the milliseconds' fraction; the fraction of `handled`
    // dropped by the same truncation is kept, so the mean error is nil.
    return handledNs - ageNs;
}

std::int64_t KeyPressTime::NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace player

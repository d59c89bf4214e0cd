#pragma once

namespace player {

// Asks for real-time round-robin scheduling for the calling thread at
// `priority` (1-99; audio threads want a low one, below the sound
// server's own), where the system allows it: root, or a raised
// RLIMIT_RTPRIO. Elsewhere nothing changes; false then.
bool RequestRealtimePriority(int priority) noexcept;

} // namespace player

#include "player/RealtimePriority.h"

#include <pthread.h>
#include <sched.h>

namespace player {

bool RequestRealtimePriority(int priority) noexcept {
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
}

} // namespace player

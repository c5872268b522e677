#include "serial/linux/real_clock.h"

#include <sys/prctl.h>

#include <cerrno>
#include <ctime>

namespace tamlo {

RealClock::RealClock() {
    // The kernel may let a sleep run 50 us late by default to batch wake-ups; the receiver's
    // paced writes add up hundreds of pauses, so ask for the tightest slack the thread may
    // have. A refusal only costs precision.
    (void)prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

void RealClock::pauseMs(int32_t ms) {
    if (ms <= 0) {
        return;
    }
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    const int64_t nanoseconds = int64_t{deadline.tv_nsec} + int64_t{ms % 1000} * 1'000'000;
    deadline.tv_sec += ms / 1000 + static_cast<time_t>(nanoseconds / 1'000'000'000);
    deadline.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    // An absolute deadline makes a restart after a signal resume the same pause instead of
    // starting a fresh one.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

}  // namespace tamlo

#include "serial/linux/real_clock.h"

#include <sys/prctl.h>

#include "serial/linux/monotonic.h"

namespace tamlo {

RealClock::RealClock() {
    // The kernel may let a sleep run 50 us late by default to batch wake-ups; the receiver's
    // paced writes add up hundreds of pauses, so ask for the tightest slack the thread may
    // have. A refusal only costs precision.
    (void)prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

int64_t RealClock::nowNs() {
    return monotonicNs();
}

void RealClock::sleepUntilNs(int64_t deadlineNs) {
    sleepUntilMonotonicNs(deadlineNs);
}

}  // namespace tamlo

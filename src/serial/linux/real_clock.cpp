#include "serial/linux/real_clock.h"

#include <sys/prctl.h>

#include <cstdint>

#include "serial/linux/monotonic.h"

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
    // The deadline is fixed before anything else runs: the service shortens nothing and
    // lengthens nothing beyond its own last call.
    const int64_t deadlineNs = monotonicNs() + int64_t{ms} * 1'000'000;
    service_.serveUntil(deadlineNs, monotonicNs, sleepUntilMonotonicNs);
    sleepUntilMonotonicNs(deadlineNs);
}

}  // namespace tamlo

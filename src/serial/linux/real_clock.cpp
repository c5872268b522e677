#include "serial/linux/real_clock.h"

#include <sys/prctl.h>

#include <algorithm>
#include <cstdint>

#include "serial/linux/monotonic.h"

namespace tamlo {

namespace {

constexpr int64_t kNsPerMs = 1'000'000;
// The service runs at most this long apart, so that a window covered and uncovered during
// a long wait is painted again without a visible delay.
constexpr int64_t kServiceIntervalNs = 10 * kNsPerMs;
// No service this close to the deadline: a paint must not push the pause's end.
constexpr int64_t kServiceMarginNs = 2 * kNsPerMs;

}  // namespace

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
    const int64_t deadlineNs = monotonicNs() + int64_t{ms} * kNsPerMs;
    if (service_ && !serving_) {
        serveUntil(deadlineNs);
    }
    sleepUntilMonotonicNs(deadlineNs);
}

void RealClock::serveUntil(int64_t deadlineNs) {
    serving_ = true;
    for (;;) {
        if (deadlineNs - monotonicNs() <= kServiceMarginNs) {
            break;
        }
        service_();
        const int64_t nowNs = monotonicNs();
        const int64_t leftNs = deadlineNs - nowNs;
        if (leftNs <= kServiceMarginNs) {
            break;
        }
        sleepUntilMonotonicNs(nowNs + std::min(leftNs - kServiceMarginNs, kServiceIntervalNs));
    }
    serving_ = false;
}

}  // namespace tamlo

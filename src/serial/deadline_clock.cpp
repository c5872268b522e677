#include "serial/deadline_clock.h"

#include <algorithm>

namespace tamlo {

void DeadlineClock::pauseMs(int32_t ms) {
    if (ms <= 0) {
        return;
    }
    const int64_t deadlineNs = nowNs() + int64_t{ms} * 1'000'000;
    if (service_ && !serving_) {
        serving_ = true;
        while (deadlineNs - nowNs() > kServiceMarginNs) {
            service_();
            const int64_t now = nowNs();
            const int64_t leftNs = deadlineNs - now;
            if (leftNs <= kServiceMarginNs) {
                break;
            }
            sleepUntilNs(now + std::min(leftNs - kServiceMarginNs, kServiceIntervalNs));
        }
        serving_ = false;
    }
    sleepUntilNs(deadlineNs);
}

}  // namespace tamlo

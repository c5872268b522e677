// What a real clock does for the window while a handler waits on the receiver: it calls a
// service (the desktop program lets its window paint and answer the desktop there) at the
// start of a pause and every few milliseconds of it. The pause still ends at its deadline:
// the deadline is fixed first, and no service starts close to it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

namespace tamlo {

class PauseService {
  public:
    // Must return quickly. An empty service turns serving off.
    void set(std::function<void()> service) { service_ = std::move(service); }

    // A service is set and this pause is not one the service itself makes.
    bool active() const { return service_ && !serving_; }

    // Serves until kMarginNs before deadlineNs, at most kIntervalNs apart, sleeping with
    // sleepUntilNs in between; the caller then sleeps to the deadline itself. Nothing when
    // no service is set, or inside a service (a pause the service itself makes).
    template <class NowNs, class SleepUntilNs>
    void serveUntil(int64_t deadlineNs, NowNs nowNs, SleepUntilNs sleepUntilNs) {
        if (!active()) {
            return;
        }
        serving_ = true;
        while (deadlineNs - nowNs() > kMarginNs) {
            service_();
            const int64_t now = nowNs();
            const int64_t leftNs = deadlineNs - now;
            if (leftNs <= kMarginNs) {
                break;
            }
            sleepUntilNs(now + std::min(leftNs - kMarginNs, kIntervalNs));
        }
        serving_ = false;
    }

    // At most this long apart, so that a window covered and uncovered during a long wait
    // is painted again without a visible delay; none this close to the deadline, so that a
    // paint cannot push the pause's end.
    static constexpr int64_t kIntervalNs = 10'000'000;
    static constexpr int64_t kMarginNs = 2'000'000;

  private:
    std::function<void()> service_;
    bool serving_ = false;
};

}  // namespace tamlo

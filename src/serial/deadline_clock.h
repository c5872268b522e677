// The protocol's pause, written once over a platform's time: the deadline is fixed first,
// then the thread sleeps until it, so a pause can run long (a coarse timer, a signal, a
// busy machine), never short. A platform gives only "now" and "sleep until".
//
// While a handler waits on the receiver, a service may be called at the start of the pause
// and every few milliseconds of it (the desktop program lets its window paint and answer
// the desktop there); no service starts close to the deadline, so serving never pushes the
// pause's end.
#pragma once

#include <cstdint>
#include <functional>

#include "serial/clock.h"

namespace tamlo {

class DeadlineClock : public Clock {
  public:
    void pauseMs(int32_t ms) final;

    // Must return quickly. An empty service turns serving off.
    void setPauseService(std::function<void()> service) { service_ = std::move(service); }

    // At most this long apart, so that a window covered and uncovered during a long wait
    // is painted again without a visible delay; none this close to the deadline.
    static constexpr int64_t kServiceIntervalNs = 10'000'000;
    static constexpr int64_t kServiceMarginNs = 2'000'000;

  protected:
    // A monotonic clock, and a sleep that never returns before its deadline.
    virtual int64_t nowNs() = 0;
    virtual void sleepUntilNs(int64_t deadlineNs) = 0;

  private:
    std::function<void()> service_;
    bool serving_ = false;  // a pause the service itself makes is not served again
};

}  // namespace tamlo

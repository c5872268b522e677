// The one loop that polls a receiver's signal strength: rssi's, and the service's. Each poll
// has its deadline, fixed from the loop's start on the port's clock, so the interval holds
// whatever a poll or the line does: a slow reply shortens the wait after it, a failed line
// is no reason to poll faster. A line that fails is reported once and closed; from then on
// the loop tries, once an interval, to open the device again (an adapter plugged back in),
// and polls only once it opens. Never more than one poll an interval.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "protocol/signal.h"
#include "serial/exchange.h"

namespace tamlo::cli {

struct SignalSample {
    int64_t atMs = 0;       // on the port's clock, as the poll began
    SignalReading reading;  // the value, or why there is none
};

struct PollPlan {
    int32_t intervalMs = 1000;
    int64_t count = 0;   // intervals to run; 0: until stopped
    std::string device;  // opened again after the line failed
    // The port's clock's time; the waits are taken on the line's clock.
    std::function<int64_t()> nowMs;
};

struct PollCallbacks {
    // Every poll the line carried, answered or not.
    std::function<void(const SignalSample&)> sample;
    // The line failed, with the system's words; it is closed until the device opens again.
    std::function<void(const std::string& failure)> lineFailed;
    // The device opened again after a failure; polling goes on.
    std::function<void()> lineBack;
    // Asked before each poll and during the waits: true ends the loop (a poll under way is
    // finished first).
    std::function<bool()> stop;
};

struct PollSummary {
    int64_t polls = 0;      // polls the line carried
    int64_t answered = 0;   // of them with a value
    bool lineDown = false;  // the line had failed and was closed when the loop ended
};

PollSummary pollSignals(Line& line, const PollPlan& plan, const PollCallbacks& callbacks);

}  // namespace tamlo::cli

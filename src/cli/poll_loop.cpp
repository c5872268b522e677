#include "cli/poll_loop.h"

#include <algorithm>

namespace tamlo::cli {

namespace {

// A stop is seen within this long during a wait.
constexpr int64_t kStopCheckMs = 100;

// Waits until the deadline on the clock; false when the loop is to stop.
bool waitUntil(Line& line, const PollPlan& plan, const PollCallbacks& callbacks,
               int64_t deadlineMs) {
    for (;;) {
        if (callbacks.stop && callbacks.stop()) {
            return false;
        }
        const int64_t left = deadlineMs - plan.nowMs();
        if (left <= 0) {
            return true;
        }
        line.clock.pauseMs(static_cast<int32_t>(std::min(left, kStopCheckMs)));
    }
}

}  // namespace

PollSummary pollSignals(Line& line, const PollPlan& plan, const PollCallbacks& callbacks) {
    PollSummary summary;
    const int64_t interval = std::max<int32_t>(plan.intervalMs, 1);
    const int64_t startMs = plan.nowMs();
    for (int64_t k = 0; plan.count == 0 || k < plan.count; ++k) {
        if (!waitUntil(line, plan, callbacks, startMs + k * interval)) {
            break;
        }
        if (summary.lineDown) {
            if (!line.port.openPort(plan.device)) {
                continue;
            }
            summary.lineDown = false;
            if (callbacks.lineBack) {
                callbacks.lineBack();
            }
        }
        SignalSample sample;
        sample.atMs = plan.nowMs();
        sample.reading = readSignal(line);
        if (sample.reading.missing == SignalReading::Missing::LineFailed) {
            line.port.closePort();
            summary.lineDown = true;
            if (callbacks.lineFailed) {
                callbacks.lineFailed(sample.reading.lineFailure);
            }
        } else {
            ++summary.polls;
            summary.answered += sample.reading.value.has_value() ? 1 : 0;
            if (callbacks.sample) {
                callbacks.sample(sample);
            }
        }
        // A poll that outlasted its interval: the deadlines it overran are skipped, never
        // made up for in a burst.
        const int64_t late = plan.nowMs() - startMs;
        k = std::max(k, late / interval - (late % interval == 0 ? 1 : 0));
    }
    return summary;
}

}  // namespace tamlo::cli

#include "overshoot.h"

#include <chrono>
#include <utility>
#include <vector>

#include "figures.h"

namespace tamlo::bench {

namespace {

constexpr double kTargetMedianMs = 0.2;
constexpr double kTargetP99Ms = 1.0;

}  // namespace

void printPauseOvershoot(Clock& clock, int32_t ms, int count, const std::string& figure,
                         const std::function<void(int)>& before,
                         const std::function<std::string()>& extra) {
    using SteadyClock = std::chrono::steady_clock;
    std::vector<double> overshootMs;
    overshootMs.reserve(static_cast<size_t>(count));
    int shortPauses = 0;
    for (int i = 0; i < count; ++i) {
        if (before) {
            before(i);
        }
        const auto start = SteadyClock::now();
        clock.pauseMs(ms);
        const double took =
            std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
        // Longer is allowed, shorter never: the receiver would hear the next character
        // before it is ready.
        if (took < ms) {
            ++shortPauses;
        }
        overshootMs.push_back(took - ms);
    }
    const Summary s = summarize(std::move(overshootMs));
    const bool met = s.median <= kTargetMedianMs && s.p99 <= kTargetP99Ms && shortPauses == 0;
    printRow(
        figure,
        format("median %.3f ms, 99th %.3f ms, worst %.3f ms, mean %.3f ms; %d of %zu short",
               s.median, s.p99, s.worst, s.mean, shortPauses, s.count) +
            (extra ? extra() : std::string()),
        format("median <= %.1f ms, 99th <= %.0f ms, none short", kTargetMedianMs, kTargetP99Ms),
        metText(met));
}

}  // namespace tamlo::bench

// How closely the real clock keeps the protocol's pauses: the 25 ms per character of the
// fast write pace and the 200 ms after every command. A pause may come out longer, never
// shorter: the receiver would then hear the next character before it is ready.
// Prints table rows; fails on nothing.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>
#include <vector>

#include "figures.h"
#include "serial/linux/real_clock.h"

namespace {

using namespace tamlo::bench;
using SteadyClock = std::chrono::steady_clock;

constexpr double kTargetMedianMs = 0.2;
constexpr double kTargetP99Ms = 1.0;

void measure(tamlo::RealClock& clock, int32_t ms, int count) {
    std::vector<double> overshootMs;
    overshootMs.reserve(static_cast<size_t>(count));
    int shortPauses = 0;
    for (int i = 0; i < count; ++i) {
        const auto start = SteadyClock::now();
        clock.pauseMs(ms);
        const double took =
            std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
        if (took < ms) {
            ++shortPauses;
        }
        overshootMs.push_back(took - ms);
    }
    const Summary s = summarize(std::move(overshootMs));
    const bool met = s.median <= kTargetMedianMs && s.p99 <= kTargetP99Ms && shortPauses == 0;
    printRow(
        format("pauseMs(%d) overshoot", ms),
        format("median %.3f ms, 99th %.3f ms, worst %.3f ms, mean %.3f ms; %d of %zu short",
               s.median, s.p99, s.worst, s.mean, shortPauses, s.count),
        format("median <= %.1f ms, 99th <= %.0f ms, none short", kTargetMedianMs, kTargetP99Ms),
        metText(met));
}

}  // namespace

int main(int argc, char** argv) {
    // The count of each kind; 200 gives the 99th percentile two samples above it.
    int count = 200;
    if (argc > 1) {
        count = std::max(1, std::atoi(argv[1]));
    }
    tamlo::RealClock clock;
    measure(clock, 25, count);
    measure(clock, 200, count);
    return 0;
}

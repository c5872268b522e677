// The real clock's pauses while they serve the desktop program's window, as they do during
// LOAD and STORE: the window paints what changed and answers the window system inside the
// pause, and the pause must still end at its deadline, never before it. Each pause follows
// a change of the status text and of a field, so that every pause has painting to do.
// Prints table rows; fails on nothing.
#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "figures.h"
#include "serial/linux/real_clock.h"
#include "ui/control_table.h"
#include "ui/qt/qt_window.h"

namespace {

using namespace tamlo::bench;
using SteadyClock = std::chrono::steady_clock;

constexpr double kTargetMedianMs = 0.2;
constexpr double kTargetP99Ms = 1.0;

void measure(tamlo::RealClock& clock, tamlo::QtWindow& window, int& services, int32_t ms,
             int count) {
    std::vector<double> overshootMs;
    overshootMs.reserve(static_cast<size_t>(count));
    int shortPauses = 0;
    services = 0;
    for (int i = 0; i < count; ++i) {
        window.setStatusText(i % 2 == 0 ? "working" : "TamloX, firmware version 2.05");
        window.setControlText(tamlo::ids::ChannelField1, std::to_string(134000 + i));
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
        format("pauseMs(%d) overshoot, serving the Qt window", ms),
        format("median %.3f ms, 99th %.3f ms, worst %.3f ms, mean %.3f ms; %d of %zu short; "
               "%.1f services a pause",
               s.median, s.p99, s.worst, s.mean, shortPauses, s.count,
               static_cast<double>(services) / count),
        format("median <= %.1f ms, 99th <= %.0f ms, none short", kTargetMedianMs, kTargetP99Ms),
        metText(met));
}

}  // namespace

int main(int argc, char** argv) {
    int count = 200;
    if (argc > 1) {
        count = std::max(1, std::atoi(argv[1]));
    }
    QApplication application(argc, argv);
    tamlo::QtWindow window;
    window.openMainWindow();
    window.createStatusBar();
    for (const tamlo::ControlSpec& item : tamlo::fixedControls()) {
        window.createControl(item);
    }
    QApplication::processEvents();
    tamlo::RealClock clock;
    int services = 0;
    clock.setPauseService([&] {
        ++services;
        window.serveWhileBusy();
    });
    measure(clock, window, services, 25, count);
    measure(clock, window, services, 200, count);
    return 0;
}

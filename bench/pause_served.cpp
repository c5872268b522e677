// The real clock's pauses while they serve the desktop program's window, as they do during
// LOAD and STORE: the window paints what changed and answers the window system inside the
// pause, and the pause must still end at its deadline, never before it. Each pause follows
// a change of the status text and of a field, so that every pause has painting to do.
// Prints table rows; fails on nothing.
#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "figures.h"
#include "overshoot.h"
#include "serial/linux/real_clock.h"
#include "ui/control_table.h"
#include "ui/qt/qt_window.h"

int main(int argc, char** argv) {
    using namespace tamlo::bench;
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
    for (const int32_t ms : {25, 200}) {
        services = 0;
        printPauseOvershoot(
            clock, ms, count, format("pauseMs(%d) overshoot, serving the Qt window", ms),
            [&](int i) {
                window.setStatusText(i % 2 == 0 ? "working" : "TamloX, firmware version 2.05");
                window.setControlText(tamlo::ids::ChannelField1, std::to_string(134000 + i));
            },
            [&] {
                return format("; %.1f services a pause", static_cast<double>(services) / count);
            });
    }
    return 0;
}

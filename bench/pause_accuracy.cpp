// How closely the real clock keeps the protocol's pauses: the 25 ms per character of the
// fast write pace and the 200 ms after every command. A pause may come out longer, never
// shorter: the receiver would then hear the next character before it is ready.
// Prints table rows; fails on nothing.
#include <algorithm>
#include <cstdlib>

#include "figures.h"
#include "overshoot.h"
#include "serial/linux/real_clock.h"

int main(int argc, char** argv) {
    using namespace tamlo::bench;
    // The count of each kind; 200 gives the 99th percentile two samples above it.
    int count = 200;
    if (argc > 1) {
        count = std::max(1, std::atoi(argv[1]));
    }
    tamlo::RealClock clock;
    for (const int32_t ms : {25, 200}) {
        printPauseOvershoot(clock, ms, count, format("pauseMs(%d) overshoot", ms));
    }
    return 0;
}

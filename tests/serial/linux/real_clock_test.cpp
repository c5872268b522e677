#include "serial/linux/real_clock.h"

#include <signal.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <chrono>

namespace tamlo {
namespace {

using SteadyClock = std::chrono::steady_clock;

std::chrono::microseconds timePause(RealClock& clock, int32_t ms) {
    const auto start = SteadyClock::now();
    clock.pauseMs(ms);
    return std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - start);
}

TEST(RealClock, PausesAreNeverShorterThanNominal) {
    RealClock clock;
    for (int32_t ms : {1, 2, 9, 25, 200, 250, 1001}) {
        for (int repeat = 0; repeat < 3; ++repeat) {
            EXPECT_GE(timePause(clock, ms), std::chrono::milliseconds(ms)) << ms;
        }
    }
}

TEST(RealClock, NoPauseForZeroOrLess) {
    RealClock clock;
    for (int32_t ms : {0, -1, INT32_MIN}) {
        EXPECT_LT(timePause(clock, ms), std::chrono::milliseconds(50)) << ms;
    }
}

void ignoreAlarm(int) {}

TEST(RealClock, SignalsDoNotCutAPauseShort) {
    struct sigaction action {};
    action.sa_handler = ignoreAlarm;  // no SA_RESTART: every alarm interrupts the sleep
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
    itimerval every2ms{{0, 2000}, {0, 2000}};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every2ms, nullptr), 0);
    RealClock clock;
    const auto took = timePause(clock, 120);
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_GE(took, std::chrono::milliseconds(120));
}

}  // namespace
}  // namespace tamlo

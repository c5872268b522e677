#include "trace/signal_trace.h"

#include <gtest/gtest.h>

#include <climits>

namespace tamlo {
namespace {

TEST(SignalTrace, RingRunsFromOneTo359AndWrapsLeavingTheEndsZero) {
    SignalTrace trace;
    EXPECT_EQ(trace.traceIndex, 0);
    for (int n = 1; n <= 359; ++n) {
        trace.store(n * 10);
        ASSERT_EQ(trace.traceIndex, n);
    }
    for (int p = 1; p <= 359; ++p) {
        ASSERT_EQ(trace.samples[p], p * 10) << "position " << p;
    }
    trace.store(-1);
    EXPECT_EQ(trace.traceIndex, 1);
    EXPECT_EQ(trace.samples[1], -1);
    EXPECT_EQ(trace.samples[2], 20);
    trace.store(-2);
    EXPECT_EQ(trace.traceIndex, 2);
    EXPECT_EQ(trace.samples[0], 0);
    EXPECT_EQ(trace.samples[360], 0);
}

TEST(SignalTrace, KeepsTheLow16BitsAsSigned) {
    struct Case {
        int32_t rssi;
        int16_t stored;
    };
    const Case cases[] = {
        {123, 123},  {-5, -5},   {70000, 4464},   {32767, 32767},  {32768, -32768},
        {65535, -1}, {65536, 0}, {-32769, 32767}, {INT32_MAX, -1}, {INT32_MIN, 0},
    };
    for (const Case& c : cases) {
        SignalTrace trace;
        trace.store(c.rssi);
        EXPECT_EQ(trace.samples[1], c.stored) << c.rssi;
    }
}

TEST(SignalTrace, IndexOutsideTheRingRestartsAtOneInsteadOfWritingPastIt) {
    for (int16_t index :
         {int16_t{359}, int16_t{360}, int16_t{-7}, int16_t{INT16_MAX}, int16_t{INT16_MIN}}) {
        SignalTrace trace;
        trace.traceIndex = index;
        trace.store(42);
        EXPECT_EQ(trace.traceIndex, 1) << index;
        EXPECT_EQ(trace.samples[1], 42) << index;
        EXPECT_EQ(trace.samples[0], 0);
        EXPECT_EQ(trace.samples[360], 0);
    }
}

}  // namespace
}  // namespace tamlo

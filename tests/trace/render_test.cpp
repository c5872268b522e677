#include "trace/render.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace tamlo {
namespace {

constexpr int kNone = -1;
constexpr int kSeveral = -2;

// The row of the single curve pixel in column x, kNone or kSeveral otherwise.
int curveRow(const Image& image, int x) {
    int found = kNone;
    for (int y = 0; y < image.height(); ++y) {
        if (image.pixel(x, y) == kCurveColour) {
            if (found != kNone) {
                return kSeveral;
            }
            found = y;
        }
    }
    return found;
}

SignalTrace ringOf(int16_t value, int16_t traceIndex) {
    SignalTrace trace;
    for (int p = 1; p <= SignalTrace::kRingLength; ++p) {
        trace.samples[p] = value;
    }
    trace.traceIndex = traceIndex;
    return trace;
}

Image renderOnce(const SignalTrace& trace, int16_t traceOffset) {
    TraceImages images;
    renderTrace(images, trace, traceOffset);
    EXPECT_TRUE(images.graph.has_value());
    return images.graph.value_or(Image{});
}

// Expected grid, pixel by pixel: axis, seven ticks and the threshold row (kNone: no row).
Image expectedGrid(int thresholdRow) {
    Image image;
    for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 360; ++x) {
            const bool axis = x == 10;
            const bool tick = x >= 6 && x <= 13 && y >= 10 && y <= 130 && (y - 10) % 20 == 0;
            if (axis || tick || y == thresholdRow) {
                image.setPixel(x, y, kGridColour);
            }
        }
    }
    return image;
}

TEST(TraceGrid, ThresholdLineSitsTwoPixelsPerUnitAboveTheBottomShiftedByTheOffset) {
    struct Case {
        int32_t threshold;
        int16_t traceOffset;
        int row;
    };
    const Case cases[] = {
        {0, 0, kNone},
        {75, 0, 0},
        {40, 0, 70},
        {40, 60, 130},
        {1, 0, 148},
        {76, 0, kNone},
        {-1, 0, kNone},
        {30, 60, kNone},
        {105, 60, 0},
        {31, 60, 148},
        {106, 60, kNone},
        {INT32_MAX, 0, kNone},
        {INT32_MIN, 0, kNone},
        {INT32_MIN + 40, 0, kNone},
        {INT32_MAX, INT16_MIN, kNone},
        {INT32_MIN, INT16_MAX, kNone},
    };
    for (const Case& c : cases) {
        TraceImages images;
        drawTraceGrid(images, c.threshold, c.traceOffset);
        ASSERT_TRUE(images.grid.has_value());
        EXPECT_EQ(*images.grid, expectedGrid(c.row))
            << "threshold " << c.threshold << ", offset " << c.traceOffset;
    }
}

TEST(TraceCurve, SteadyRingsGiveAFlatLineAtTheirRow) {
    struct Case {
        int16_t value;
        int16_t traceOffset;
        int row;
    };
    const Case cases[] = {
        {0, 0, 149},         {0, 60, 149}, {40, 0, 70},  {40, 60, 130},
        {75, 0, 1},          {74, 0, 2},   {1000, 0, 1}, {INT16_MAX, 0, 1},
        {INT16_MIN, 0, 149}, {-7, 0, 149}, {105, 60, 1}, {31, 60, 148},
    };
    for (const Case& c : cases) {
        for (int16_t traceIndex : {int16_t{0}, int16_t{1}, int16_t{200}, int16_t{359}}) {
            const Image graph = renderOnce(ringOf(c.value, traceIndex), c.traceOffset);
            for (int x = 0; x < 6; ++x) {
                ASSERT_EQ(curveRow(graph, x), kNone) << "column " << x;
            }
            for (int x = 6; x < 360; ++x) {
                ASSERT_EQ(curveRow(graph, x), c.row)
                    << "value " << c.value << ", offset " << c.traceOffset << ", index "
                    << traceIndex << ", column " << x;
            }
        }
    }
}

TEST(TraceCurve, ColumnSumIsDividedTowardZero) {
    // One marked sample five places before the newest is read by the last six columns; the
    // negative offset lifts the result above the clamp so that rounding shows.
    struct Case {
        int16_t sample;
        int16_t traceOffset;
        int row;
    };
    const Case cases[] = {
        {-7, 0, 149},   // -7 / 3 = -2, clamped to 1
        {-7, -5, 147},  // -2 + 5 = 3; rounding down would give 2
        {-1, -5, 145},  // 0 + 5
        {7, -5, 143},   // 2 + 5
        {8, 0, 148},    // 8 / 3 = 2
    };
    for (const Case& c : cases) {
        SignalTrace trace = ringOf(0, 100);
        trace.samples[95] = c.sample;
        const Image graph = renderOnce(trace, c.traceOffset);
        for (int x = 354; x < 360; ++x) {
            EXPECT_EQ(curveRow(graph, x), c.row) << c.sample << " column " << x;
        }
    }
}

TEST(TraceCurve, EachColumnReadsTheSixSamplesOfItsAges) {
    // A ring of zeros with one sample of 30 (drawn at row 140): only the columns that
    // average that sample leave row 149.
    struct Case {
        int16_t traceIndex;
        int marked;
        int firstColumn;
        int lastColumn;
    };
    const Case cases[] = {
        // The newest sample is read by column 359 alone, at r = 0, where the position
        // wraps through 0 to 359.
        {359, 359, 359, 359},
        {1, 1, 359, 359},
        {0, 359, 359, 359},
        // The oldest of a full ring is read by column 6 alone, at r = -5.
        {359, 1, 6, 6},
        {1, 2, 6, 6},
        {100, 101, 6, 6},
        // Before the first sample, position 1 stands oldest.
        {0, 1, 6, 6},
        // Samples of ages 1 to 357 sit in up to six neighbouring columns.
        {359, 2, 6, 7},
        {1, 359, 358, 359},
        {5, 3, 357, 359},
        {5, 359, 354, 359},
        {100, 50, 309, 314},
    };
    for (const Case& c : cases) {
        SignalTrace trace = ringOf(0, c.traceIndex);
        trace.samples[c.marked] = 30;
        const Image graph = renderOnce(trace, 0);
        for (int x = 6; x < 360; ++x) {
            const int expected = x >= c.firstColumn && x <= c.lastColumn ? 140 : 149;
            ASSERT_EQ(curveRow(graph, x), expected)
                << "index " << c.traceIndex << ", sample at " << c.marked << ", column " << x;
        }
    }
}

TEST(TraceCurve, PositionsOutsideTheRingAreNeverRead) {
    for (int16_t traceIndex : {int16_t{0}, int16_t{359}, int16_t{360}, int16_t{-1},
                               int16_t{INT16_MAX}, int16_t{INT16_MIN}}) {
        SignalTrace trace = ringOf(0, traceIndex);
        trace.samples[0] = 300;
        trace.samples[360] = 300;
        const Image graph = renderOnce(trace, 0);
        for (int x = 6; x < 360; ++x) {
            ASSERT_EQ(curveRow(graph, x), 149) << "index " << traceIndex << ", column " << x;
        }
    }
}

TEST(TraceCurve, NeverTouchesTheTopRow) {
    for (int16_t value : {int16_t{75}, int16_t{INT16_MAX}}) {
        for (int16_t offset : {int16_t{0}, int16_t{-100}, int16_t{INT16_MIN}}) {
            const Image graph = renderOnce(ringOf(value, 7), offset);
            for (int x = 0; x < 360; ++x) {
                ASSERT_NE(graph.pixel(x, 0), kCurveColour) << x;
            }
        }
    }
}

TEST(TraceCurve, IsDrawnOverTheGrid) {
    TraceImages images;
    drawTraceGrid(images, 40, 0);
    renderTrace(images, ringOf(0, 1), 0);
    Image expected = expectedGrid(70);
    for (int x = 6; x < 360; ++x) {
        expected.setPixel(x, 149, kCurveColour);
    }
    EXPECT_EQ(*images.graph, expected);
    // The grid itself stays as painted.
    EXPECT_EQ(*images.grid, expectedGrid(70));
}

TEST(TraceCurve, WithoutAGridTheBackgroundIsBlack) {
    // The grid is painted only when the trace is ticked; a curve before that is on black.
    TraceImages never;
    renderTrace(never, ringOf(40, 9), 0);
    Image expected;
    for (int x = 6; x < 360; ++x) {
        expected.setPixel(x, 70, kCurveColour);
    }
    EXPECT_EQ(*never.graph, expected);
}

}  // namespace
}  // namespace tamlo

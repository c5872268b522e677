#include "trace/render.h"

#include <algorithm>

namespace tamlo {

namespace {

constexpr int kAxisX = 10;
constexpr int kTickX = 6;
constexpr int kTickWidth = 8;
constexpr int kFirstTickY = 10;
constexpr int kTickStep = 20;
constexpr int kTickCount = 7;
// Columns 0 to 5 stay free of the curve; each column averages six ring samples.
constexpr int kFirstCurveColumn = 6;
constexpr int kSamplesPerColumn = 6;

// Ring positions run 1..359; a remainder of 0 stands for 359. The remainder is taken
// non-negative so that any traceIndex, even one outside the ring, reads inside the array.
size_t ringPosition(int32_t n) {
    int32_t p = n % SignalTrace::kRingLength;
    if (p < 0) {
        p += SignalTrace::kRingLength;
    }
    return static_cast<size_t>(p == 0 ? SignalTrace::kRingLength : p);
}

}  // namespace

void drawTraceGrid(TraceImages& images, int32_t threshold, int16_t traceOffset) {
    Image& grid = images.grid.emplace();

    // Two pixels per RSSI unit up from the bottom edge. Any 32-bit threshold fits in 64 bits;
    // a row outside the image is clipped away, so a row beyond int range is pinned just outside.
    const int64_t row =
        150 + static_cast<int64_t>(traceOffset) - 2 * static_cast<int64_t>(threshold);
    const int y = static_cast<int>(std::clamp<int64_t>(row, -1, Image::kHeight));
    grid.line(0, y, Image::kWidth, 1, kGridColour);

    grid.line(kAxisX, 0, 1, Image::kHeight, kGridColour);
    for (int i = 0; i < kTickCount; ++i) {
        grid.line(kTickX, kFirstTickY + i * kTickStep, kTickWidth, 1, kGridColour);
    }
}

void renderTrace(TraceImages& images, const SignalTrace& trace, int16_t traceOffset) {
    Image& graph = images.graph.emplace();
    if (images.grid) {
        graph.copyFrom(*images.grid);
    }

    // Column 359 averages the six newest samples, column 6 the six oldest.
    for (int x = kFirstCurveColumn; x < Image::kWidth; ++x) {
        int32_t sum = 0;
        for (int r = 1 - kSamplesPerColumn; r <= 0; ++r) {
            sum += trace.samples[ringPosition(int32_t{trace.traceIndex} + x + r)];
        }
        // Truncating toward zero; sum / 3 is twice the mean, the scale of the threshold line.
        const int32_t value = std::clamp<int32_t>(sum / 3 - traceOffset, 1, Image::kHeight - 1);
        graph.setPixel(x, Image::kHeight - value, kCurveColour);
    }
}

}  // namespace tamlo

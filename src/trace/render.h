// Painting the signal-strength graph: GridImage (black, threshold line, axis, ticks) and
// GraphImage (the grid with the smoothed curve over it).
#pragma once

#include <cstdint>
#include <optional>

#include "trace/image.h"
#include "trace/signal_trace.h"

namespace tamlo {

inline constexpr Rgb kGridColour{0, 192, 64};
inline constexpr Rgb kCurveColour{255, 255, 0};
// How far the curve and the threshold line sit lower for the receivers whose generation
// lowers the trace.
inline constexpr int16_t kLoweredTraceOffset = 60;

// The two off-screen images, replaced by number. They are plain memory here, so making one
// cannot fail; a window backend that hands them to the screen deals with its own resources.
struct TraceImages {
    std::optional<Image> grid;   // image number 1
    std::optional<Image> graph;  // image number 2
};

// Paints GridImage anew.
void drawTraceGrid(TraceImages& images, int32_t threshold, int16_t traceOffset);
// Makes GraphImage anew from GridImage (black where none was painted yet) and the ring.
void renderTrace(TraceImages& images, const SignalTrace& trace, int16_t traceOffset);

}  // namespace tamlo

// Painting the signal-strength graph: GridImage (black, threshold line, axis, ticks) and
// GraphImage (the grid with the smoothed curve over it).
#pragma once

#include <cstdint>
#include <optional>

#include "trace/image.h"
#include "trace/signal_trace.h"

namespace tamlo {

class Window;

inline constexpr Rgb kGridColour{0, 192, 64};
inline constexpr Rgb kCurveColour{255, 255, 0};

// The two off-screen images, replaced by number. Making an image or starting to draw
// into it can fail on a platform short of resources; the flags let tests make it fail.
struct TraceImages {
    std::optional<Image> grid;   // image number 1
    std::optional<Image> graph;  // image number 2
    bool failMakeImage = false;
    bool failStartDrawing = false;
};

// Paints GridImage; on failure nothing else happens.
void drawTraceGrid(TraceImages& images, int32_t threshold, int16_t traceOffset);
// Makes GraphImage from GridImage and the ring and hands it to TraceImage; on failure
// TraceImage keeps what it showed.
void renderTrace(TraceImages& images, const SignalTrace& trace, int16_t traceOffset,
                 Window& window);

}  // namespace tamlo

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

// The two off-screen images, replaced by number. Making an image or starting to draw
// into it can fail on a platform short of resources; a test derives from this class to
// make it fail.
class TraceImages {
  public:
    virtual ~TraceImages() = default;

    std::optional<Image> grid;   // image number 1
    std::optional<Image> graph;  // image number 2

    // Makes the image under its number: the old one is released first, so a failed make
    // leaves none behind. False when making it or starting to draw into it fails.
    virtual bool makeImage(std::optional<Image>& slot) {
        slot.reset();
        slot.emplace();
        return true;
    }
};

// Paints GridImage; on failure nothing else happens.
void drawTraceGrid(TraceImages& images, int32_t threshold, int16_t traceOffset);
// Makes GraphImage from GridImage and the ring. False when it could not be made: what
// TraceImage shows should then stay as it was.
bool renderTrace(TraceImages& images, const SignalTrace& trace, int16_t traceOffset);

}  // namespace tamlo

#include "trace/poll.h"

#include "text/conversions.h"

namespace tamlo {

void pollSignal(Line& line, DeviceSettings& settings, SignalTrace& trace, int16_t traceOffset,
                TraceImages& images, Window& window) {
    // No flush first: the echoed "R" marks where this reply begins.
    sendCommand(line, "R");
    const std::string reply = readResponse(line.port, "R");
    settings[rssi] = low32(parseInteger(reply));
    window.setControlText(ids::RssiDisplay, formatInteger(settings[rssi]));
    if (window.controlState(ids::TraceCheck) == 1) {
        trace.store(settings[rssi]);
        renderTrace(images, trace, traceOffset, window);
    }
}

void toggleTrace(const DeviceSettings& settings, int16_t traceOffset, TraceImages& images,
                 Window& window) {
    if (window.controlState(ids::TraceCheck) == 1) {
        if (window.setInnerHeight(kInnerHeightWithTrace)) {
            drawTraceGrid(images, settings[threshold], traceOffset);
            // A grid that could not be painted shows as a black image.
            window.createTraceImage(images.grid ? *images.grid : Image{});
        }
        window.startTraceTimer();
    } else {
        window.stopTraceTimer();
        // TraceImage stays; it merely lies outside the smaller window.
        (void)window.setInnerHeight(kInnerHeight);
    }
}

}  // namespace tamlo

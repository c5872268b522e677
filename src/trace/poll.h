// Polling the receiver's signal strength and showing or hiding the trace.
#pragma once

#include <cstdint>

#include "protocol/settings.h"
#include "serial/exchange.h"
#include "trace/render.h"
#include "trace/signal_trace.h"
#include "ui/window.h"

namespace tamlo {

// "R": rssi into the settings and the RSSI display; with Trace ticked also into the ring,
// and the graph is redrawn.
void pollSignal(Line& line, DeviceSettings& settings, SignalTrace& trace, int16_t traceOffset,
                TraceImages& images, Window& window);
// Grows the window and starts TraceTimer when Trace is ticked; otherwise stops the timer
// and shrinks the window.
void toggleTrace(const DeviceSettings& settings, int16_t traceOffset, TraceImages& images,
                 Window& window);

}  // namespace tamlo

// The signal strength on the window: the RSSI display, the ring and the graph, and the
// Trace box that shows or hides them.
#pragma once

#include "app/state.h"
#include "serial/exchange.h"
#include "ui/window.h"

namespace tamlo {

// "R" into the settings and the RSSI display; with Trace ticked also into the ring, and
// the graph is redrawn.
void pollSignalIntoForm(Line& line, ProcessState& state, Window& window);
// Grows the window and starts TraceTimer when Trace is ticked; otherwise stops the timer
// and shrinks the window.
void toggleTrace(ProcessState& state, Window& window);

}  // namespace tamlo

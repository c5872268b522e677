#include "app/trace_view.h"

#include "protocol/signal.h"
#include "text/conversions.h"

namespace tamlo {

void pollSignalIntoForm(Line& line, ProcessState& state, Window& window) {
    state.settings[rssi] = pollSignal(line);
    window.setControlText(ids::RssiDisplay, formatInteger(state.settings[rssi]));
    if (window.controlState(ids::TraceCheck) == 1) {
        state.trace.store(state.settings[rssi]);
        renderTrace(state.images, state.trace, state.traceOffset);
        window.setTraceImage(*state.images.graph);
    }
}

void toggleTrace(ProcessState& state, Window& window) {
    if (window.controlState(ids::TraceCheck) == 1) {
        if (window.setInnerHeight(kInnerHeightWithTrace)) {
            drawTraceGrid(state.images, state.settings[threshold], state.traceOffset);
            window.createTraceImage(*state.images.grid);
        }
        window.startTraceTimer();
    } else {
        window.stopTraceTimer();
        // TraceImage stays; it merely lies outside the smaller window.
        (void)window.setInnerHeight(kInnerHeight);
    }
}

}  // namespace tamlo

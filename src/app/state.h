// The state that lives from start-up to exit, in one object passed by reference.
#pragma once

#include <cstdint>

#include "protocol/settings.h"
#include "trace/render.h"
#include "trace/signal_trace.h"

namespace tamlo {

struct ProcessState {
    int32_t errorCode = 0;  // 0: no error pending
    DeviceSettings settings;
    SignalTrace trace;
    // Lowers the curve and the threshold line; 60 once a generation 2 or 3 receiver has
    // been read, and never set back.
    int16_t traceOffset = 0;
    TraceImages images;
};

}  // namespace tamlo

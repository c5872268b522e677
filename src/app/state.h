// The state that lives from start-up to exit, in one object passed by reference.
#pragma once

#include <cstdint>
#include <string>

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
    // The generation whose accepted settings block last made the audio-level field and
    // check boxes; 0 before any. STORE writes the audio settings only when it is the
    // generation of the last LOAD: controls left from another generation are not its own.
    int audioControlsGeneration = 0;
    TraceImages images;
    // The version reply of the last LOAD, when it came (UTC) and through which port: what a
    // saved file says of the receiver.
    std::string versionReply;
    std::string loadedAt;
    std::string loadedPort;
};

}  // namespace tamlo

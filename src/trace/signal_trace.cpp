#include "trace/signal_trace.h"

#include "text/conversions.h"

namespace tamlo {

void SignalTrace::store(int32_t rssi) {
    // Positions 1 to 359 only: 0 and 360 lie outside the ring. An index that is not a
    // ring position (it is a public field) restarts at 1 rather than write past the array.
    int32_t next = static_cast<int32_t>(traceIndex) + 1;
    if (next < 1 || next > kRingLength) {
        next = 1;
    }
    traceIndex = static_cast<int16_t>(next);
    // The receiver may report more than 16 bits; the ring keeps the low half, two's complement.
    samples[static_cast<size_t>(next)] = low16(rssi);
}

}  // namespace tamlo

// The ring of recent RSSI samples behind the trace graph.
#pragma once

#include <array>
#include <cstdint>

namespace tamlo {

// 361 samples; positions 1 to 359 form the ring, the newest at traceIndex. Positions 0
// and 360 are outside the ring and stay zero.
struct SignalTrace {
    static constexpr int kSize = 361;
    static constexpr int kRingLength = 359;

    std::array<int16_t, kSize> samples{};
    int16_t traceIndex = 0;

    // Positions 1, 2, ..., 359, 1, ...; the ring keeps only the low 16 bits of the value.
    void store(int32_t rssi);
    void clearSamples() { samples.fill(0); }
};

}  // namespace tamlo

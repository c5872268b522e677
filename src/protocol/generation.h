// What tells the three firmware generations apart, in one table: which settings blocks a
// read asks for, how a write is paced and framed, and how the trace is drawn.
#pragma once

#include <cstdint>
#include <string_view>

namespace tamlo {

// A closed range of whole numbers.
struct IntegerRange {
    int64_t low = 0;
    int64_t high = 0;
    bool holds(int64_t value) const { return value >= low && value <= high; }
};

struct GenerationTraits {
    int number = 1;             // 1, 2 or 3
    bool hexBlock = false;      // reads ask for "X"
    bool textBlock = false;     // reads ask for "M" (after "X" when both)
    bool lnaByte = false;       // the hex block carries the LNA supply byte
    bool writeSession = false;  // writes go between "E" "0" and "E" "1"
    int32_t paceMs = 0;         // pause after each character of a write command
    bool audioCommand = false;  // "L" level "D" diversity
    bool lnaCommand = false;    // "P" LNA supply, inside the audio command
    bool lowersTrace = false;   // a read sets traceOffset to kLoweredTraceOffset
    // The thresholds a read reports back as they were written: the hex block holds one
    // byte (generation 3), the text block six characters (generations 1 and 2).
    IntegerRange thresholdReadBack;
};

inline constexpr int16_t kLoweredTraceOffset = 60;

// The version number times 100, truncated: "2.05 ..." gives 204, "1.81" gives 180. The
// one rule for the program, the command line and the simulated receiver alike.
int32_t firmwareCodeOf(std::string_view versionText);
// 1 up to 180 (0 included: nothing identified yet), 2 for 181..199, 3 from 200.
int firmwareGeneration(int32_t firmwareCode);
// The traits of generation 1, 2 or 3 (anything else: generation 1).
const GenerationTraits& generationTraits(int generation);
const GenerationTraits& firmwareTraits(int32_t firmwareCode);

}  // namespace tamlo

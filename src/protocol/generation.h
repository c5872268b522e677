// What tells the three firmware generations apart, in one record each: which settings
// blocks a read asks for, how a write is paced and framed, which controls the receiver has
// and the values they take, and how the window shows it. Everything that differs by
// generation is read from here; nothing else compares generations or firmware codes.
#pragma once

#include <cstdint>
#include <span>
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
    bool audioCommand = false;  // "L" level "D" diversity: an audio level and diversity
    bool lnaCommand = false;    // "P" LNA supply, inside the audio command
    bool lowersTrace = false;   // the window's graph sits lower once such a receiver is read
    bool buildStamp = false;    // the window's status line shows the version reply's stamp
    // The values a STORE takes: an audio level (where there is one) and a threshold of at
    // most this, with no lower bound (T-5 goes out).
    IntegerRange audioLevels;
    int64_t highestThreshold = 99;
    // The thresholds a read reports back as they were written: the hex block holds one
    // byte (generation 3), the text block six characters (generations 1 and 2).
    IntegerRange thresholdReadBack;
};

// The version number times 100, truncated: "2.05 ..." gives 204, "1.81" gives 180. The
// one rule for the program, the command line and the simulated receiver alike.
int32_t firmwareCodeOf(std::string_view versionText);
// 1 up to 180 (0 included: nothing identified yet), 2 for 181..199, 3 from 200.
int firmwareGeneration(int32_t firmwareCode);
// The traits of generation 1, 2 or 3 (anything else: generation 1).
const GenerationTraits& generationTraits(int generation);
const GenerationTraits& firmwareTraits(int32_t firmwareCode);
// Every generation's traits, oldest first.
std::span<const GenerationTraits> allGenerationTraits();

}  // namespace tamlo

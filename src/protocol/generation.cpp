#include "protocol/generation.h"

#include <array>

#include "protocol/write_settings.h"
#include "text/conversions.h"

namespace tamlo {

namespace {

// Generation 1 reads the text block and writes slowly with no session; generation 2 reads
// both blocks and frames its writes; generation 3 reads the hex block alone and adds the
// LNA supply.
constexpr std::array<GenerationTraits, 3> kTraits{{
    {.number = 1,
     .hexBlock = false,
     .textBlock = true,
     .lnaByte = false,
     .writeSession = false,
     .paceMs = kSlowPaceMs,
     .audioCommand = false,
     .lnaCommand = false,
     .lowersTrace = false,
     .buildStamp = false,
     .audioLevels = {0, -1},
     .thresholdReadBack = {-99999, 99}},
    {.number = 2,
     .hexBlock = true,
     .textBlock = true,
     .lnaByte = false,
     .writeSession = true,
     .paceMs = kFastPaceMs,
     .audioCommand = true,
     .lnaCommand = false,
     .lowersTrace = true,
     .buildStamp = false,
     .audioLevels = {0, 31},
     .thresholdReadBack = {-99999, 99}},
    {.number = 3,
     .hexBlock = true,
     .textBlock = false,
     .lnaByte = true,
     .writeSession = true,
     .paceMs = kFastPaceMs,
     .audioCommand = true,
     .lnaCommand = true,
     .lowersTrace = true,
     .buildStamp = true,
     .audioLevels = {0, 31},
     .thresholdReadBack = {-128, 99}},
}};

}  // namespace

int32_t firmwareCodeOf(std::string_view versionText) {
    // No small addend before truncating: a version whose nearest float lies just below it
    // loses one (1.81 reads as 180, a generation-1 receiver), and the receivers in the
    // field have always been sorted that way.
    const float version = parseDecimal(versionText);
    return low32(truncateToInteger(static_cast<double>(version) * 100.0));
}

int firmwareGeneration(int32_t firmwareCode) {
    if (firmwareCode <= 180) {
        return 1;
    }
    return firmwareCode < 200 ? 2 : 3;
}

const GenerationTraits& generationTraits(int generation) {
    if (generation < 1 || generation > 3) {
        generation = 1;
    }
    return kTraits[static_cast<size_t>(generation - 1)];
}

std::span<const GenerationTraits> allGenerationTraits() {
    return kTraits;
}

const GenerationTraits& firmwareTraits(int32_t firmwareCode) {
    return generationTraits(firmwareGeneration(firmwareCode));
}

}  // namespace tamlo

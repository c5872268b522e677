// The receiver's settings blocks as the parsers meet them: any bytes at all, of any length.
// The text block, the hex block with and without its LNA byte, and the number conversions
// every field passes through.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocol/read_settings.h"
#include "text/conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    using tamlo::DeviceSettings;

    DeviceSettings fromText;
    fromText[tamlo::firmwareCode] = 205;
    fromText[tamlo::rssi] = 40;
    tamlo::parseTextSettings(text, fromText);

    DeviceSettings withoutLna;
    withoutLna[tamlo::lnaSupply] = 77;
    tamlo::parseHexSettings(text, false, withoutLna);
    DeviceSettings withLna;
    tamlo::parseHexSettings(text, true, withLna);

    // The parsers write only the slots of their block: never the firmware code or the
    // signal strength, and the generation-2 form never the LNA supply.
    if (fromText[tamlo::firmwareCode] != 205 || fromText[tamlo::rssi] != 40 ||
        withoutLna[tamlo::lnaSupply] != 77 || withLna[tamlo::firmwareCode] != 0 ||
        withLna[tamlo::rssi] != 0) {
        std::abort();
    }
    // Both hex forms agree on every slot they share.
    for (int slot = tamlo::channelFreq1; slot <= tamlo::diversity; ++slot) {
        if (slot != tamlo::rssi && withoutLna[slot] != withLna[slot]) {
            std::abort();
        }
    }
    (void)tamlo::parseInteger(text);
    (void)tamlo::parseDecimal(text);
    return 0;
}

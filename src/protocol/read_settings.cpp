#include "app/error_table.h"
#include "protocol/conversations.h"
#include "text/conversions.h"

namespace tamlo {

namespace {

void createGenerationControl(Window& window, int id, int generation) {
    if (const ControlSpec* item = generationControl(id, generation)) {
        window.createControl(*item);
    }
}

// Sends the one-letter request and collects what followed its echo after the fixed wait.
std::string request(Line& line, std::string_view command, int32_t waitMs) {
    sendCommand(line, command);
    pauseMs(line.clock, waitMs);
    return readResponse(line.port, command);
}

// "X": the hex block, with the audio level and the switches of generations 2 and 3.
void readHexBlock(Line& line, DeviceSettings& settings, Window& window, int32_t& errorCode,
                  int generation) {
    createGenerationControl(window, ids::AudioLevelFrame, generation);
    createGenerationControl(window, ids::AudioLevelLabel, generation);
    const std::string reply = request(line, "X", kHexBlockWaitMs);
    if (textLength(reply) < kHexBlockMinLength) {
        errorCode = errors::CommunicationError;
        return;
    }
    const bool withLna = generation == 3;
    parseHexSettings(reply, withLna, settings);
    createGenerationControl(window, ids::AudioLevelField, generation);
    createGenerationControl(window, ids::DiversityOrLnaCheck, generation);
    if (withLna) {
        createGenerationControl(window, ids::DiversityCheck3, generation);
    }
    window.setControlText(ids::AudioLevelField, formatInteger(settings[audioLevel]));
    if (withLna) {
        window.setControlState(ids::DiversityCheck3, settings[diversity]);
        window.setControlState(ids::DiversityOrLnaCheck, settings[lnaSupply] > 40 ? 1 : 0);
    } else {
        window.setControlState(ids::DiversityOrLnaCheck, settings[diversity]);
    }
}

}  // namespace

void readSettings(Line& line, DeviceSettings& settings, Window& window, int32_t& errorCode,
                  int16_t& traceOffset) {
    flushInput(line.port);
    const int generation = firmwareGeneration(settings[firmwareCode]);

    if (generation == 2 || generation == 3) {
        readHexBlock(line, settings, window, errorCode, generation);
        // The graph of these generations sits 60 pixels (30 RSSI units) lower, whether or
        // not the block arrived.
        traceOffset = 60;
    }
    // Generation 2 asks for the text block even when its hex block was refused; there is
    // no flush between the two requests.
    if (generation == 1 || generation == 2) {
        const std::string reply = request(line, "M", kTextBlockWaitMs);
        if (textLength(reply) < kTextBlockMinLength) {
            errorCode = errors::CommunicationError;
        } else {
            parseTextSettings(reply, settings);
        }
    }

    // A short reply leaves the form as it was, so the user never sees half a LOAD.
    if (errorCode != errors::CommunicationError) {
        for (int n = 1; n <= 6; ++n) {
            window.setControlText(ids::ChannelField1 + n - 1,
                                  formatChannelText(settings.channel(n)));
        }
        window.setControlText(ids::ThresholdField, formatInteger(settings[threshold]));
    }
}

void parseTextSettings(std::string_view text, DeviceSettings& settings) {
    static constexpr std::string_view kChannelTags[] = {
        "CH1:", "CH2:", "CH3:", "CH4:", "CH5:", "CH6:"};
    const int64_t length = textLength(text);
    for (int64_t p = 1; p <= length; ++p) {
        const std::string tag = middlePart(text, p, 4);
        bool matched = false;
        for (int n = 1; n <= 6 && !matched; ++n) {
            if (textEquals(tag, kChannelTags[n - 1])) {
                // Two characters ("13") stand between the tag and the value field.
                settings.channel(n) = textBlockFrequency(middlePart(text, p + 6, 6));
                matched = true;
            }
        }
        if (matched) {
            continue;
        }
        if (textEquals(tag, "thr:")) {
            settings[threshold] = low32(parseInteger(middlePart(text, p + 4, 6)));
        } else if (textEquals(tag, " CH:")) {
            settings[currentChannel] = low32(parseInteger(middlePart(text, p + 4, 1)));
        }
    }
}

void parseHexSettings(std::string_view text, bool withLnaByte, DeviceSettings& settings) {
    // Byte k is written at positions 3k + 1 and 3k + 2; each channel word low byte first.
    const auto byteAt = [&](int k) { return middlePart(text, 3 * k + 1, 2); };
    for (int n = 1; n <= 6; ++n) {
        settings.channel(n) = hexWordFrequency(byteAt(2 * n - 1), byteAt(2 * n - 2));
    }
    settings[threshold] = hexByte(byteAt(13));
    settings[currentChannel] = decimalByte(byteAt(12));
    settings[audioLevel] = hexByte(byteAt(15));
    settings[diversity] = decimalByte(byteAt(16));
    if (withLnaByte) {
        settings[lnaSupply] = decimalByte(byteAt(17));
    }
}

}  // namespace tamlo

#include "protocol/read_settings.h"

#include <string>

#include "text/conversions.h"

namespace tamlo {

namespace {

// Sends the one-letter request and collects what followed its echo after the fixed wait.
std::string request(Line& line, std::string_view command, int32_t waitMs) {
    sendCommand(line, command);
    pauseMs(line.clock, waitMs);
    return readResponse(line.port, command);
}

// "X": an accepted reply is parsed into settings (with the LNA byte when the generation has
// it); a short one leaves them as they were.
BlockReply requestHexBlock(Line& line, const GenerationTraits& traits, DeviceSettings& settings) {
    const std::string reply = request(line, "X", kHexBlockWaitMs);
    const int64_t length = textLength(reply);
    if (length < kHexBlockMinLength) {
        return {BlockOutcome::TooShort, length};
    }
    parseHexSettings(reply, traits.lnaByte, settings);
    return {BlockOutcome::Accepted, length};
}

// "M": likewise.
BlockReply requestTextBlock(Line& line, DeviceSettings& settings) {
    const std::string reply = request(line, "M", kTextBlockWaitMs);
    const int64_t length = textLength(reply);
    if (length < kTextBlockMinLength) {
        return {BlockOutcome::TooShort, length};
    }
    parseTextSettings(reply, settings);
    return {BlockOutcome::Accepted, length};
}

}  // namespace

int32_t readNominalMs(const GenerationTraits& traits) {
    return (traits.hexBlock ? kCommandPauseMs + kHexBlockWaitMs : 0) +
           (traits.textBlock ? kCommandPauseMs + kTextBlockWaitMs : 0);
}

SettingsRead readSettings(Line& line, DeviceSettings& settings, SettingsReadObserver* observer) {
    SettingsReadObserver silent;
    SettingsReadObserver& tell = observer != nullptr ? *observer : silent;
    flushInput(line.port);
    const GenerationTraits& traits = firmwareTraits(settings[firmwareCode]);
    SettingsRead read;
    if (traits.hexBlock) {
        tell.blockRequested(SettingsBlock::Hex);
        read.hex = requestHexBlock(line, traits, settings);
        tell.blockAnswered(SettingsBlock::Hex, *read.hex, settings);
    }
    // Generation 2 asks for the text block even when its hex block was refused; there is
    // no flush between the two requests.
    if (traits.textBlock) {
        tell.blockRequested(SettingsBlock::Text);
        read.text = requestTextBlock(line, settings);
        tell.blockAnswered(SettingsBlock::Text, *read.text, settings);
    }
    return read;
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
    settings[threshold] = hexByte(byteAt(kHexThresholdByte));
    settings[currentChannel] = decimalByte(byteAt(kHexCurrentChannelByte));
    settings[audioLevel] = hexByte(byteAt(kHexAudioLevelByte));
    settings[diversity] = decimalByte(byteAt(kHexDiversityByte));
    if (withLnaByte) {
        settings[lnaSupply] = decimalByte(byteAt(kHexLnaByte));
    }
}

}  // namespace tamlo

#include "app/error_table.h"
#include "protocol/conversations.h"
#include "text/conversions.h"

namespace tamlo {

namespace {

bool isDigitOfBase(char c, int base) {
    if (base == 16) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    }
    if (base == 2) {
        return c == '0' || c == '1';
    }
    return c >= '0' && c <= '9';
}

// True when the text begins with a number as parseInteger reads it: blanks and tabs, an
// optional sign, then at least one digit ("$" hex and "%" binary included). An empty field
// is not a zero: writing it would overwrite the receiver's stored value with something the
// user never entered.
bool holdsNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == '%')) {
        base = text[i] == '$' ? 16 : 2;
        ++i;
    }
    return i < text.size() && isDigitOfBase(text[i], base);
}

// "L" and the level as two digits, then the switches as 0 or 1.
void sendAudioSettings(Line& line, Window& window, int32_t& errorCode, int generation,
                       int32_t pause) {
    // Before a settings block has been accepted there is no audio-level field: the user has
    // seen no level and no switches, so none are written.
    if (!window.hasControl(ids::AudioLevelField)) {
        return;
    }
    const std::string levelText = window.controlText(ids::AudioLevelField);
    const int32_t level = low32(parseInteger(levelText));
    const int diversityId = generation == 3 ? ids::DiversityCheck3 : ids::DiversityOrLnaCheck;
    const int32_t diversityState = window.controlState(diversityId);
    if (!holdsNumber(levelText) || level < 0 || level > 31) {
        errorCode = errors::InvalidAudioLevel;
        return;
    }
    std::string command = "L";
    if (level < 10) {
        command += "0";
    }
    command += formatInteger(level);
    command += "D";
    command += formatInteger(diversityState);
    if (generation == 3) {
        command += "P";
        command += formatInteger(window.controlState(ids::DiversityOrLnaCheck));
    }
    sendPaced(line, command, pause);
}

}  // namespace

void checkChannel(int channel, int32_t channelCode, Window& window, int32_t& errorCode) {
    const std::string text = window.controlText(ids::ChannelField1 + channel - 1);
    if (parseInteger(leftPart(text, 2)) != 13) {
        errorCode = errors::InvalidFrequency;
    }
    if (channelCode < 4000 || channelCode > 8990) {
        errorCode = errors::InvalidFrequency;
    }
}

void writeSettings(Line& line, const DeviceSettings& settings, Window& window, int32_t& errorCode) {
    window.stopTraceTimer();
    const int generation = firmwareGeneration(settings[firmwareCode]);
    const bool session = generation == 2 || generation == 3;
    const int32_t pause = session ? kFastPaceMs : kSlowPaceMs;

    if (session) {
        sendCommand(line, "E");
        sendCommand(line, "0");
        sendAudioSettings(line, window, errorCode, generation, pause);
    }

    for (int n = 1; n <= 6; ++n) {
        const int32_t channelCode =
            storeChannelCode(window.controlText(ids::ChannelField1 + n - 1));
        checkChannel(n, channelCode, window, errorCode);
        // Once any check has failed, no later channel is sent: the receiver keeps its own.
        if (errorCode == 0) {
            std::string command = "C";
            command += formatInteger(n);
            command += formatInteger(channelCode);
            sendPaced(line, command, pause);
        }
    }

    // The threshold goes whatever happened above, when it is valid itself.
    const std::string thresholdText = window.controlText(ids::ThresholdField);
    const int32_t thresholdValue = low32(parseInteger(thresholdText));
    if (!holdsNumber(thresholdText) || thresholdValue > 99) {
        errorCode = errors::InvalidThreshold;
    } else {
        std::string command = "T";
        command += formatInteger(thresholdValue);
        sendPaced(line, command, pause);
    }

    // The receiver always sees the session closed that it saw opened.
    if (session) {
        sendCommand(line, "E");
        sendCommand(line, "1");
    }
}

}  // namespace tamlo

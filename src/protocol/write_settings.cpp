#include "protocol/write_settings.h"

#include "protocol/generation.h"
#include "protocol/settings.h"
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

// A number that does not fit in 32 bits would wrap into range ("4294967346" into 50): it
// is refused like any other value out of range, not sent as something the user never typed.
bool holdsValue(std::string_view text) {
    return holdsNumber(text) && integerFits32(text);
}

// The one conversation, run with a line or, for the checks alone, without one.
class Store {
  public:
    Store(Line* line, int32_t firmwareCode) : line_(line), traits_(firmwareTraits(firmwareCode)) {}

    StoreResult run(const StoreValues& values) {
        if (traits_.writeSession) {
            command("E");
            command("0");
        }
        if (traits_.audioCommand && values.audioLevel) {
            sendAudio(*values.audioLevel, values.diversity, values.lnaSupply);
        }
        for (int n = 1; n <= 6; ++n) {
            const std::string& text = values.channels[static_cast<size_t>(n - 1)];
            const int32_t channelCode = storeChannelCode(text);
            if (!channelPasses(text, channelCode)) {
                fail(Outcome::InvalidFrequency, n);
            }
            // Once any check has failed, no later channel is sent: the receiver keeps its own.
            if (result_.failures.empty()) {
                paced("C" + formatInteger(n) + formatInteger(channelCode));
            }
        }
        // The threshold goes whatever happened above, when it is valid itself.
        const int32_t thresholdValue = low32(parseInteger(values.threshold));
        if (!holdsValue(values.threshold) || !thresholdInRange(thresholdValue)) {
            fail(Outcome::InvalidThreshold);
        } else {
            paced("T" + formatInteger(thresholdValue));
        }
        // The receiver always sees the session closed that it saw opened.
        if (traits_.writeSession) {
            command("E");
            command("1");
        }
        return std::move(result_);
    }

  private:
    // "L" and the level as two digits, then the switches as 0 or 1.
    void sendAudio(const std::string& levelText, int32_t diversityState, int32_t lnaState) {
        const int32_t level = low32(parseInteger(levelText));
        if (!holdsValue(levelText) || !audioLevelInRange(level)) {
            fail(Outcome::InvalidAudioLevel);
            return;
        }
        std::string text = "L";
        if (level < 10) {
            text += "0";
        }
        text += formatInteger(level);
        text += "D" + formatInteger(diversityState != 0 ? 1 : 0);
        if (traits_.lnaCommand) {
            text += "P" + formatInteger(lnaState != 0 ? 1 : 0);
        }
        paced(text);
    }

    void fail(Outcome outcome, int channel = 0) { result_.failures.push_back({outcome, channel}); }
    void command(std::string_view letter) {
        if (line_) {
            sendCommand(*line_, letter);
        }
    }
    void paced(const std::string& text) {
        if (line_) {
            sendPaced(*line_, text, traits_.paceMs);
        }
    }

    Line* line_;
    const GenerationTraits& traits_;
    StoreResult result_;
};

}  // namespace

bool channelPasses(std::string_view channelText, int32_t channelCode) {
    // Both tests always run; either failing refuses the channel.
    const bool beginsWith13 = parseInteger(leftPart(channelText, 2)) == 13;
    const bool inRange = channelCode >= 4000 && channelCode <= 8990;
    return beginsWith13 && inRange;
}

StoreResult checkStore(int32_t firmwareCode, const StoreValues& values) {
    return Store(nullptr, firmwareCode).run(values);
}

StoreResult writeSettings(Line& line, int32_t firmwareCode, const StoreValues& values) {
    return Store(&line, firmwareCode).run(values);
}

}  // namespace tamlo

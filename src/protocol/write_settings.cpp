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

// The one conversation, written down step by step; a check that fails is noted where the
// conversation makes it.
class Planner {
  public:
    explicit Planner(int32_t firmwareCode) : traits_(firmwareTraits(firmwareCode)) {}

    StoreScript plan(const StoreValues& values) {
        if (traits_.writeSession) {
            pair("0", "the opening pair");
        }
        if (traits_.audioCommand && values.audioLevel) {
            planAudio(*values.audioLevel, values.diversity, values.lnaSupply);
        }
        for (int n = 1; n <= 6; ++n) {
            const std::string& text = values.channels[static_cast<size_t>(n - 1)];
            const int32_t channelCode = storeChannelCode(text);
            if (!channelPasses(text, channelCode)) {
                fail(Outcome::InvalidFrequency, n);
            }
            // Once any check has failed, no later channel is sent: the receiver keeps its own.
            if (script_.result.failures.empty()) {
                paced("C" + formatInteger(n) + formatInteger(channelCode),
                      "channel " + formatInteger(n));
            }
        }
        // The threshold goes whatever happened above, when it is valid itself.
        const int32_t thresholdValue = low32(parseInteger(values.threshold));
        if (!holdsValue(values.threshold) || thresholdValue > traits_.highestThreshold) {
            fail(Outcome::InvalidThreshold);
        } else {
            paced("T" + formatInteger(thresholdValue), "the threshold");
        }
        // The receiver always sees the session closed that it saw opened.
        if (traits_.writeSession) {
            pair("1", "the closing pair");
        }
        return std::move(script_);
    }

  private:
    // "L" and the level as two digits, then the switches as 0 or 1.
    void planAudio(const std::string& levelText, int32_t diversityState, int32_t lnaState) {
        const int32_t level = low32(parseInteger(levelText));
        if (!holdsValue(levelText) || !traits_.audioLevels.holds(level)) {
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
        paced(text, "the audio command");
    }

    void fail(Outcome outcome, int channel = 0) {
        script_.result.failures.push_back({outcome, channel});
    }
    // "E" and a digit, each a command of its own.
    void pair(std::string digit, std::string what) {
        script_.steps.push_back({false, "E", 0, ""});
        script_.steps.push_back({false, std::move(digit), 0, std::move(what)});
    }
    void paced(std::string text, std::string what) {
        script_.steps.push_back({true, std::move(text), traits_.paceMs, std::move(what)});
    }

    const GenerationTraits& traits_;
    StoreScript script_;
};

}  // namespace

bool channelPasses(std::string_view channelText, int32_t channelCode) {
    // Both tests always run; either failing refuses the channel.
    const bool beginsWith13 = parseInteger(leftPart(channelText, 2)) == 13;
    const bool inRange = kChannelCodes.holds(channelCode);
    return beginsWith13 && inRange;
}

int32_t StoreScript::nominalMs() const {
    int64_t total = 0;
    for (const StoreStep& step : steps) {
        total += step.paced ? int64_t{step.pauseMs} * static_cast<int64_t>(step.text.size())
                            : kCommandPauseMs;
    }
    return low32(total);
}

int64_t StoreScript::bytes() const {
    int64_t total = 0;
    for (const StoreStep& step : steps) {
        total += step.paced ? static_cast<int64_t>(step.text.size()) : 1;
    }
    return total;
}

std::string StoreScript::lastWholeStep(int64_t sent) const {
    std::string last;
    int64_t through = 0;
    for (const StoreStep& step : steps) {
        through += step.paced ? static_cast<int64_t>(step.text.size()) : 1;
        if (through > sent) {
            break;
        }
        if (!step.what.empty()) {
            last = step.what;
        }
    }
    return last;
}

StoreScript planStore(int32_t firmwareCode, const StoreValues& values) {
    return Planner(firmwareCode).plan(values);
}

void runStore(Line& line, const StoreScript& script) {
    for (const StoreStep& step : script.steps) {
        if (step.paced) {
            sendPaced(line, step.text, step.pauseMs);
        } else {
            sendCommand(line, step.text);
        }
    }
}

StoreResult checkStore(int32_t firmwareCode, const StoreValues& values) {
    return planStore(firmwareCode, values).result;
}

StoreResult writeSettings(Line& line, int32_t firmwareCode, const StoreValues& values) {
    const StoreScript script = planStore(firmwareCode, values);
    runStore(line, script);
    return script.result;
}

}  // namespace tamlo

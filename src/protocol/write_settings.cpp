#include "protocol/write_settings.h"

#include "serial/exchange.h"
#include "text/conversions.h"

namespace tamlo {

namespace {

// The one conversation, written down step by step.
class Planner {
  public:
    explicit Planner(const GenerationTraits& traits) : traits_(traits) {}

    StoreScript plan(const StoreRequest& request) {
        check(request);
        if (!script_.result.failures.empty()) {
            return std::move(script_);
        }
        if (traits_.writeSession) {
            pair("0", "the opening pair");
        }
        if (traits_.audioCommand && request.audioLevel) {
            planAudio(*request.audioLevel, request.diversity, request.lnaSupply);
        }
        for (int n = 1; n <= 6; ++n) {
            if (const auto& code = request.channelCodes[static_cast<size_t>(n - 1)]) {
                paced("C" + formatInteger(n) + formatInteger(*code), "channel " + formatInteger(n));
            }
        }
        if (request.threshold) {
            paced("T" + formatInteger(*request.threshold), "the threshold");
        }
        // The receiver always sees the session closed that it saw opened.
        if (traits_.writeSession) {
            pair("1", "the closing pair");
        }
        return std::move(script_);
    }

  private:
    // In the order of the conversation: the audio level, the channels, the threshold.
    void check(const StoreRequest& request) {
        if (traits_.audioCommand && request.audioLevel &&
            !takesAudioLevel(traits_, *request.audioLevel)) {
            fail(Outcome::InvalidAudioLevel);
        }
        for (int n = 1; n <= 6; ++n) {
            const auto& code = request.channelCodes[static_cast<size_t>(n - 1)];
            if (code && !takesChannelCode(*code)) {
                fail(Outcome::InvalidFrequency, n);
            }
        }
        if (request.threshold && !takesThreshold(traits_, *request.threshold)) {
            fail(Outcome::InvalidThreshold);
        }
    }

    // "L" and the level as two digits, then the switches as 0 or 1.
    void planAudio(int32_t level, bool diversityOn, bool lnaOn) {
        std::string text = "L";
        if (level < 10) {
            text += "0";
        }
        text += formatInteger(level);
        text += "D" + formatInteger(diversityOn ? 1 : 0);
        if (traits_.lnaCommand) {
            text += "P" + formatInteger(lnaOn ? 1 : 0);
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

bool takesChannelCode(int32_t channelCode) {
    return kChannelCodes.holds(channelCode);
}

bool takesThreshold(const GenerationTraits& traits, int32_t threshold) {
    return threshold <= traits.highestThreshold;
}

bool takesAudioLevel(const GenerationTraits& traits, int32_t level) {
    return traits.audioLevels.holds(level);
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

StoreScript planStore(const GenerationTraits& traits, const StoreRequest& request) {
    return Planner(traits).plan(request);
}

}  // namespace tamlo

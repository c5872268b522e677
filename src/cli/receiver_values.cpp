#include "cli/receiver_values.h"

#include "protocol/generation.h"
#include "protocol/read_back.h"
#include "serial/exchange.h"
#include "text/conversions.h"

namespace tamlo::cli {

namespace {

// "138.500": the form's channel text without its unit.
std::string channelNumber(int32_t channelFreq) {
    std::string text = formatChannelText(channelFreq);
    const std::string unit = " MHz";
    if (text.size() > unit.size() &&
        text.compare(text.size() - unit.size(), unit.size(), unit) == 0) {
        text.resize(text.size() - unit.size());
    }
    return text;
}

std::string onOff(bool on) {
    return on ? "on" : "off";
}

}  // namespace

std::string firmwareName(const std::string& versionReply) {
    return leftPart(versionReply, 4);
}

SettingsFile fileFromSettings(const DeviceSettings& settings, int generation) {
    const GenerationTraits& traits = generationTraits(generation);
    SettingsFile file;
    for (int n = 1; n <= 6; ++n) {
        file.channels[static_cast<size_t>(n - 1)] = channelNumber(settings.channel(n));
    }
    file.threshold = settings[threshold];
    if (traits.audioCommand) {
        file.audioLevel = settings[audioLevel];
        file.diversity = settings[diversity] != 0;
    }
    if (traits.lnaCommand) {
        file.lnaSupply = lnaSupplyOn(settings[lnaSupply]);
    }
    return file;
}

std::string Difference::change() const {
    return field + ": " + read + " -> " + asked + unit;
}

std::string Difference::mismatch() const {
    return field + ": asked " + asked + unit + ", read " + read + unit;
}

std::vector<Difference> differences(const SettingsFile& file, int generation,
                                    const DeviceSettings& read) {
    const GenerationTraits& traits = generationTraits(generation);
    std::vector<Difference> out;
    for (int n = 1; n <= 6; ++n) {
        const auto& text = file.channels[static_cast<size_t>(n - 1)];
        if (!text) {
            continue;
        }
        const int32_t code = storeChannelCode(*text);
        if (!channelReadsBackAs(code, read.channel(n))) {
            out.push_back({"channel " + formatInteger(n), channelNumber(read.channel(n)),
                           channelNumber(code / 10), " MHz"});
        }
    }
    if (file.threshold && *file.threshold != read[threshold]) {
        out.push_back(
            {"threshold", formatInteger(read[threshold]), formatInteger(*file.threshold), ""});
    }
    if (traits.audioCommand) {
        if (file.audioLevel && *file.audioLevel != read[audioLevel]) {
            out.push_back({"audio level", formatInteger(read[audioLevel]),
                           formatInteger(*file.audioLevel), ""});
        }
        if (file.diversity && *file.diversity != (read[diversity] != 0)) {
            out.push_back({"diversity", onOff(read[diversity] != 0), onOff(*file.diversity), ""});
        }
    }
    if (traits.lnaCommand && file.lnaSupply && *file.lnaSupply != lnaSupplyOn(read[lnaSupply])) {
        out.push_back(
            {"LNA supply", onOff(lnaSupplyOn(read[lnaSupply])), onOff(*file.lnaSupply), ""});
    }
    return out;
}

std::vector<std::string> unsupportedKeys(const SettingsFile& file, int generation) {
    const GenerationTraits& traits = generationTraits(generation);
    std::vector<std::string> keys;
    if (!traits.audioCommand) {
        if (file.audioLevel) {
            keys.emplace_back(kAudioLevelKey);
        }
        if (file.diversity) {
            keys.emplace_back(kDiversityKey);
        }
    }
    if (!traits.lnaCommand && file.lnaSupply) {
        keys.emplace_back(kLnaSupplyKey);
    }
    return keys;
}

StorePlan planStore(const SettingsFile& file, int generation, const DeviceSettings* current) {
    const GenerationTraits& traits = generationTraits(generation);
    StorePlan plan;
    for (int n = 1; n <= 6; ++n) {
        const auto& text = file.channels[static_cast<size_t>(n - 1)];
        if (text) {
            plan.values.channels[static_cast<size_t>(n - 1)] = *text;
        } else if (current != nullptr) {
            plan.values.channels[static_cast<size_t>(n - 1)] =
                formatChannelText(current->channel(n));
        } else {
            plan.missing.emplace_back(kChannelKeys[n - 1]);
        }
    }
    if (file.threshold) {
        plan.values.threshold = formatInteger(*file.threshold);
    } else if (current != nullptr) {
        plan.values.threshold = formatInteger((*current)[threshold]);
    } else {
        plan.missing.emplace_back(kThresholdKey);
    }
    if (traits.audioCommand) {
        if (file.audioLevel) {
            plan.values.audioLevel = formatInteger(*file.audioLevel);
        } else if (current != nullptr) {
            plan.values.audioLevel = formatInteger((*current)[audioLevel]);
        } else {
            plan.missing.emplace_back(kAudioLevelKey);
        }
        if (file.diversity) {
            plan.values.diversity = *file.diversity ? 1 : 0;
        } else if (current != nullptr) {
            plan.values.diversity = (*current)[diversity] != 0 ? 1 : 0;
        } else {
            plan.missing.emplace_back(kDiversityKey);
        }
    }
    if (traits.lnaCommand) {
        if (file.lnaSupply) {
            plan.values.lnaSupply = *file.lnaSupply ? 1 : 0;
        } else if (current != nullptr) {
            plan.values.lnaSupply = lnaSupplyOn((*current)[lnaSupply]) ? 1 : 0;
        } else {
            plan.missing.emplace_back(kLnaSupplyKey);
        }
    }
    return plan;
}

int32_t storeNominalMs(int generation, const StoreValues& values) {
    const GenerationTraits& traits = generationTraits(generation);
    int64_t characters = 0;
    if (traits.audioCommand && values.audioLevel) {
        characters += 5 + (traits.lnaCommand ? 2 : 0);  // L, two digits, D, digit (P, digit)
    }
    for (size_t n = 0; n < 6; ++n) {
        characters += 2 + textLength(formatInteger(storeChannelCode(values.channels[n])));
    }
    characters += 1 + textLength(formatInteger(parseInteger(values.threshold)));
    const int64_t session = traits.writeSession ? 4 * kCommandPauseMs : 0;
    return static_cast<int32_t>(session + characters * traits.paceMs);
}

}  // namespace tamlo::cli

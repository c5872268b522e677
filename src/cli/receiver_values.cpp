#include "cli/receiver_values.h"

#include <algorithm>
#include <climits>

#include "files/setting_keys.h"
#include "text/conversions.h"

namespace tamlo::cli {

namespace {

// 10 kHz steps as the receiver reports them, as 1 kHz steps. A value no receiver holds stays
// out of range instead of wrapping into it.
int32_t codeOfChannelFreq(int32_t channelFreq) {
    const int64_t code = int64_t{channelFreq} * 10;
    return static_cast<int32_t>(std::clamp<int64_t>(code, INT32_MIN, INT32_MAX));
}

std::string onOff(bool on) {
    return on ? "on" : "off";
}

std::string keyName(KeyKind kind) {
    for (const SettingKey& key : settingKeys()) {
        if (key.kind == kind) {
            return std::string(key.name);
        }
    }
    return {};
}

}  // namespace

std::string firmwareName(const std::string& versionReply) {
    return leftPart(versionReply, 4);
}

SettingsFile fileFromSettings(const DeviceSettings& settings, const GenerationTraits& traits,
                              const SettingsRead& read) {
    SettingsFile file;
    for (int n = 1; n <= 6; ++n) {
        file.channelCodes[static_cast<size_t>(n - 1)] = codeOfChannelFreq(settings.channel(n));
    }
    file.threshold = thresholdAsWritten(traits, settings[threshold]);
    if (traits.audioCommand && hexBlockHolds(read, kHexAudioLevelByte)) {
        file.audioLevel = settings[audioLevel];
    }
    if (traits.audioCommand && hexBlockHolds(read, kHexDiversityByte)) {
        file.diversity = settings[diversity] != 0;
    }
    if (traits.lnaCommand && hexBlockHolds(read, kHexLnaByte)) {
        file.lnaSupply = lnaSupplyOn(settings[lnaSupply]);
    }
    return file;
}

std::vector<std::string> unrestorableValues(const SettingsFile& file) {
    std::vector<std::string> warnings;
    const std::string consequence = ": a write of this backup would be refused";
    for (int n = 1; n <= 6; ++n) {
        const auto& code = file.channelCodes[static_cast<size_t>(n - 1)];
        if (code && !kChannelCodes.holds(*code)) {
            warnings.push_back("channel " + formatInteger(n) + " reads " + channelCodeText(*code) +
                               " MHz, outside " + channelCodeText(kChannelCodes.low) + " to " +
                               channelCodeText(kChannelCodes.high) + " MHz" + consequence);
        }
    }
    if (file.threshold && !thresholdProblem(*file.threshold).empty()) {
        warnings.push_back("the threshold reads " + formatInteger(*file.threshold) + consequence);
    }
    if (file.audioLevel && !audioLevelProblem(*file.audioLevel).empty()) {
        warnings.push_back("the audio level reads " + formatInteger(*file.audioLevel) +
                           consequence);
    }
    return warnings;
}

std::string Difference::change() const {
    return field + ": " + read + " -> " + asked + unit;
}

std::string Difference::mismatch() const {
    return field + ": asked " + asked + unit + ", read " + read + unit;
}

std::vector<Difference> differences(const StoreRequest& request, const GenerationTraits& traits,
                                    const DeviceSettings& readBack,
                                    const std::vector<SettingField>& fields) {
    std::vector<Difference> out;
    const SentSettings sent = sentByStore(traits, request);
    for (const SettingField field : fields) {
        switch (field) {
            case SettingField::Threshold:
                out.push_back({"threshold",
                               formatInteger(thresholdAsWritten(traits, readBack[threshold])),
                               formatInteger(*sent.threshold), ""});
                break;
            case SettingField::AudioLevel:
                out.push_back({"audio level", formatInteger(readBack[audioLevel]),
                               formatInteger(*sent.audioLevel), ""});
                break;
            case SettingField::Diversity:
                out.push_back(
                    {"diversity", onOff(readBack[diversity] != 0), onOff(*sent.diversity), ""});
                break;
            case SettingField::LnaSupply:
                out.push_back({"LNA supply", onOff(lnaSupplyOn(readBack[lnaSupply])),
                               onOff(*sent.lnaSupply), ""});
                break;
            default: {
                const int n = static_cast<int>(field) + 1;
                out.push_back({"channel " + formatInteger(n),
                               channelCodeText(codeOfChannelFreq(readBack.channel(n))),
                               channelCodeText(*sent.channelCodes[static_cast<size_t>(n - 1)]),
                               " MHz"});
                break;
            }
        }
    }
    return out;
}

std::vector<Difference> differences(const StoreRequest& request, const GenerationTraits& traits,
                                    const DeviceSettings& readBack, const SettingsRead& read) {
    return differences(request, traits, readBack,
                       readBackDifferences(traits, sentByStore(traits, request), readBack, read));
}

std::vector<std::string> unsupportedKeys(const SettingsFile& file, const GenerationTraits& traits) {
    std::vector<std::string> keys;
    if (!traits.audioCommand) {
        if (file.audioLevel) {
            keys.push_back(keyName(KeyKind::AudioLevel));
        }
        if (file.diversity) {
            keys.emplace_back("diversity");
        }
    }
    if (!traits.lnaCommand && file.lnaSupply) {
        keys.emplace_back("lna_supply");
    }
    return keys;
}

std::vector<std::string> valuesBeyondGeneration(const SettingsFile& file,
                                                const GenerationTraits& traits) {
    std::vector<std::string> problems;
    const IntegerRange& range = traits.thresholdReadBack;
    if (file.threshold && !range.holds(*file.threshold)) {
        problems.push_back(
            "threshold " + formatInteger(*file.threshold) + ": generation " +
            formatInteger(traits.number) +
            (traits.textBlock ? " reports it in six characters" : " reports it as one byte") +
            ", so only " + formatInteger(range.low) + " to " + formatInteger(range.high) +
            " reads back as written");
    }
    return problems;
}

StoreInput storeInputFor(const SettingsFile& file, const GenerationTraits& traits,
                         const DeviceSettings* current) {
    StoreInput input;
    StoreRequest& request = input.request;
    // The file's numbers were checked as it was read, and judged against the generation
    // before anything is written: they fit in 32 bits.
    for (int n = 1; n <= 6; ++n) {
        auto& code = request.channelCodes[static_cast<size_t>(n - 1)];
        if (const auto& asked = file.channelCodes[static_cast<size_t>(n - 1)]) {
            code = *asked;
        } else if (current != nullptr) {
            code = codeOfChannelFreq(current->channel(n));
        } else {
            input.missing.push_back("channel" + formatInteger(n));
        }
    }
    if (file.threshold) {
        request.threshold = low32(*file.threshold);
    } else if (current != nullptr) {
        request.threshold = thresholdAsWritten(traits, (*current)[threshold]);
    } else {
        input.missing.push_back(keyName(KeyKind::Threshold));
    }
    if (traits.audioCommand) {
        if (file.audioLevel) {
            request.audioLevel = low32(*file.audioLevel);
        } else if (current != nullptr) {
            request.audioLevel = (*current)[audioLevel];
        } else {
            input.missing.push_back(keyName(KeyKind::AudioLevel));
        }
        if (file.diversity) {
            request.diversity = *file.diversity;
        } else if (current != nullptr) {
            request.diversity = (*current)[diversity] != 0;
        } else {
            input.missing.emplace_back("diversity");
        }
    }
    if (traits.lnaCommand) {
        if (file.lnaSupply) {
            request.lnaSupply = *file.lnaSupply;
        } else if (current != nullptr) {
            request.lnaSupply = lnaSupplyOn((*current)[lnaSupply]);
        } else {
            input.missing.emplace_back("lna_supply");
        }
    }
    return input;
}

FileComparison compareFiles(const SettingsFile& from, const SettingsFile& to) {
    const int generation = from.source && from.source->generation != 0 ? from.source->generation
                           : to.source                                 ? to.source->generation
                                                                       : 0;
    GenerationTraits traits = generationTraits(generation == 0 ? 3 : generation);
    if (generation == 0) {
        // No block says how the threshold reads back; a file's threshold fits the text
        // block's six characters, so compared that way it is compared whole.
        traits.textBlock = true;
    }
    FileComparison result;
    for (const std::string& key : unsupportedKeys(to, traits)) {
        result.notCompared.push_back(key);
        result.warnings.push_back("generation " + formatInteger(traits.number) +
                                  " has no control for '" + key + "': not compared");
    }
    // A receiver holding from's values, read back whole.
    DeviceSettings held;
    SettingsFile asked = to;
    if (!traits.audioCommand) {
        asked.audioLevel.reset();
        asked.diversity.reset();
    }
    if (!traits.lnaCommand) {
        asked.lnaSupply.reset();
    }
    for (int n = 1; n <= 6; ++n) {
        auto& code = asked.channelCodes[static_cast<size_t>(n - 1)];
        if (const auto& have = from.channelCodes[static_cast<size_t>(n - 1)]) {
            held.channel(n) = *have / 10;
        } else if (code) {
            result.differences.push_back(
                {"channel " + formatInteger(n), "not set", channelCodeText(*code), " MHz"});
            code.reset();
        }
    }
    const auto notSet = [&](auto& value, const auto& have, const char* field, auto shown) {
        if (value && !have) {
            result.differences.push_back({field, "not set", shown(*value), ""});
            value.reset();
        }
    };
    notSet(asked.threshold, from.threshold, "threshold", formatInteger);
    notSet(asked.audioLevel, from.audioLevel, "audio level", formatInteger);
    notSet(asked.diversity, from.diversity, "diversity", onOff);
    notSet(asked.lnaSupply, from.lnaSupply, "LNA supply", onOff);
    held[threshold] = thresholdReadBack(traits, low32(from.threshold.value_or(0)));
    held[audioLevel] = low32(from.audioLevel.value_or(0));
    held[diversity] = from.diversity.value_or(false) ? 1 : 0;
    held[lnaSupply] = from.lnaSupply.value_or(false) ? kLnaOnAbove + 1 : 0;
    SettingsRead whole;
    whole.hex = BlockReply{BlockOutcome::Accepted, hexByteEnd(kHexLnaByte)};
    // What apply would send: the values held stand where asked is silent, and read back as
    // themselves.
    const StoreRequest request = storeInputFor(asked, traits, &held).request;
    for (Difference& d : differences(request, traits, held, whole)) {
        result.differences.push_back(std::move(d));
    }
    return result;
}

}  // namespace tamlo::cli

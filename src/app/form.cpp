#include "app/form.h"

#include <chrono>

#include "app/error_table.h"
#include "files/store_file.h"
#include "protocol/generation.h"
#include "protocol/read_settings.h"
#include "text/conversions.h"

namespace tamlo {

namespace {

void createGenerationControl(Window& window, int id, int generation) {
    if (const ControlSpec* item = generationControl(id, generation)) {
        window.createControl(*item);
    }
}

// After an accepted block: the field and the check boxes, then their values.
void showAudioControls(Window& window, const DeviceSettings& settings, int generation) {
    const GenerationForm& form = generationForm(generation);
    createGenerationControl(window, ids::AudioLevelField, generation);
    createGenerationControl(window, ids::DiversityOrLnaCheck, generation);
    createGenerationControl(window, ids::DiversityCheck3, generation);
    window.setControlText(ids::AudioLevelField, formatInteger(settings[audioLevel]));
    window.setControlState(form.diversityCheck, settings[diversity]);
    if (form.lnaCheck != 0) {
        window.setControlState(form.lnaCheck, lnaSupplyOn(settings[lnaSupply]) ? 1 : 0);
    }
}

}  // namespace

std::string firmwareStatusText(const FirmwareIdentity& identity) {
    std::string status = "TamloX, firmware version " + leftPart(identity.reply, 4);
    if (firmwareTraits(identity.firmwareCode).buildStamp) {
        status += "   " + rightPart(identity.reply, 9);
    }
    return status;
}

void identifyIntoForm(Line& line, ProcessState& state, Window& window) {
    const FirmwareIdentity identity = identifyFirmware(line);
    state.settings[firmwareCode] = identity.firmwareCode;
    state.versionReply = identity.reply;
    state.loadedAt = isoTimeUtc(std::chrono::system_clock::now());
    window.setStatusText(firmwareStatusText(identity));
}

FormReaction::FormReaction(ProcessState& state, Window& window)
    : state_(state), window_(window), traits_(firmwareTraits(state.settings[firmwareCode])) {}

void FormReaction::blockRequested(SettingsBlock block) {
    if (block == SettingsBlock::Hex) {
        createGenerationControl(window_, ids::AudioLevelFrame, traits_.number);
        createGenerationControl(window_, ids::AudioLevelLabel, traits_.number);
    }
}

void FormReaction::blockAnswered(SettingsBlock block, const BlockReply& reply,
                                 const DeviceSettings& settings) {
    if (!reply.accepted()) {
        state_.errorCode = errors::CommunicationError;
    } else if (block == SettingsBlock::Hex) {
        showAudioControls(window_, settings, traits_.number);
        state_.audioControlsGeneration = traits_.number;
    }
    if (block == SettingsBlock::Hex && traits_.lowersTrace) {
        // The graph of these generations sits lower, whether or not the block arrived.
        state_.traceOffset = kLoweredTraceOffset;
    }
}

void showSettingsInForm(const ProcessState& state, Window& window) {
    if (state.errorCode == errors::CommunicationError) {
        return;
    }
    for (int n = 1; n <= 6; ++n) {
        window.setControlText(ids::ChannelField1 + n - 1,
                              formatChannelText(state.settings.channel(n)));
    }
    window.setControlText(ids::ThresholdField, formatInteger(state.settings[threshold]));
}

SettingsRead readSettingsIntoForm(Line& line, ProcessState& state, Window& window) {
    FormReaction reaction(state, window);
    const SettingsRead read = readSettings(line, state.settings, &reaction);
    showSettingsInForm(state, window);
    return read;
}

FormStore storeOfFields(const GenerationTraits& traits, const FormFields& fields) {
    FormStore store;
    std::vector<StoreFailure>& failures = store.result.failures;
    if (traits.audioCommand && fields.audioLevel) {
        const std::optional<int32_t> level = integerValue32(*fields.audioLevel);
        if (level && takesAudioLevel(traits, *level)) {
            store.request.audioLevel = level;
            store.request.diversity = fields.diversity != 0;
            store.request.lnaSupply = fields.lnaSupply != 0;
        } else {
            failures.push_back({Outcome::InvalidAudioLevel, 0});
        }
    }
    for (int n = 1; n <= 6; ++n) {
        const std::string& text = fields.channels[static_cast<size_t>(n - 1)];
        const int32_t code = storeChannelCode(text);
        // Both tests always run; either failing refuses the channel. All 64 bits of the
        // first two characters' number are compared: a blank or a sign before "13" fails.
        const bool beginsWith13 = parseInteger(leftPart(text, 2)) == 13;
        if (!beginsWith13 || !takesChannelCode(code)) {
            failures.push_back({Outcome::InvalidFrequency, n});
        } else if (failures.empty()) {
            // After a failed check the receiver keeps its own channels.
            store.request.channelCodes[static_cast<size_t>(n - 1)] = code;
        }
    }
    const std::optional<int32_t> thresholdValue = integerValue32(fields.threshold);
    if (thresholdValue && takesThreshold(traits, *thresholdValue)) {
        store.request.threshold = thresholdValue;
    } else {
        // An empty field is no zero: it would overwrite the receiver's threshold with
        // something the user never entered. A number that wraps into range is refused too.
        failures.push_back({Outcome::InvalidThreshold, 0});
    }
    return store;
}

FormFields readFormFields(Window& window, const ProcessState& state) {
    const int generation = firmwareGeneration(state.settings[firmwareCode]);
    const GenerationForm& form = generationForm(generation);
    FormFields fields;
    for (int n = 1; n <= 6; ++n) {
        fields.channels[static_cast<size_t>(n - 1)] =
            window.controlText(ids::ChannelField1 + n - 1);
    }
    fields.threshold = window.controlText(ids::ThresholdField);
    // Before a settings block of this generation has been accepted the user has seen no
    // level and no switches of this receiver: a field left from another generation shows
    // another receiver's values, and its check box 42 means something else there.
    if (state.audioControlsGeneration == generation && window.hasControl(ids::AudioLevelField)) {
        fields.audioLevel = window.controlText(ids::AudioLevelField);
    }
    if (form.diversityCheck != 0) {
        fields.diversity = window.controlState(form.diversityCheck);
    }
    if (form.lnaCheck != 0) {
        fields.lnaSupply = window.controlState(form.lnaCheck);
    }
    return fields;
}

FormStore readStoreForm(Window& window, const ProcessState& state) {
    return storeOfFields(firmwareTraits(state.settings[firmwareCode]),
                         readFormFields(window, state));
}

}  // namespace tamlo

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

SettingsRead readSettingsIntoForm(Line& line, ProcessState& state, Window& window) {
    // The form reacts to the read as it goes: the audio frame and label before "X" goes out,
    // the field and check boxes once the block was accepted.
    class FormReaction final : public SettingsReadObserver {
      public:
        FormReaction(ProcessState& state, Window& window)
            : state_(state),
              window_(window),
              traits_(firmwareTraits(state.settings[firmwareCode])) {}

        void blockRequested(SettingsBlock block) override {
            if (block == SettingsBlock::Hex) {
                createGenerationControl(window_, ids::AudioLevelFrame, traits_.number);
                createGenerationControl(window_, ids::AudioLevelLabel, traits_.number);
            }
        }
        void blockAnswered(SettingsBlock block, const BlockReply& reply,
                           const DeviceSettings& settings) override {
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

      private:
        ProcessState& state_;
        Window& window_;
        const GenerationTraits& traits_;
    };

    FormReaction reaction(state, window);
    const SettingsRead read = readSettings(line, state.settings, &reaction);
    // A short reply leaves the form as it was, so the user never sees half a LOAD.
    if (state.errorCode != errors::CommunicationError) {
        for (int n = 1; n <= 6; ++n) {
            window.setControlText(ids::ChannelField1 + n - 1,
                                  formatChannelText(state.settings.channel(n)));
        }
        window.setControlText(ids::ThresholdField, formatInteger(state.settings[threshold]));
    }
    return read;
}

StoreValues readForm(Window& window, const ProcessState& state) {
    const int generation = firmwareGeneration(state.settings[firmwareCode]);
    const GenerationForm& form = generationForm(generation);
    StoreValues values;
    for (int n = 1; n <= 6; ++n) {
        values.channels[static_cast<size_t>(n - 1)] =
            window.controlText(ids::ChannelField1 + n - 1);
    }
    values.threshold = window.controlText(ids::ThresholdField);
    // Before a settings block of this generation has been accepted the user has seen no
    // level and no switches of this receiver: a field left from another generation shows
    // another receiver's values, and its check box 42 means something else there.
    if (state.audioControlsGeneration == generation && window.hasControl(ids::AudioLevelField)) {
        values.audioLevel = window.controlText(ids::AudioLevelField);
    }
    if (form.diversityCheck != 0) {
        values.diversity = window.controlState(form.diversityCheck);
    }
    if (form.lnaCheck != 0) {
        values.lnaSupply = window.controlState(form.lnaCheck);
    }
    return values;
}

}  // namespace tamlo

#include "app/form_files.h"

#include <vector>

#include "app/form.h"
#include "files/backup_origin.h"
#include "files/setting_keys.h"
#include "files/settings_file.h"
#include "files/store_file.h"
#include "protocol/generation.h"
#include "protocol/read_back.h"
#include "protocol/write_settings.h"
#include "text/conversions.h"
#include "ui/control_table.h"

namespace tamlo {

namespace {

// A message box lists this many of a file's errors; the rest are counted.
constexpr size_t kListedErrors = 8;

// The field a failed check is about, by its label: "Channel 3", "Threshold".
std::string fieldName(const StoreFailure& failure) {
    switch (failure.outcome) {
        case Outcome::InvalidFrequency:
            return std::string(accessibleName(ids::ChannelField1 + failure.channel - 1));
        case Outcome::InvalidThreshold:
            return std::string(accessibleName(ids::ThresholdField));
        case Outcome::InvalidAudioLevel:
            return std::string(accessibleName(ids::AudioLevelField));
        case Outcome::ShortReply:
        case Outcome::Ok:
            break;
    }
    return {};
}

// Each field that STORE would refuse, or whose value no settings file holds (a threshold
// below what any generation reads back), with why.
std::vector<std::string> refusedFields(const StoreResult& checks, const SentSettings& sent) {
    std::vector<std::string> refused;
    bool thresholdRefused = false;
    for (const StoreFailure& failure : checks.failures) {
        refused.push_back(fieldName(failure) + ": " + std::string(outcomeText(failure.outcome)));
        thresholdRefused = thresholdRefused || failure.outcome == Outcome::InvalidThreshold;
    }
    if (!thresholdRefused && sent.threshold) {
        if (const std::string problem = thresholdProblem(*sent.threshold); !problem.empty()) {
            refused.push_back(std::string(accessibleName(ids::ThresholdField)) + ": " + problem);
        }
    }
    return refused;
}

std::string joined(const std::vector<std::string>& parts, std::string_view between) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : std::string(between)) + part;
    }
    return text;
}

}  // namespace

void saveForm(Window& window, const ProcessState& state, FileStore& files) {
    const int32_t code = state.settings[firmwareCode];
    const GenerationTraits& traits = firmwareTraits(code);
    const FormStore form = readStoreForm(window, state);
    const SentSettings sent = sentByStore(traits, form.request);
    if (const std::vector<std::string> refused = refusedFields(form.result, sent);
        !refused.empty()) {
        window.showMessage(kMessageCaption, "Nothing was saved:\n" + joined(refused, "\n"));
        return;
    }
    SettingsFile file = fileOfStore(sent);
    if (!state.versionReply.empty()) {
        SourceInfo source;
        source.port = state.loadedPort;
        source.firmware = state.versionReply;
        source.generation = traits.number;
        source.rssi = state.settings[rssi];
        source.readAt = state.loadedAt;
        file.source = source;
    }
    const ChosenFile chosen = window.chooseSettingsFile(FileDialog::Save);
    if (!chosen.chosen()) {
        return;
    }
    const std::string error =
        files.replace(chosen.path, writeSettings(file, formatOfName(chosen.path)));
    if (!error.empty()) {
        window.showMessage(kMessageCaption, chosen.name + " was not saved: " + error);
        return;
    }
    window.setStatusText("Settings saved to " + chosen.name);
}

void openIntoForm(Window& window, const ProcessState& state, FileStore& files,
                  const std::string& adapterSerial) {
    const ChosenFile chosen = window.chooseSettingsFile(FileDialog::Open);
    if (!chosen.chosen()) {
        return;
    }
    const FileText read = files.read(chosen.path, kMaxSettingsFileBytes);
    if (!read.ok()) {
        window.showMessage(kMessageCaption, chosen.name + " was not opened: " + read.error);
        return;
    }
    const FileParse parse = parseSettings(read.text, chosen.name, formatOfName(chosen.path));
    if (!parse.ok()) {
        std::vector<std::string> lines;
        for (size_t i = 0; i < parse.errors.size() && i < kListedErrors; ++i) {
            lines.push_back(parse.errors[i].text());
        }
        if (parse.errors.size() > kListedErrors) {
            lines.push_back(
                "and " + formatInteger(static_cast<int64_t>(parse.errors.size() - kListedErrors)) +
                " more");
        }
        window.showMessage(
            kMessageCaption,
            chosen.name + " was not opened; the form is as it was:\n" + joined(lines, "\n"));
        return;
    }

    const SettingsFile& file = parse.settings;
    for (int n = 1; n <= 6; ++n) {
        if (const auto& channel = file.channelCodes[static_cast<size_t>(n - 1)]) {
            window.setControlText(ids::ChannelField1 + n - 1, channelCodeText(*channel) + " MHz");
        }
    }
    if (file.threshold) {
        window.setControlText(ids::ThresholdField, formatInteger(*file.threshold));
    }
    // The audio controls count as STORE counts them: made for the last LOAD's generation by
    // an accepted settings block.
    const int generation = firmwareGeneration(state.settings[firmwareCode]);
    const GenerationForm& form = generationForm(generation);
    const bool audioShown =
        state.audioControlsGeneration == generation && window.hasControl(ids::AudioLevelField);
    std::vector<std::string> leftOut;
    const auto fill = [&](bool present, int id, std::string_view key, const auto& show) {
        if (!present) {
            return;
        }
        if (audioShown && id != 0) {
            show(id);
        } else {
            leftOut.emplace_back(key);
        }
    };
    fill(file.audioLevel.has_value(), ids::AudioLevelField, "audio_level",
         [&](int id) { window.setControlText(id, formatInteger(*file.audioLevel)); });
    fill(file.diversity.has_value(), form.diversityCheck, "diversity",
         [&](int id) { window.setControlState(id, *file.diversity ? 1 : 0); });
    fill(file.lnaSupply.has_value(), form.lnaCheck, "lna_supply",
         [&](int id) { window.setControlState(id, *file.lnaSupply ? 1 : 0); });
    window.setStatusText("Form holds the values of " + chosen.name + "; STORE writes them");
    // As the command line's write warns: a backup of another receiver, once one was loaded.
    std::vector<std::string> notes;
    if (file.source && !state.versionReply.empty()) {
        notes = otherReceiver(*file.source, generationTraits(generation),
                              leftPart(state.versionReply, 4), adapterSerial);
    }
    if (!leftOut.empty()) {
        notes.push_back("the form of this receiver has no control for " + joined(leftOut, ", ") +
                        "; left out");
    }
    if (!notes.empty()) {
        window.showMessage(kMessageCaption, chosen.name + ": " + joined(notes, "\n"));
    }
}

}  // namespace tamlo

// tamlo get: a receiver's settings as `key = value` lines, all or those named, for a person
// or a script; the values as a settings file writes them.
#include "cli/command_context.h"
#include "cli/receiver_jobs.h"
#include "files/setting_keys.h"
#include "protocol/generation.h"
#include "text/latin1.h"

namespace tamlo::cli {

int commandGet(CommandContext& run, const std::vector<std::string>& ports) {
    const Options& options = run.options();
    if (ports.size() != 1) {
        run.error("get takes one port");
        return kExitUsage;
    }
    for (const std::string& key : options.words) {
        if (findSettingKey(key) == nullptr) {
            const auto nearest = nearestSettingKey(key);
            run.error("unknown setting '" + key + "'" +
                      (nearest ? " (did you mean " + std::string(*nearest) + "?)" : ""));
            return kExitUsage;
        }
    }
    std::vector<PortReport> reports = run.runJob(
        ports,
        [&](Line& line, const std::string& port, PortProgress& progress) {
            return readReceiver(line, port, progress, {});
        },
        false);
    PortReport& report = reports.front();
    std::vector<SettingValue> shown;
    if (report.ok && report.read) {
        const std::vector<SettingValue> values = settingValues(*report.read);
        const std::vector<std::string> wanted =
            options.words.empty() ? std::vector<std::string>() : options.words;
        for (const SettingKey& key : settingKeys()) {
            const bool asked =
                wanted.empty() || std::find(wanted.begin(), wanted.end(), key.name) != wanted.end();
            const auto value =
                std::find_if(values.begin(), values.end(),
                             [&](const SettingValue& v) { return v.key == key.name; });
            if (asked && value != values.end()) {
                shown.push_back(*value);
            } else if (asked && !wanted.empty()) {
                // A generation with the control whose reply did not reach it: nothing was read.
                const GenerationTraits& traits = generationTraits(report.read->source->generation);
                const bool control =
                    (key.kind != KeyKind::AudioLevel && key.kind != KeyKind::Switch) ||
                    (key.name == "lna_supply" ? traits.lnaCommand : traits.audioCommand);
                if (control) {
                    report.fail("the receiver's settings block came back too short to hold '" +
                                std::string(key.name) + "': nothing was read for it");
                    continue;
                }
                const std::string text = "firmware " + report.firmware + " has no control for '" +
                                         std::string(key.name) + "'";
                if (options.strict) {
                    report.fail(text);
                } else {
                    run.note(report.port + ": " + text);
                }
            }
        }
    }
    if (!report.ok) {
        for (const std::string& e : report.errors) {
            run.err() << kProgram << ": " << report.port << ": " << e << "\n";
        }
    }
    if (options.json) {
        // As every command that talks to ports: an array, one object per port.
        nlohmann::ordered_json values;  // null: nothing was read
        if (report.ok) {
            const nlohmann::ordered_json all =
                nlohmann::ordered_json::parse(writeSettingsJson(*report.read))["settings"];
            values = nlohmann::ordered_json::object();
            for (const SettingValue& value : shown) {
                values[std::string(value.key)] = all[std::string(value.key)];
            }
        }
        const nlohmann::ordered_json object = {{"port", bytesAsUtf8(report.port)},
                                               {"firmware", firmwareJson(report)},
                                               {"settings", values},
                                               {"error", portErrorJson(report)}};
        run.out() << jsonText(nlohmann::ordered_json::array({object}), 2) << "\n";
    } else if (report.ok) {
        for (const SettingValue& value : shown) {
            run.out() << value.key << " = " << value.text << "\n";
        }
    }
    return run.status(reports);
}

}  // namespace tamlo::cli

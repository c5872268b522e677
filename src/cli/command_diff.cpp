// tamlo diff: two settings files, or a file and a receiver, compared as apply compares them
// (the one read-back rule: channels in 10 kHz steps). The lines read from the first to the
// second, "channel 3: 136.500 -> 136.750 MHz"; against a receiver, from what it holds to
// what the file asks, as apply would change it. Exit status as diff(1): 0 the same,
// 1 different, 2 trouble.
#include <algorithm>

#include "cli/command_context.h"
#include "cli/receiver_jobs.h"
#include "files/settings_file.h"
#include "text/latin1.h"

namespace tamlo::cli {

namespace {

constexpr int kDiffer = 1;
constexpr int kTrouble = 2;

}  // namespace

int commandDiff(CommandContext& run, const std::vector<std::string>& ports) {
    const Options& options = run.options();
    const std::optional<SettingsFile> first = run.loadSettingsFile(options.file);
    if (!first) {
        return kTrouble;
    }
    std::string from = options.file;
    std::string to = options.other;
    PortReport result;
    // What "equal" leaves unsaid between two files: keys one generation has no control for,
    // and keys the first file has that the second leaves out (apply keeps those as they are).
    std::string unsaid;
    if (!options.other.empty()) {
        const std::optional<SettingsFile> second = run.loadSettingsFile(options.other);
        if (!second) {
            return kTrouble;
        }
        FileComparison comparison = compareFiles(*first, *second);
        std::vector<std::string> onlyFirst;
        const std::vector<SettingValue> secondValues = settingValues(*second);
        for (const SettingValue& value : settingValues(*first)) {
            const bool inSecond =
                std::any_of(secondValues.begin(), secondValues.end(),
                            [&](const SettingValue& v) { return v.key == value.key; });
            if (!inSecond) {
                onlyFirst.emplace_back(value.key);
            }
        }
        const auto listed = [](const std::vector<std::string>& keys) {
            std::string text;
            for (const std::string& key : keys) {
                text += (text.empty() ? "" : ", ") + key;
            }
            return text;
        };
        if (!comparison.notCompared.empty()) {
            unsaid += "; not compared: " + listed(comparison.notCompared);
        }
        if (!onlyFirst.empty()) {
            unsaid += "; only in " + from + ": " + listed(onlyFirst);
        }
        result.differences = std::move(comparison.differences);
        result.warnings = std::move(comparison.warnings);
        for (const std::string& warning : result.warnings) {
            run.note(warning);
        }
    } else {
        if (ports.size() != 1) {
            run.error("diff compares a file with one port");
            return kTrouble;
        }
        from = ports.front();
        to = options.file;
        WorkOptions work;
        work.strict = options.strict;
        work.dryRun = true;
        std::vector<PortReport> reports = run.runJob(
            ports,
            [&](Line& line, const std::string& port, PortProgress& progress) {
                return applyReceiver(line, port, *first, work, progress);
            },
            true);
        result = std::move(reports.front());
        if (run.stopped()) {
            return run.stoppedStatus();
        }
        if (!result.ok) {
            std::string joined;
            for (const std::string& e : result.errors) {
                joined += (joined.empty() ? "" : "; ") + e;
            }
            run.error(result.port + ": " + joined);
            return kTrouble;
        }
    }
    const bool equal = result.differences.empty();
    if (options.json) {
        nlohmann::ordered_json warnings = nlohmann::ordered_json::array();
        for (const std::string& w : result.warnings) {
            warnings.push_back(bytesAsUtf8(w));
        }
        const nlohmann::ordered_json object = {{"from", bytesAsUtf8(from)},
                                               {"to", bytesAsUtf8(to)},
                                               {"equal", equal},
                                               {"differences", differencesJson(result.differences)},
                                               {"warnings", warnings}};
        run.out() << jsonText(object, 2) << "\n";
    } else if (equal) {
        run.out() << from << " and " << to << ": equal" << unsaid << "\n";
    } else {
        const size_t n = result.differences.size();
        run.out() << from << " -> " << to << ": " << n
                  << (n == 1 ? " difference\n" : " differences\n");
        for (const Difference& d : result.differences) {
            run.out() << "  " << d.change() << "\n";
        }
    }
    return equal ? kExitOk : kDiffer;
}

}  // namespace tamlo::cli

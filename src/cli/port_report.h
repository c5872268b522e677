// What became of one receiver in one command, and how it is shown: a line or a few on the
// terminal, or one JSON object.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/receiver_values.h"
#include "files/settings_file.h"

#include <nlohmann/json.hpp>

namespace tamlo::cli {

struct PortReport {
    std::string port;
    bool ok = true;
    bool changed = false;      // apply: something differed (and was written, unless dry-run)
    bool written = false;      // a whole STORE went out
    bool interrupted = false;  // the user asked to stop: what was left undone was skipped
    std::string firmware;      // the version, as "2.05"
    std::string versionReply;  // the whole reply to "V"
    std::vector<Difference> differences;
    std::vector<std::string> warnings;  // "'audio_level' skipped: ..."
    std::vector<std::string> errors;    // empty when ok
    std::optional<SettingsFile> read;   // read: what the receiver holds

    void fail(std::string error) {
        ok = false;
        errors.push_back(std::move(error));
    }
};

// write and apply on a terminal: "rx1: changed, verified" and the changes beneath.
void printWriteReport(std::ostream& out, const PortReport& report, bool apply, bool verify,
                      bool dryRun);
// The differences as apply's JSON gives them: field, from, to, unit, text.
nlohmann::ordered_json differencesJson(const std::vector<Difference>& differences);
// Every port's object holds these two: the firmware ("2.05"; null where nothing answered)
// and "error", null or the errors' text.
nlohmann::ordered_json firmwareJson(const PortReport& report);
nlohmann::ordered_json portErrorJson(const PortReport& report);
// One port as JSON, for configuration management.
nlohmann::ordered_json reportJson(const PortReport& report, bool dryRun);
// "apply: 4 receivers: 2 unchanged, 1 changed, 1 failed (COM3)"
std::string summaryLine(const std::string& command, const std::vector<PortReport>& reports,
                        bool dryRun);
// JSON as the tool prints it: invalid UTF-8 (never expected) replaced, not thrown.
std::string jsonText(const nlohmann::ordered_json& value, int indent = -1);

}  // namespace tamlo::cli

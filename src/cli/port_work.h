// What each command does with one receiver, on a line that is already open: the window
// program's conversations, run in the same order with the same values.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/board.h"
#include "cli/receiver_values.h"
#include "cli/settings_file.h"
#include "protocol/settings.h"
#include "serial/exchange.h"

namespace tamlo::cli {

struct PortReport {
    std::string port;
    bool ok = true;
    bool changed = false;      // apply: something differed (and was written, unless dry-run)
    bool written = false;      // a STORE went out
    bool interrupted = false;  // Ctrl-C: what was left undone was skipped
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

struct WorkOptions {
    bool verify = true;
    bool strict = false;
    bool dryRun = false;
};

// LOAD: V, the generation's blocks, R. The file records the receiver's details; readAt is
// the time to record.
PortReport readReceiver(Line& line, const std::string& port, PortProgress& progress,
                        const std::string& readAt);
// V, then STORE with the file's values, then (unless told not to) the read-back, compared.
PortReport writeReceiver(Line& line, const std::string& port, const SettingsFile& file,
                         const WorkOptions& options, PortProgress& progress);
// V and the blocks; STORE only when something differs; then the read-back, compared.
PortReport applyReceiver(Line& line, const std::string& port, const SettingsFile& file,
                         const WorkOptions& options, PortProgress& progress);

}  // namespace tamlo::cli

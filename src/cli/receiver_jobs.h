// What each command does with one receiver, on a line that is already open: the window
// program's conversations, run in the same order with the same values.
#pragma once

#include <string>

#include "cli/fleet_progress.h"
#include "cli/port_report.h"
#include "files/settings_file.h"
#include "serial/exchange.h"

namespace tamlo::cli {

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

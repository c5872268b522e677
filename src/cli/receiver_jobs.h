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
    // write: a backup's [source] is held against the receiver: the USB serial number of
    // the port's adapter (where it has one) and the firmware generation.
    bool checkSource = false;
    std::string adapterSerial;
};

// V only: which firmware answers on the port.
PortReport identifyReceiver(Line& line, const std::string& port, PortProgress& progress);
// LOAD: V, the generation's blocks, R. The file records where it came from: source as
// given (port, device, adapter, time), with the firmware, generation and RSSI read.
PortReport readReceiver(Line& line, const std::string& port, PortProgress& progress,
                        SourceInfo source);
// V, then STORE with the file's values, then (unless told not to) the read-back, compared.
PortReport writeReceiver(Line& line, const std::string& port, const SettingsFile& file,
                         const WorkOptions& options, PortProgress& progress);
// V and the blocks; STORE only when something differs; then the read-back, compared.
PortReport applyReceiver(Line& line, const std::string& port, const SettingsFile& file,
                         const WorkOptions& options, PortProgress& progress);

}  // namespace tamlo::cli

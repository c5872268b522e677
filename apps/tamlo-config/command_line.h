// The desktop program's command line on Linux:
//   tamlo-config [--simulate[=VERSION]] [--exit-when-shown] [--log FILE] [DEVICE ...]
// DEVICE names a port to list besides the discovered ones (an adapter under
// /dev/serial/by-id, a pty of another program); --simulate runs the simulated receiver on
// a pseudo-terminal inside this process; --exit-when-shown prints the monotonic clock when
// the window first paints and ends, which is how start-up is timed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/options.h"

namespace tamlo {

inline constexpr std::string_view kProgramName = "tamlo-config";
// Printed by --version after the program's name and version.
inline constexpr std::string_view kLicenceNotice =
    "Copyright (c) 2026 the Tamlo configurator developers\n"
    "MIT licence: this is free software; see the LICENSE file.\n";

struct CommandLine {
    bool help = false;
    bool version = false;
    bool simulate = false;
    bool exitWhenShown = false;
    std::string simulatedVersion{kDefaultSimulatedVersion};
    std::vector<std::string> devices;
    // Every byte sent and received goes to this file (appended); empty: no log.
    std::string logFile;
    // Arguments that are not understood, each with why, in the order met.
    std::vector<std::string> unknown;
    std::vector<std::string> problems;
};

// args: the arguments after the program's name. "--" ends the options.
CommandLine parseCommandLine(const std::vector<std::string>& args);

std::string usageText();

}  // namespace tamlo

// A run of one command: start() (the ports files, the byte log, the simulated receiver, each
// in its own file), the workers on the ports with progress and stop requests, and the exit
// status of what they reported.
#include "cli/command_context.h"

#include <algorithm>

#include "cli/terminal.h"

namespace tamlo::cli {

CommandContext::CommandContext(const Options& options, Platform& platform)
    : options_(options), platform_(platform) {
    fleet_.held = platform_.heldPorts;
}

bool CommandContext::start(int& status) {
    return readPortsFiles(status) && openLog(status) && startSimulator(status);
}

std::vector<PortReport> CommandContext::runJob(const std::vector<std::string>& ports,
                                               const PortJob& job, bool showBars) {
    startLog(ports);
    FleetProgress progress(ports, platform_.monotonicMs, platform_.stopRequests);
    ProgressBars bars(err());
    const bool drawing = showBars && platform_.terminal && !options_.quiet;
    FleetOptions fleet = fleet_;
    fleet.onTick = [&] { tick(progress, drawing ? &bars : nullptr); };
    std::vector<PortReport> reports = runFleet(progress, platform_.connect, job, fleet);
    if (drawing) {
        bars.clear();
    }
    for (const PortReport& report : reports) {
        for (const std::string& warning : report.warnings) {
            note(report.port + ": " + warning);
        }
    }
    // Ports that had finished before the stop keep their own outcome; the exit status is
    // the signal's all the same.
    stopped_ = stopped_ || progress.cancelled();
    return reports;
}

int CommandContext::status(const std::vector<PortReport>& reports) const {
    if (stopped_) {
        return stoppedStatus();
    }
    const bool failed =
        std::any_of(reports.begin(), reports.end(), [](const PortReport& r) { return !r.ok; });
    return failed ? kExitFailed : kExitOk;
}

}  // namespace tamlo::cli

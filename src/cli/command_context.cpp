// A run of one command: start() (the ports files, the byte log, the simulated receiver, each
// in its own file), the workers on the ports with progress and stop requests, and the exit
// status of what they reported.
#include "cli/command_context.h"

#include <algorithm>

#include "cli/terminal.h"

namespace tamlo::cli {

CommandContext::CommandContext(const Options& options, Platform& platform)
    : options_(options), platform_(platform), outputs_(platform.standardOutput) {
    fleet_.held = platform_.heldPorts;
    // The service itself reports a port held by apply as busy for that scrape instead.
    fleet_.ownHolderWaitMs = options_.command == "serve" ? 0 : kOwnHolderWaitMs;
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
    std::vector<PortReport> reports;
    if (outputs_.ended()) {
        // An output ended before the receivers were asked (the log's header did not go
        // out, the reader of standard output is gone already): nothing starts on them.
        for (const std::string& port : ports) {
            reports.emplace_back().port = port;
            reports.back().interrupted = true;
        }
    } else {
        reports = runFleet(progress, platform_.connect, job, fleet);
    }
    if (drawing) {
        bars.clear();
    }
    for (const PortReport& report : reports) {
        for (const std::string& warning : report.warnings) {
            note(report.port + ": " + warning);
        }
    }
    outputs_.reportFailures(
        [this](const std::string& file, const std::string& text) { error(text, file); });
    // Ports that had finished before the stop keep their own outcome; the exit status is
    // the signal's all the same. An output that ended cancels too, but is no stop.
    const int requests = platform_.stopRequests != nullptr ? platform_.stopRequests->load() : 0;
    stopped_ = stopped_ || (progress.cancelled() && requests > 0);
    return reports;
}

int CommandContext::status(const std::vector<PortReport>& reports) const {
    if (stopped_) {
        return stoppedStatus();
    }
    const bool failed =
        outputs_.anyFileFailed() ||
        std::any_of(reports.begin(), reports.end(), [](const PortReport& r) { return !r.ok; });
    return failed ? kExitFailed : kExitOk;
}

}  // namespace tamlo::cli

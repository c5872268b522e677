// tamlo write, apply and set: a settings file to one receiver, or a file's settings (or those
// named on the command line) to many, where they differ.
#include "cli/command_context.h"
#include "cli/receiver_jobs.h"

namespace tamlo::cli {

int commandWrite(CommandContext& run, const std::vector<std::string>& ports, bool apply) {
    const Options& options = run.options();
    if (!apply && ports.size() != 1) {
        run.error("write takes one port");
        return kExitUsage;
    }
    // set names its settings on the command line; write and apply take a file.
    const std::optional<SettingsFile> file =
        options.file.empty() ? run.loadAssignments() : run.loadSettingsFile(options.file);
    if (!file) {
        return kExitUsage;
    }
    std::map<std::string, WorkOptions> work;
    for (const std::string& port : ports) {
        work[port] = {options.verify, options.strict, options.dryRun, !apply,
                      run.port(port).details.serialNumber};
    }
    std::vector<PortReport> reports = run.runJob(
        ports,
        [&](Line& line, const std::string& port, PortProgress& progress) {
            return apply ? applyReceiver(line, port, *file, work.at(port), progress)
                         : writeReceiver(line, port, *file, work.at(port), progress);
        },
        true);
    const std::string summary = summaryLine(options.command, reports, options.dryRun);
    if (options.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const PortReport& r : reports) {
            list.push_back(reportJson(r, options.dryRun));
        }
        run.out() << jsonText(list, 2) << "\n";
        if (!options.quiet) {
            run.err() << summary << "\n";
        }
        return run.status(reports);
    }
    for (const PortReport& r : reports) {
        printWriteReport(run.out(), r, apply, options.verify, options.dryRun);
    }
    if (apply && !options.quiet) {
        run.out() << summary << "\n";
    }
    return run.status(reports);
}

}  // namespace tamlo::cli

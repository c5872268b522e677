#include "cli/tamlo_program.h"

#include "cli/command_context.h"
#include "cli/run_outputs.h"

namespace tamlo::cli {

int runTamlo(const Options& options, Platform& platform) {
    if (options.command == "completion") {
        platform.out << completionScript(options.shell, static_cast<bool>(platform.startSimulator));
        return kExitOk;
    }
    CommandContext run(options, platform);
    int status = kExitOk;
    if (!run.start(status)) {
        return status;
    }
    if (options.command == "ports") {
        return commandPorts(run);
    }
    if (options.command == "diff" && !options.other.empty()) {
        return commandDiff(run, {});
    }
    const std::optional<std::vector<std::string>> ports = run.ports(status);
    if (!ports) {
        return status;
    }
    if (options.command == "read") {
        return commandRead(run, *ports);
    }
    if (options.command == "write" || options.command == "apply" || options.command == "set") {
        return commandWrite(run, *ports, options.command != "write");
    }
    if (options.command == "get") {
        return commandGet(run, *ports);
    }
    if (options.command == "diff") {
        return commandDiff(run, *ports);
    }
    if (options.command == "rssi") {
        return commandRssi(run, *ports);
    }
    run.error("unknown command '" + options.command + "'");
    return kExitUsage;
}

int runTamlo(const std::vector<std::string>& args, Platform& platform) {
    Options options;
    if (const std::optional<int> status =
            parseOptions(args, options, platform.out, platform.err,
                         static_cast<bool>(platform.startSimulator))) {
        return settleStandardOutput(platform, *status);
    }
    return settleStandardOutput(platform, runTamlo(options, platform));
}

}  // namespace tamlo::cli

#include "cli/tamlo_program.h"

#include "cli/command_context.h"
#include "cli/run_outputs.h"

namespace tamlo::cli {

int runTamlo(const Options& options, Platform& platform) {
    CommandContext run(options, platform);
    if (options.row == nullptr) {
        run.error("name a command: " + commandList(" or "));
        return kExitUsage;
    }
    int status = kExitOk;
    if (!options.row->standalone && !run.start(status)) {
        return status;
    }
    std::vector<std::string> ports;
    if (options.portUse != PortUse::None) {
        std::optional<std::vector<std::string>> resolved = run.ports(status);
        if (!resolved) {
            return status;
        }
        ports = std::move(*resolved);
    }
    return options.row->run(run, ports);
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

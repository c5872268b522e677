// The simulated receiver of --simulate: started in this process before any port is
// resolved, and known as the port "sim".
#include "cli/command_context.h"

namespace tamlo::cli {

bool CommandContext::startSimulator(int& status) {
    if (!options_.simulate) {
        return true;
    }
    std::string device;
    std::string reason;
    if (!platform_.startSimulator) {
        reason = "there is none on this platform";
    }
    if (!platform_.startSimulator ||
        !platform_.startSimulator(*options_.simulate, device, reason)) {
        err() << kProgram << ": the simulated receiver did not start"
              << (reason.empty() ? std::string() : ": " + reason) << "\n";
        status = kExitFailed;
        return false;
    }
    fleet_.devices[std::string(kSimulatedPort)] = device;
    return true;
}

// Known by its name, as a named port is, so its backup is sim.toml and not named after
// whichever pseudo-terminal it got this time.
NamedPort CommandContext::simulatedPort() {
    NamedPort sim;
    sim.name = std::string(kSimulatedPort);
    sim.device = fleet_.devices[sim.name];
    sim.details.device = sim.device;
    sim.named = true;
    return sim;
}

}  // namespace tamlo::cli

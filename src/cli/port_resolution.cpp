// The ports of a run by the names they are reported by: a device, a name from the ports
// files, "sim", or with --all every port that opens; each device once.
#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "cli/command_context.h"

namespace tamlo::cli {

PortDirectory& CommandContext::directory() {
    if (!directory_) {
        PortLister& lister = platform_.lister;
        directory_ = std::make_unique<PortDirectory>(
            portsFile_, lister.portNames(),
            [&lister](const std::vector<std::string>& names) { return lister.describe(names); });
    }
    return *directory_;
}

std::vector<NamedPort> CommandContext::knownPorts() {
    std::vector<NamedPort> known;
    if (options_.simulate) {
        known.push_back(simulatedPort());
    }
    for (NamedPort& port : directory().all()) {
        known.push_back(std::move(port));
    }
    return known;
}

PortOpening CommandContext::probeOpen(const NamedPort& port, bool tryIt) {
    if (!port.problem.empty()) {
        PortOpening missing;
        missing.refusal = OpenRefusal::Missing;
        missing.systemText = port.problem;
        return missing;
    }
    return tryIt ? platform_.lister.probe(port.device) : platform_.lister.inspect(port.device);
}

void CommandContext::enlist(NamedPort port) {
    if (!port.problem.empty()) {
        fleet_.refused[port.name] = port.problem;
    } else if (port.device != port.name && !fleet_.devices.contains(port.name)) {
        fleet_.devices[port.name] = port.device;
    }
    if (!port.meant.empty()) {
        fleet_.meant[port.name] = port.meant;
    }
    const std::string name = port.name;
    ports_.insert_or_assign(name, std::move(port));
}

const NamedPort& CommandContext::port(const std::string& name) {
    const auto found = ports_.find(name);
    if (found != ports_.end()) {
        return found->second;
    }
    enlist(directory().resolve(name));
    return ports_.at(name);
}

namespace {

// The device a port's name leads to, links resolved: two names of one device (two names in
// ports.toml, a by-id link and its device) are one line, which one worker talks on.
std::string deviceIdentity(const NamedPort& port) {
    std::error_code failed;
    const std::filesystem::path real = std::filesystem::canonical(port.device, failed);
    return failed || port.device.empty() ? port.device : real.string();
}

}  // namespace

std::optional<std::vector<std::string>> CommandContext::ports(int& status) {
    std::vector<std::string> names;
    std::map<std::string, std::string> byDevice;  // a device, and the first name it came by
    // Whether the port's device came by another name already; said once, as a note.
    const auto again = [&](const NamedPort& port) {
        if (!port.problem.empty()) {
            return false;
        }
        const auto [first, added] = byDevice.emplace(deviceIdentity(port), port.name);
        if (added || first->second == port.name) {
            return false;
        }
        note(port.name + " is the same device as " + first->second + " (" + first->first +
             "); it is used once");
        return true;
    };
    if (options_.all) {
        for (NamedPort& known : knownPorts()) {
            if (again(known)) {
                continue;
            }
            if (probeOpen(known)) {
                names.push_back(known.name);
                enlist(std::move(known));
            }
        }
        if (names.empty()) {
            err() << kProgram << ": " << options_.command << ": no port opens\n";
            status = kExitFailed;
            return std::nullopt;
        }
        return names;
    }
    std::vector<std::string> given = options_.ports;
    if (given.empty() && !portsFile_.defaultPort.empty()) {
        given.push_back(portsFile_.defaultPort);
    }
    if (given.empty()) {
        const bool many = options_.portUse == PortUse::Many;
        error(options_.command + ": name a port with -p PORT" + (many ? ", or use --all" : "") +
              " (or give a default in ports.toml)");
        status = kExitUsage;
        return std::nullopt;
    }
    for (const std::string& text : given) {
        // Two workers on one line would garble both conversations.
        NamedPort resolved = text == kSimulatedPort && options_.simulate
                                 ? simulatedPort()
                                 : directory().resolve(text);
        // Its messages and logins are on it: opened only when the user says it is meant.
        if (resolved.problem.empty() && !options_.allowConsole &&
            platform_.lister.inspect(resolved.device).refusal == OpenRefusal::Console) {
            resolved.problem = "is the kernel's console; --allow-console opens it all the same";
        }
        if (std::find(names.begin(), names.end(), resolved.name) != names.end()) {
            note(text + " is named more than once; it is used once");
            continue;
        }
        if (again(resolved)) {
            continue;
        }
        names.push_back(resolved.name);
        enlist(std::move(resolved));
    }
    return names;
}

}  // namespace tamlo::cli

#include "cli/port_directory.h"

#include <algorithm>
#include <string_view>

#include "files/setting_keys.h"

namespace tamlo::cli {

namespace {

bool sameDevice(const PortDetails& a, const PortDetails& b) {
    return !a.device.empty() && a.device == b.device;
}

std::string lastPart(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

PortDirectory::PortDirectory(PortsFile names, std::vector<std::string> systemPorts,
                             const PortDescriber& describe)
    : names_(std::move(names)), systemPorts_(std::move(systemPorts)) {
    std::vector<std::string> devices = systemPorts_;
    for (const PortName& entry : names_.names) {
        if (!entry.device.empty()) {
            devices.push_back(entry.device);
        }
    }
    std::vector<PortDetails> described;
    if (describe) {
        described = describe(devices);
    }
    for (size_t i = 0; i < devices.size(); ++i) {
        PortDetails details = i < described.size() ? described[i] : PortDetails{};
        if (details.device.empty()) {
            details.device = devices[i];
        }
        details_.emplace_back(devices[i], std::move(details));
    }
}

const PortDetails& PortDirectory::detailsOf(const std::string& device) const {
    for (const auto& [name, details] : details_) {
        if (name == device) {
            return details;
        }
    }
    static const PortDetails kUnknown;
    return kUnknown;
}

NamedPort PortDirectory::fromName(const PortName& entry) const {
    NamedPort port;
    port.name = entry.name;
    port.named = true;
    if (!entry.device.empty()) {
        port.device = entry.device;
        port.details = detailsOf(entry.device);
        return port;
    }
    for (const std::string& system : systemPorts_) {
        const PortDetails& details = detailsOf(system);
        if (details.serialNumber == entry.serial) {
            port.device = system;
            port.details = details;
            return port;
        }
    }
    port.problem = "no adapter with USB serial number " + entry.serial + " is plugged in";
    return port;
}

NamedPort PortDirectory::fromDevice(const std::string& device) const {
    NamedPort port;
    port.name = device;
    port.device = device;
    port.details = detailsOf(device);
    if (port.details.device.empty()) {
        port.details.device = device;
    }
    for (const PortName& entry : names_.names) {
        const NamedPort named = fromName(entry);
        if (named.problem.empty() &&
            (named.device == device || sameDevice(named.details, port.details))) {
            port.name = entry.name;
            port.named = true;
            break;
        }
    }
    return port;
}

NamedPort PortDirectory::resolve(const std::string& given) const {
    if (const PortName* entry = names_.find(given)) {
        return fromName(*entry);
    }
    NamedPort port = fromDevice(given);
    // "mast-nroth" is no device; should it not open, the name it was meant to be is told.
    if (!port.named &&
        std::find(systemPorts_.begin(), systemPorts_.end(), given) == systemPorts_.end()) {
        std::vector<std::string_view> names;
        for (const PortName& entry : names_.names) {
            names.emplace_back(entry.name);
        }
        port.meant = std::string(nearestName(given, names).value_or(""));
    }
    return port;
}

std::vector<NamedPort> PortDirectory::all() const {
    std::vector<NamedPort> ports;
    const auto known = [&](const NamedPort& port) {
        return std::any_of(ports.begin(), ports.end(), [&](const NamedPort& p) {
            return p.name == port.name || (!port.device.empty() && p.device == port.device) ||
                   sameDevice(p.details, port.details);
        });
    };
    for (const std::string& system : systemPorts_) {
        NamedPort port = fromDevice(system);
        if (!known(port)) {
            ports.push_back(std::move(port));
        }
    }
    for (const PortName& entry : names_.names) {
        NamedPort port = fromName(entry);
        if (!known(port)) {
            ports.push_back(std::move(port));
        }
    }
    return ports;
}

std::string PortDirectory::stableName(const NamedPort& port) {
    std::string name = port.named                   ? port.name
                       : !port.details.byId.empty() ? lastPart(port.details.byId)
                                                    : lastPart(port.device);
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (!plain) {
            c = '_';
        }
    }
    if (name.empty() || name.front() == '.') {
        name.insert(0, "port");
    }
    return name;
}

}  // namespace tamlo::cli

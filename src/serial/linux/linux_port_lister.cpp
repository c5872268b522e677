#include "serial/linux/linux_port_lister.h"

#include <algorithm>
#include <fstream>
#include <system_error>
#include <utility>

#include "serial/linux/linux_ports.h"
#include "serial/linux/usb_adapters.h"

namespace tamlo {

namespace fs = std::filesystem;

namespace {

// Where a name leads, so that a by-id link and its device count as one.
std::string leadsTo(const std::string& path) {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(path, error);
    return error ? path : resolved.string();
}

}  // namespace

std::vector<std::string> consoleDevices(const fs::path& sysfsRoot, const fs::path& devRoot) {
    std::ifstream in(sysfsRoot / "class" / "tty" / "console" / "active");
    std::vector<std::string> devices;
    std::string word;
    while (in >> word) {
        devices.push_back((devRoot / word).string());
    }
    return devices;
}

LinuxPortLister::LinuxPortLister(PosixPortOptions options) : options_(std::move(options)) {}

bool LinuxPortLister::isConsole(const std::string& path) const {
    const std::string device = leadsTo(path);
    for (const std::string& console : consoleDevices(options_.sysfsRoot, options_.devRoot)) {
        if (console == path || leadsTo(console) == device) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> LinuxPortLister::portNames() {
    std::vector<std::string> discovered;
    if (options_.discover) {
        discovered = findSerialDevices(options_.sysfsRoot, options_.devRoot, queryPortTypeByIoctl);
    }
    std::vector<std::string> names =
        mergePortNames(options_.leadingDevices, discovered, options_.namedDevices);
    // Its messages and its login live there; a receiver never does.
    std::erase_if(names, [this](const std::string& name) { return isConsole(name); });
    return names;
}

std::vector<PortDetails> LinuxPortLister::describe(const std::vector<std::string>& names) {
    return describeLinuxPorts(names, options_.sysfsRoot, options_.devRoot);
}

PortOpening LinuxPortLister::inspect(std::string_view name) {
    const std::string path(name);
    if (isConsole(path)) {
        PortOpening opening;
        opening.refusal = OpenRefusal::Console;
        return opening;
    }
    return inspectDevice(path, options_);
}

PortOpening LinuxPortLister::probe(std::string_view name) {
    if (PortOpening known = inspect(name); !known) {
        return known;
    }
    return PosixSerialPort(options_, PortUse::TryOnly).openPort(name);  // closed as it ends
}

}  // namespace tamlo

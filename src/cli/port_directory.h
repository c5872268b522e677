// The ports of one run by the names people give them. A name from the ports files leads to
// a device, or to whichever device carries a USB adapter with its serial number; a device
// given by its path is reported by the name that leads to it, where one does. So a backup
// made from "mast-north" says so, and goes back to mast-north after the adapters were
// plugged in another order.
#pragma once

#include <string>
#include <vector>

#include "files/ports_file.h"
#include "serial/port_details.h"

namespace tamlo::cli {

struct NamedPort {
    std::string name;     // as reported: the port's name, else as it was given
    std::string device;   // what is opened; empty when nothing leads anywhere
    PortDetails details;  // what the system tells of the device
    std::string problem;  // why there is no device ("no adapter with USB serial number ...")
    std::string meant;    // a known name near a given one that is none ("mast-north")
    bool named = false;   // the name comes from the ports files (or is "sim")
};

class PortDirectory {
  public:
    // systemPorts: the names the system lists (in its order); describe may be null.
    PortDirectory(PortsFile names, std::vector<std::string> systemPorts,
                  const PortDescriber& describe);

    // A port as the user gave it: a name from the ports files or a device.
    NamedPort resolve(const std::string& given) const;
    // The ports the system lists, then the named ports that lead elsewhere; each once.
    std::vector<NamedPort> all() const;
    const PortsFile& names() const { return names_; }

    // What a backup of the port is saved as: its name, else the last part of its by-id
    // link, else of its device; only characters every file system takes.
    static std::string stableName(const NamedPort& port);

  private:
    const PortDetails& detailsOf(const std::string& device) const;
    NamedPort fromName(const PortName& entry) const;
    NamedPort fromDevice(const std::string& device) const;

    PortsFile names_;
    std::vector<std::string> systemPorts_;
    std::vector<std::pair<std::string, PortDetails>> details_;
};

}  // namespace tamlo::cli

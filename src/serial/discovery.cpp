#include "serial/discovery.h"

namespace tamlo {

PortOpening SerialPort::probePort(std::string_view name) {
    if (isPortOpen()) {
        PortOpening opening;
        opening.refusal = OpenRefusal::Other;
        opening.systemText = "a port is open already";
        return opening;
    }
    PortOpening opening = openPort(name);
    closePort();
    return opening;
}

std::vector<std::string> discoverPorts(SerialPort& port, std::vector<PortRefusal>* refused) {
    std::vector<std::string> names;
    for (const std::string& name : port.portNames()) {
        PortOpening opening = port.openPort(name);
        if (opening) {
            names.push_back(name);
            port.closePort();
        } else if (refused != nullptr) {
            refused->push_back({name, std::move(opening)});
        }
    }
    return names;
}

std::vector<std::string> refreshPorts(SerialPort& port, std::string_view openName) {
    std::vector<std::string> names;
    for (const std::string& name : port.portNames()) {
        if ((port.isPortOpen() && name == openName) || port.probePort(name)) {
            names.push_back(name);
        }
    }
    return names;
}

PortOpening selectPort(SerialPort& port, std::string_view chosen) {
    if (port.isPortOpen()) {
        port.closePort();
    }
    // The choice itself decides, not a number read from its name: a Linux device such as
    // ttyUSB0 ends in 0 and must still open.
    if (chosen.empty()) {
        return {};
    }
    return port.openPort(chosen);
}

}  // namespace tamlo

#include "serial/discovery.h"

namespace tamlo {

std::vector<PortDetails> PortLister::describe(const std::vector<std::string>& names) {
    std::vector<PortDetails> described(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        described[i].device = names[i];
    }
    return described;
}

std::vector<std::string> discoverPorts(PortLister& lister, std::vector<PortRefusal>* refused) {
    std::vector<std::string> names;
    for (const std::string& name : lister.portNames()) {
        PortOpening opening = lister.probe(name);
        if (opening) {
            names.push_back(name);
        } else if (refused != nullptr) {
            refused->push_back({name, std::move(opening)});
        }
    }
    return names;
}

std::vector<std::string> refreshPorts(PortLister& lister, const SerialPort& port,
                                      std::string_view openName) {
    std::vector<std::string> names;
    for (const std::string& name : lister.portNames()) {
        if ((port.isPortOpen() && name == openName) || lister.probe(name)) {
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

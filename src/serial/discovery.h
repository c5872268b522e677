// Finding the ports at start-up and opening the one the user chooses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "serial/port_lister.h"
#include "serial/serial_port.h"

namespace tamlo {

// A probed name that did not open, and why.
struct PortRefusal {
    std::string name;
    PortOpening opening;
};

// Every listed name that opens with the line settings, in listing order; leaves none open.
// With refused, the names that did not open are added there with their reasons, in listing
// order, for a program that names some of them.
std::vector<std::string> discoverPorts(PortLister& lister,
                                       std::vector<PortRefusal>* refused = nullptr);
// The names that open now, as discoverPorts lists them, while port may be open on
// openName: that one is listed, if the system still lists it, without being probed.
std::vector<std::string> refreshPorts(PortLister& lister, const SerialPort& port,
                                      std::string_view openName);
// Closes the open port, then opens the chosen one. A refusal only when a port was chosen
// and did not open; with no choice ("") nothing is opened.
PortOpening selectPort(SerialPort& port, std::string_view chosen);

}  // namespace tamlo

// Finding the ports at start-up and opening the one the user chooses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"

namespace tamlo {

// A probed name that did not open, and why.
struct PortRefusal {
    std::string name;
    PortOpening opening;
};

// Every probed name that opens with the line settings, in probing order; leaves none open.
// With refused, the names that did not open are added there with their reasons, in probing
// order, for a program that names some of them.
std::vector<std::string> discoverPorts(SerialPort& port,
                                       std::vector<PortRefusal>* refused = nullptr);
// The names that open now, as discoverPorts lists them, while the port named openName may
// be open: that one is listed, if the system still lists it, without being probed.
std::vector<std::string> refreshPorts(SerialPort& port, std::string_view openName);
// Closes the open port, then opens the chosen one. A refusal only when a port was chosen
// and did not open; with no choice ("") nothing is opened.
PortOpening selectPort(SerialPort& port, std::string_view chosen);

}  // namespace tamlo

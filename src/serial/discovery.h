// Finding the ports at start-up and opening the one the user chooses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"

namespace tamlo {

// Every probed name that opens with the line settings, in probing order; leaves none open.
std::vector<std::string> discoverPorts(SerialPort& port);
// Closes the open port, then opens the chosen one. False only when a port was chosen and
// did not open; with no choice ("") nothing is opened.
bool selectPort(SerialPort& port, std::string_view chosen);

}  // namespace tamlo

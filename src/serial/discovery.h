// Finding the ports at start-up and opening the one the user chooses.
#pragma once

#include <cstdint>
#include <string>

#include "serial/serial_port.h"
#include "ui/window.h"

namespace tamlo {

// Lists in PortList every probed name that opens with the line settings; leaves none open.
void discoverPorts(SerialPort& port, Window& window);
// Closes the open port and opens the chosen PortList entry; errorCode 7 when it does not
// open. With no entry chosen nothing is opened and no code is set.
void selectPort(SerialPort& port, Window& window, int32_t& portNumber, std::string& portName,
                int32_t& errorCode);

}  // namespace tamlo

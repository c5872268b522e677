#include "serial/discovery.h"

#include "app/error_table.h"
#include "text/conversions.h"

namespace tamlo {

namespace {

// The number that ends a port name: COM7 gives 7, COM12 gives 12, no digits give 0.
int32_t trailingNumber(std::string_view name) {
    size_t start = name.size();
    while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') {
        --start;
    }
    return low32(parseInteger(name.substr(start)));
}

}  // namespace

void discoverPorts(SerialPort& port, Window& window) {
    window.clearPortList();
    for (const std::string& name : port.portNames()) {
        if (port.openPort(name)) {
            window.appendPortList(name);
            port.closePort();
        }
    }
}

void selectPort(SerialPort& port, Window& window, int32_t& portNumber, std::string& portName,
                int32_t& errorCode) {
    if (port.isPortOpen()) {
        port.closePort();
    }
    const std::string chosen = window.controlText(ids::PortList);
    portNumber = trailingNumber(chosen);
    // The choice itself decides, not the number: a Linux device such as ttyUSB0 ends in 0
    // and must still open. With no entry chosen there is nothing to open.
    if (chosen.empty()) {
        return;
    }
    portName = chosen;
    if (!port.openPort(portName)) {
        errorCode = errors::PortNotAvailable;
    }
}

}  // namespace tamlo

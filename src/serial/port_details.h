// What the system tells about a serial port besides its name. USB adapters are numbered in
// the order they are plugged in, so ttyUSB0 today may be ttyUSB3 tomorrow; the adapter's
// own serial number and its /dev/serial/by-id name stay, and tell the receivers apart.
// Read by the platform's code without opening the port; a field the system does not give
// is empty.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tamlo {

struct PortDetails {
    std::string device;        // the device itself, links resolved: "/dev/ttyUSB0", "COM3"
    std::string byId;          // Linux: the /dev/serial/by-id link that leads to the device
    std::string vendorId;      // USB, four hex digits: "0403"
    std::string productId;     // "6001"
    std::string serialNumber;  // the adapter's USB serial number: "A10K3QXZ"
    std::string product;       // the adapter's own words ("FT232R USB UART"); Windows: its
                               // description
};

// The details of each named port, in the order of the names.
using PortDescriber = std::function<std::vector<PortDetails>(const std::vector<std::string>&)>;

}  // namespace tamlo
